#include "video/VideoGlobals.h"

#include <chrono>
#include <cstdint>

std::atomic<int> g_nFrameWidth{0};
std::atomic<int> g_nFrameHeight{0};
std::atomic<uint32_t> g_nLastFrameTick{0};

namespace {
std::atomic<TickSource> g_tickSource{nullptr};

uint32_t monotonicTick()
{
    // Milliseconds of the monotonic clock, truncated to 32 bits like a tick count. (A started
    // QElapsedTimer's msecsSinceReference() is its fixed starting point, not the time now.)
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}
} // namespace

uint32_t videoTickCount()
{
    const TickSource pfn = g_tickSource.load();
    return pfn ? pfn() : monotonicTick();
}

void setTickSourceForTests(TickSource pfnSource) { g_tickSource.store(pfnSource); }
