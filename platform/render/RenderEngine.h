#pragma once
// The renderer that draws the video engine's planar 4:2:0 frames into a native window.
// The engine reaches it only through this call table, so the drawing library behind it can be
// swapped (tests bind a recording fake; the default is the SDL2 implementation).

#include <cstddef>
#include <cstdint>

using RenderHandle = void*;

// What the engine hands to create: kind 4, the native window at offset 8, flags 0 at offset 16.
struct RenderCreateInfo
{
    uint32_t nKind = 4;
    uint32_t nReserved0 = 0;
    void* hWnd = nullptr;
    uint32_t nFlags = 0;
    uint32_t nReserved1 = 0;
};
static_assert(offsetof(RenderCreateInfo, hWnd) == 8, "window handle sits at offset 8");
static_assert(offsetof(RenderCreateInfo, nFlags) == 16, "flags sit at offset 16");

// One I420 frame: three planes with their row lengths (bytes) and row counts. The second
// set of sizes repeats the first (the visible part of each plane is the whole plane).
struct RenderFrameDesc
{
    uint8_t reserved0[24];
    uint8_t* pPlane[3];      // Y, U, V
    int32_t nPitch[3];       // row length of Y, U, V in bytes
    int32_t nRows[3];        // row count of Y, U, V
    int32_t nPitchVisible[3];
    int32_t nRowsVisible[3];
    uint8_t reserved1[136];
};
static_assert(sizeof(RenderFrameDesc) == 232, "frame descriptor is 232 bytes");
static_assert(offsetof(RenderFrameDesc, pPlane) == 24, "planes start at offset 24");
static_assert(offsetof(RenderFrameDesc, nPitch) == 48, "row lengths start at offset 48");
static_assert(offsetof(RenderFrameDesc, nPitchVisible) == 72, "repeated sizes start at offset 72");

// Part of the source picture to show: left, top, right, bottom (right and bottom exclusive).
struct RenderRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct RenderEngineApi
{
    // Renderer on the window of the record; null when it cannot be created.
    RenderHandle (*create)(const RenderCreateInfo* pInfo);
    // Size of the frames that follow (the Y plane).
    void (*setSourceSize)(RenderHandle hRender, int nWidth, int nHeight);
    // Uploads the frame and draws the source rectangle scaled into the window, aspect kept.
    void (*drawFrame)(RenderHandle hRender, const RenderFrameDesc* pFrame, const RenderRect* pSource, int nFlags);
    // Shows what was drawn.
    void (*present)(RenderHandle hRender);
    // Lets go of the window before the renderer is destroyed for another window.
    void (*detach)(RenderHandle hRender, const uint8_t* pRecord16);
    void (*destroy)(RenderHandle hRender);
    // May be null (not offered). A transparent picture laid over every frame drawn from now on,
    // stretched over the frame's place in the window: straight-alpha ARGB32 rows (the byte order
    // of a native 0xAARRGGBB word), nStride bytes apart. Null or a zero size takes it away.
    void (*setOverlay)(RenderHandle hRender, const uint8_t* pArgb, int nWidth, int nHeight, int nStride);
};

// The renderer the engines use. Defaults to the SDL2 implementation.
const RenderEngineApi& renderEngine();
// Binds another renderer (null restores SDL2). Tests and tools call this before any engine binds.
void setRenderEngine(const RenderEngineApi* pApi);
// The SDL2 implementation itself.
const RenderEngineApi& sdlRenderEngineApi();
// A renderer that accepts every call and draws nothing (any non-null window will do).
const RenderEngineApi& nullRenderEngineApi();

// Where a picture of srcW x srcH lands in a window of winW x winH: scaled to fit with its
// aspect ratio kept and centred. Overlays drawn over the video use the same placement.
struct RenderPlacement
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
RenderPlacement fitPicture(int nSrcWidth, int nSrcHeight, int nWinWidth, int nWinHeight);
