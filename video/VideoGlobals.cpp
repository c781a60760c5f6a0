#include "video/VideoGlobals.h"

#include <QElapsedTimer>

std::atomic<int> g_nFrameWidth{0};
std::atomic<int> g_nFrameHeight{0};
std::atomic<uint32_t> g_nLastFrameTick{0};

namespace {
std::atomic<TickSource> g_tickSource{nullptr};

uint32_t monotonicTick()
{
    // Milliseconds of the monotonic clock, truncated to 32 bits like a tick count.
    static QElapsedTimer s_timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return uint32_t(quint64(s_timer.msecsSinceReference()));
}
} // namespace

uint32_t videoTickCount()
{
    const TickSource pfn = g_tickSource.load();
    return pfn ? pfn() : monotonicTick();
}

void setTickSourceForTests(TickSource pfnSource) { g_tickSource.store(pfnSource); }
