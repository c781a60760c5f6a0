#pragma once
// Process-wide values shared by the video engine, the thermal data worker and the live view.
// Plain atomics: each is a single value, readers may see one frame's width with the next
// frame's height for an instant, which nothing relies on.

#include <atomic>
#include <cstdint>

// Size of the last frame the engine accepted (0 until the first frame, and after a stop).
extern std::atomic<int> g_nFrameWidth;
extern std::atomic<int> g_nFrameHeight;

// Millisecond tick of the last processed frame (0 after the engine is bound to a window).
extern std::atomic<uint32_t> g_nLastFrameTick;

// Millisecond tick count, wrapping at 2^32, from a monotonic clock.
uint32_t videoTickCount();

// Tests replace the clock so that liveness can be checked without waiting; null restores it.
using TickSource = uint32_t (*)();
void setTickSourceForTests(TickSource pfnSource);
