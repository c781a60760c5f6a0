#include "platform/render/RenderEngine.h"

#include <atomic>

namespace {
std::atomic<const RenderEngineApi*> g_boundEngine{nullptr};
}

const RenderEngineApi& renderEngine()
{
    const RenderEngineApi* pApi = g_boundEngine.load();
    return pApi ? *pApi : sdlRenderEngineApi();
}

void setRenderEngine(const RenderEngineApi* pApi) { g_boundEngine.store(pApi); }

RenderPlacement fitPicture(int nSrcWidth, int nSrcHeight, int nWinWidth, int nWinHeight)
{
    RenderPlacement p;
    if (nSrcWidth < 1 || nSrcHeight < 1 || nWinWidth < 1 || nWinHeight < 1)
        return p;
    // Compare the aspect ratios in integers: the wider one decides which side fills.
    const long long lhs = (long long)nWinWidth * nSrcHeight;
    const long long rhs = (long long)nWinHeight * nSrcWidth;
    if (lhs > rhs) {
        p.height = nWinHeight;
        p.width = int(rhs / nSrcHeight);
    } else {
        p.width = nWinWidth;
        p.height = int(lhs / nSrcWidth);
    }
    p.width = p.width < 1 ? 1 : p.width;
    p.height = p.height < 1 ? 1 : p.height;
    p.x = (nWinWidth - p.width) / 2;
    p.y = (nWinHeight - p.height) / 2;
    return p;
}
