// The renderer behind the video engine's call table, built on SDL2: an SDL window wrapped
// around the video label's native window, an IYUV streaming texture, and the chosen part of
// the picture drawn into the window with its aspect ratio kept and centred. Every call comes
// from the engine thread that created the renderer.

#include "platform/render/RenderEngine.h"

#include <SDL.h>
#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <cstdint>

// Last: it brings in the X11 headers and their macros.
#include <SDL_syswm.h>

namespace {

struct SdlRenderer
{
    SDL_Window* pWindow = nullptr;
    SDL_Renderer* pRenderer = nullptr;
    SDL_Texture* pTexture = nullptr;
    int nTexWidth = 0;
    int nTexHeight = 0;
    int nSrcWidth = 0;
    int nSrcHeight = 0;
    bool bDrawn = false;
    SDL_Texture* pOverlay = nullptr;   // the markers laid over the picture
    int nOverlayWidth = 0;
    int nOverlayHeight = 0;
};

// SDL's video subsystem is reference-counted; the mutex keeps two engines from racing on it.
QMutex& sdlInitMutex()
{
    static QMutex s_mutex;
    return s_mutex;
}

bool initVideo()
{
    QMutexLocker lock(&sdlInitMutex());
    // Foreign windows get an OpenGL-capable SDL window, so the accelerated renderer can use them.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // Qt owns the process's signals and the screen saver; SDL must leave both alone.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        qWarning("Renderer: SDL video could not start: %s", SDL_GetError());
        return false;
    }
    return true;
}

void quitVideo()
{
    QMutexLocker lock(&sdlInitMutex());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void releaseOverlay(SdlRenderer* p)
{
    if (p->pOverlay)
        SDL_DestroyTexture(p->pOverlay);
    p->pOverlay = nullptr;
}

void releaseTexture(SdlRenderer* p)
{
    if (p->pTexture) {
        SDL_DestroyTexture(p->pTexture);
        p->pTexture = nullptr;
    }
    p->nTexWidth = 0;
    p->nTexHeight = 0;
}

// SDL does not watch a foreign X11 window for size changes, so the renderer would keep drawing
// for the size the label had when it was bound. Asking the X server for the window's
// structure events (on SDL's own connection, keeping whatever SDL selected) lets SDL's event
// pump see every resize. libX11 is already loaded by SDL; it is looked up, not linked.
void followWindowSize(SDL_Window* pWindow)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(pWindow, &wm) || wm.subsystem != SDL_SYSWM_X11)
        return;
    static void* s_lib = SDL_LoadObject("libX11.so.6");
    if (!s_lib)
        return;
    using GetAttributesFn = int (*)(Display*, Window, XWindowAttributes*);
    using SelectInputFn = int (*)(Display*, Window, long);
    using FlushFn = int (*)(Display*);
    auto pfnGet = reinterpret_cast<GetAttributesFn>(SDL_LoadFunction(s_lib, "XGetWindowAttributes"));
    auto pfnSelect = reinterpret_cast<SelectInputFn>(SDL_LoadFunction(s_lib, "XSelectInput"));
    auto pfnFlush = reinterpret_cast<FlushFn>(SDL_LoadFunction(s_lib, "XFlush"));
    if (!pfnGet || !pfnSelect || !pfnFlush)
        return;
    XWindowAttributes attributes;
    if (!pfnGet(wm.info.x11.display, wm.info.x11.window, &attributes))
        return;
    pfnSelect(wm.info.x11.display, wm.info.x11.window, attributes.your_event_mask | StructureNotifyMask);
    pfnFlush(wm.info.x11.display);
#else
    (void)pWindow;
#endif
}

RenderHandle sdlCreate(const RenderCreateInfo* pInfo)
{
    if (!pInfo || !pInfo->hWnd)
        return nullptr;
    if (!initVideo())
        return nullptr;
    auto* p = new SdlRenderer;
    p->pWindow = SDL_CreateWindowFrom(pInfo->hWnd);
    if (!p->pWindow) {
        qWarning("Renderer: cannot attach to the window: %s", SDL_GetError());
        delete p;
        quitVideo();
        return nullptr;
    }
    followWindowSize(p->pWindow);
    p->pRenderer = SDL_CreateRenderer(p->pWindow, -1, SDL_RENDERER_ACCELERATED);
    if (!p->pRenderer)
        p->pRenderer = SDL_CreateRenderer(p->pWindow, -1, SDL_RENDERER_SOFTWARE);
    if (!p->pRenderer) {
        qWarning("Renderer: no SDL renderer for the window: %s", SDL_GetError());
        SDL_DestroyWindow(p->pWindow);
        delete p;
        quitVideo();
        return nullptr;
    }
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(p->pRenderer, &info) == 0)
        qDebug("Renderer: SDL %s%s", info.name, (info.flags & SDL_RENDERER_ACCELERATED) ? " (accelerated)" : "");
    return p;
}

void sdlSetSourceSize(RenderHandle h, int nWidth, int nHeight)
{
    auto* p = static_cast<SdlRenderer*>(h);
    if (!p || nWidth < 1 || nHeight < 1)
        return;
    p->nSrcWidth = nWidth;
    p->nSrcHeight = nHeight;
    if (p->pTexture && p->nTexWidth == nWidth && p->nTexHeight == nHeight)
        return;
    releaseTexture(p);
    p->pTexture = SDL_CreateTexture(p->pRenderer, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING, nWidth, nHeight);
    if (!p->pTexture) {
        qWarning("Renderer: cannot create a %dx%d texture: %s", nWidth, nHeight, SDL_GetError());
        return;
    }
    p->nTexWidth = nWidth;
    p->nTexHeight = nHeight;
}

// The window's current size in output pixels. A foreign window is resized by its owner, and
// SDL learns of that only through its event queue, so the queue is pumped first.
void outputSize(SdlRenderer* p, int& w, int& h)
{
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    w = h = 0;
    if (SDL_GetRendererOutputSize(p->pRenderer, &w, &h) != 0 || w < 1 || h < 1)
        SDL_GetWindowSize(p->pWindow, &w, &h);
}

void sdlDrawFrame(RenderHandle h, const RenderFrameDesc* pFrame, const RenderRect* pSource, int)
{
    auto* p = static_cast<SdlRenderer*>(h);
    if (!p || !pFrame || !p->pTexture)
        return;
    const int nW = pFrame->nPitch[0];
    const int nH = pFrame->nRows[0];
    if (nW != p->nTexWidth || nH != p->nTexHeight || !pFrame->pPlane[0] || !pFrame->pPlane[1] || !pFrame->pPlane[2])
        return;
    if (SDL_UpdateYUVTexture(p->pTexture, nullptr, pFrame->pPlane[0], pFrame->nPitch[0], pFrame->pPlane[1],
                             pFrame->nPitch[1], pFrame->pPlane[2], pFrame->nPitch[2]) != 0)
        return;

    // The source rectangle, kept inside the picture; an empty one shows the whole picture.
    SDL_Rect src{0, 0, nW, nH};
    if (pSource) {
        const int l = std::max(0, std::min(nW, int(pSource->left)));
        const int t = std::max(0, std::min(nH, int(pSource->top)));
        const int r = std::max(0, std::min(nW, int(pSource->right)));
        const int b = std::max(0, std::min(nH, int(pSource->bottom)));
        if (r > l && b > t)
            src = SDL_Rect{l, t, r - l, b - t};
    }

    int nWinW = 0, nWinH = 0;
    outputSize(p, nWinW, nWinH);
    const RenderPlacement place = fitPicture(src.w, src.h, nWinW, nWinH);
    const SDL_Rect dst{place.x, place.y, place.width, place.height};

    SDL_SetRenderDrawColor(p->pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(p->pRenderer);
    SDL_RenderCopy(p->pRenderer, p->pTexture, &src, &dst);
    if (p->pOverlay)
        SDL_RenderCopy(p->pRenderer, p->pOverlay, nullptr, &dst);
    p->bDrawn = true;
}

void sdlSetOverlay(RenderHandle h, const uint8_t* pArgb, int nWidth, int nHeight, int nStride)
{
    auto* p = static_cast<SdlRenderer*>(h);
    if (!p)
        return;
    if (!pArgb || nWidth < 1 || nHeight < 1) {
        releaseOverlay(p);
        return;
    }
    if (!p->pOverlay || p->nOverlayWidth != nWidth || p->nOverlayHeight != nHeight) {
        releaseOverlay(p);
        p->pOverlay = SDL_CreateTexture(p->pRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, nWidth, nHeight);
        if (!p->pOverlay) {
            qWarning("Renderer: cannot create a %dx%d overlay: %s", nWidth, nHeight, SDL_GetError());
            return;
        }
        SDL_SetTextureBlendMode(p->pOverlay, SDL_BLENDMODE_BLEND);
        p->nOverlayWidth = nWidth;
        p->nOverlayHeight = nHeight;
    }
    SDL_UpdateTexture(p->pOverlay, nullptr, pArgb, nStride);
}

void sdlPresent(RenderHandle h)
{
    auto* p = static_cast<SdlRenderer*>(h);
    if (!p || !p->bDrawn)
        return;
    SDL_RenderPresent(p->pRenderer);
}

void sdlDetach(RenderHandle h, const uint8_t*)
{
    auto* p = static_cast<SdlRenderer*>(h);
    if (!p)
        return;
    // Nothing more is drawn into the old window; its last picture stays until its owner paints.
    releaseTexture(p);
    releaseOverlay(p);
    p->bDrawn = false;
}

void sdlDestroy(RenderHandle h)
{
    auto* p = static_cast<SdlRenderer*>(h);
    if (!p)
        return;
    releaseTexture(p);
    releaseOverlay(p);
    if (p->pRenderer)
        SDL_DestroyRenderer(p->pRenderer);
    // Destroying the SDL window of a foreign window leaves the native window itself alone.
    if (p->pWindow)
        SDL_DestroyWindow(p->pWindow);
    delete p;
    quitVideo();
}

const RenderEngineApi kSdlApi = {sdlCreate,  sdlSetSourceSize, sdlDrawFrame, sdlPresent,
                                 sdlDetach,  sdlDestroy,       sdlSetOverlay};

} // namespace

const RenderEngineApi& sdlRenderEngineApi() { return kSdlApi; }
