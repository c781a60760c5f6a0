// A renderer that draws nothing: the engine still runs every stage before the display, which is
// what headless tools, benchmarks and tests want.

#include "platform/render/RenderEngine.h"

namespace {

int g_nNullRenderer = 0;

RenderHandle nullCreate(const RenderCreateInfo*) { return &g_nNullRenderer; }
void nullSetSourceSize(RenderHandle, int, int) {}
void nullDrawFrame(RenderHandle, const RenderFrameDesc*, const RenderRect*, int) {}
void nullPresent(RenderHandle) {}
void nullDetach(RenderHandle, const uint8_t*) {}
void nullDestroy(RenderHandle) {}
void nullSetOverlay(RenderHandle, const uint8_t*, int, int, int) {}

const RenderEngineApi kNullApi = {nullCreate,  nullSetSourceSize, nullDrawFrame, nullPresent,
                                  nullDetach,  nullDestroy,       nullSetOverlay};

} // namespace

const RenderEngineApi& nullRenderEngineApi() { return kNullApi; }
