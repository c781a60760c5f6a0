// Per-frame cost of the video engine's pipeline (freeze check, gamma, palette lookup or range
// mapping, rotation, I420 conversion, fourfold bicubic enlargement, up to the draw call) on
// 256 x 192 frames of the simulated scene, next to a reference built from plain OpenCV calls
// that produces the same planes.
//
//   pipeline_bench [--frames N]      the pipeline cases and the ratio (no display needed)
//   pipeline_bench --sdl [--frames N] the SDL upload/draw and present cost (needs a display)

#include "app/AppFlags.h"
#include "platform/render/RenderEngine.h"
#include "platform/simcam/SimFrameFormat.h"
#include "platform/simcam/SimScene.h"
#include "video/ImageOps.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"
#include "video/ThermImageContext.h"
#include "video/ThermalTrailer.h"
#include "video/UpscaleStage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

constexpr int kW = 256;
constexpr int kH = 192;

// ---- a renderer that draws nothing (optionally keeps the planes for the comparison) -------
struct Capture
{
    bool bOn = false;
    std::vector<uint8_t> y, u, v;
    int nW = 0, nH = 0;
} g_capture;
int g_handle = 0;

RenderHandle nullCreate(const RenderCreateInfo*) { return &g_handle; }
void nullSize(RenderHandle, int, int) {}
void nullDraw(RenderHandle, const RenderFrameDesc* f, const RenderRect*, int)
{
    if (!g_capture.bOn)
        return;
    g_capture.nW = f->nPitch[0];
    g_capture.nH = f->nRows[0];
    g_capture.y.assign(f->pPlane[0], f->pPlane[0] + size_t(f->nPitch[0]) * f->nRows[0]);
    g_capture.u.assign(f->pPlane[1], f->pPlane[1] + size_t(f->nPitch[1]) * f->nRows[1]);
    g_capture.v.assign(f->pPlane[2], f->pPlane[2] + size_t(f->nPitch[2]) * f->nRows[2]);
}
void nullPresent(RenderHandle) {}
void nullDetach(RenderHandle, const uint8_t*) {}
void nullDestroy(RenderHandle) {}
const RenderEngineApi kNullRenderer = {nullCreate, nullSize, nullDraw, nullPresent, nullDetach, nullDestroy, nullptr};

bool noModel() { return false; }
bool noRun(const unsigned char*, unsigned char*, int, int, float) { return false; }
const UpscaleStage kNoModel = {noModel, noRun};

// ---- frames of the simulated scene ----------------------------------------------------------
std::vector<std::vector<uint8_t>> makeFrames(int nCount)
{
    SimSceneSettings settings;
    SimScene scene(settings);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<float> t(size_t(kW) * kH);
    std::vector<uint8_t> grey(t.size());
    for (int i = 0; i < nCount; ++i) {
        scene.render(i * 0.04, uint64_t(i), t.data());
        const SimMeasurement m = SimFrameFormat::measure(t.data(), kW, kH);
        SimFrameFormat::toGrey(t.data(), int(t.size()), m.fMinTemper, m.fMaxTemper, grey.data());
        std::vector<uint8_t> f(t.size() * 2);
        for (size_t p = 0; p < t.size(); ++p) {
            f[2 * p] = 128;
            f[2 * p + 1] = grey[p];
        }
        frames.push_back(std::move(f));
    }
    return frames;
}

struct Stats
{
    double median = 0.0;
    double p95 = 0.0;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    Stats s;
    if (v.empty())
        return s;
    s.median = v[v.size() / 2];
    s.p95 = v[std::min(v.size() - 1, v.size() * 95 / 100)];
    return s;
}

void printCase(const char* name, const Stats& s)
{
    std::printf("%s: median %.3f ms, p95 %.3f ms\n", name, s.median, s.p95);
    std::fflush(stdout);
}

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// ---- the reference: plain OpenCV calls ------------------------------------------------------
// Grey level in, Y, U and V out: gamma and the colouring folded into one lookup per plane, as
// the client folds them. Built once, outside the timing.
struct Tables
{
    cv::Mat y = cv::Mat(1, 256, CV_8UC1), u = cv::Mat(1, 256, CV_8UC1), v = cv::Mat(1, 256, CV_8UC1);
};

void gammaBytes(uint8_t* pOut)
{
    float g[256];
    ImageOps::buildGammaTable(g);
    ImageOps::gammaBytes(g, pOut);
}

Tables paletteTables(int nPalette)
{
    uint8_t gb[256], pY[256], pU[256], pV[256];
    gammaBytes(gb);
    Palette::split(Palette::table(nPalette), pY, pU, pV);
    Tables t;
    for (int p = 0; p < 256; ++p) {
        t.y.data[p] = pY[gb[p]];
        t.u.data[p] = pU[gb[p]];
        t.v.data[p] = pV[gb[p]];
    }
    return t;
}

// Each grey level once through the client's range mapping (a ramp of equal pixel pairs).
Tables rangeTables(int nPalette, float fLow, float fHigh, const ThermalTrailer::RangeScene& scene)
{
    uint8_t gb[256];
    gammaBytes(gb);
    std::vector<uint8_t> ramp(256 * 4, 128);
    for (int p = 0; p < 256; ++p)
        ramp[4 * p + 1] = ramp[4 * p + 3] = gb[p];
    ThermalTrailer::applyRangeMapping(ramp.data(), 512, 1, nPalette, fLow, fHigh, scene);
    Tables t;
    for (int p = 0; p < 256; ++p) {
        t.y.data[p] = ramp[4 * p + 1];
        t.u.data[p] = ramp[4 * p];
        t.v.data[p] = ramp[4 * p + 2];
    }
    return t;
}

struct Reference
{
    Tables tables;
    cv::Mat freeze, y, ypal, y0, u, v, yr, ur, vr, Y, U, V;

    // nRotate: 0 or 1 (a quarter turn clockwise).
    void run(const uint8_t* pFrame, int nRotate)
    {
        const cv::Mat uyvy(kH, kW, CV_8UC2, const_cast<uint8_t*>(pFrame));
        uyvy.copyTo(freeze);                              // the freeze copy
        cv::cvtColor(freeze, y, cv::COLOR_YUV2GRAY_UYVY); // luminance plane
        cv::LUT(y, tables.y, ypal);
        // Chroma follows the first pixel of each pair; the I420 frame keeps one row in two:
        // the even rows unrotated, the odd rows (which become the even ones) after a quarter turn.
        const cv::Mat pairs = y.reshape(2, kH);           // kH x kW/2, channel 0 = first pixel
        cv::Mat firsts;
        cv::extractChannel(pairs, firsts, 0);
        const cv::Mat rows = firsts.reshape(1, kH / 2);   // two source rows side by side
        y0 = rows.colRange(nRotate ? kW / 2 : 0, nRotate ? kW : kW / 2);
        cv::LUT(y0, tables.u, u);
        cv::LUT(y0, tables.v, v);
        if (nRotate) {
            cv::rotate(ypal, yr, cv::ROTATE_90_CLOCKWISE);
            cv::rotate(u, ur, cv::ROTATE_90_CLOCKWISE);
            cv::rotate(v, vr, cv::ROTATE_90_CLOCKWISE);
        } else {
            yr = ypal;
            ur = u;
            vr = v;
        }
        cv::resize(yr, Y, cv::Size(yr.cols * 4, yr.rows * 4), 0, 0, cv::INTER_CUBIC);
        cv::resize(ur, U, cv::Size(ur.cols * 4, ur.rows * 4), 0, 0, cv::INTER_CUBIC);
        cv::resize(vr, V, cv::Size(vr.cols * 4, vr.rows * 4), 0, 0, cv::INTER_CUBIC);
    }

    bool equals(const Capture& c) const
    {
        auto same = [](const cv::Mat& m, const std::vector<uint8_t>& v) {
            return m.isContinuous() && size_t(m.total()) == v.size() && std::equal(v.begin(), v.end(), m.data);
        };
        return c.nW == Y.cols && c.nH == Y.rows && same(Y, c.y) && same(U, c.u) && same(V, c.v);
    }
};

int runPipelineCases(int nFrames)
{
    setRenderEngine(&kNullRenderer);
    setUpscaleStage(&kNoModel);
    const auto frames = makeFrames(64);

    QVideoPlay engine;
    // The live view always has the thermal data worker listening; its copy is part of the cost.
    QObject::connect(&engine, &QVideoPlay::sendCalcuYDataSignal, [](unsigned char*, int) {});
    QMetaObject::invokeMethod(&engine, "setVideoPlaySlots", Qt::DirectConnection, Q_ARG(void*, &g_handle),
                              Q_ARG(bool, true));
    engine.setPaletteId(Palette::kIronRed);
    ThermImageContext& ctx = ThermImageContext::instance();
    Reference ref;
    ref.tables = paletteTables(Palette::kIronRed);

    // The reference must give the same planes as the pipeline, or the comparison means nothing
    // and the run fails.
    bool bSame = true;
    auto compare = [&](const char* pszCase, int nRotate) {
        g_nDirection = nRotate;
        std::vector<uint8_t> f = frames[7];
        g_capture.bOn = true;
        QVideoPlay::frameConsumer(f.data(), kW, kH, &engine);
        g_capture.bOn = false;
        ref.run(frames[7].data(), nRotate);
        const bool bEqual = ref.equals(g_capture);
        bSame = bSame && bEqual;
        std::fprintf(stderr, "reference equals the pipeline (%s, rotation %d): %s\n", pszCase, nRotate,
                     bEqual ? "yes" : "NO");
    };
    compare("ironred", 0);
    compare("ironred", 1);

    auto timeOurs = [&](int nRotate) {
        g_nDirection = nRotate;
        std::vector<double> t;
        std::vector<uint8_t> f(frames[0].size());
        for (int i = -30; i < nFrames; ++i) {
            const auto& src = frames[size_t(i + 30) % frames.size()];
            std::memcpy(f.data(), src.data(), f.size());   // as the link's frame buffer
            const auto t0 = std::chrono::steady_clock::now();
            QVideoPlay::frameConsumer(f.data(), kW, kH, &engine);
            if (i >= 0)
                t.push_back(msSince(t0));
        }
        return stats(t);
    };

    auto timeReference = [&] {
        std::vector<double> t;
        for (int i = -30; i < nFrames; ++i) {
            const auto& src = frames[size_t(i + 30) % frames.size()];
            const auto t0 = std::chrono::steady_clock::now();
            ref.run(src.data(), 0);
            if (i >= 0)
                t.push_back(msSince(t0));
        }
        return stats(t);
    };
    auto printRatio = [](const char* pszCase, const Stats& ours, const Stats& reference) {
        std::printf("ratio ours/reference (%s): %.3f\n", pszCase,
                    reference.median > 0 ? ours.median / reference.median : 0.0);
    };

    const Stats ours = timeOurs(0);
    printCase("ironred", ours);
    printCase("ironred-rotate1", timeOurs(1));
    const Stats reference = timeReference();
    printCase("reference-ironred", reference);

    ThermalTrailer::RangeScene scene;
    scene.fSceneMin = ctx.m_fSceneMin = 6.0f;
    scene.fSceneMax = ctx.m_fSceneMax = 65.0f;
    scene.nLumaMin = ctx.m_nLumaMin = 0;
    scene.nLumaMax = ctx.m_nLumaMax = 255;
    ctx.m_bAutoRange = false;
    engine.setIsoTemperSlot(20.0f, 40.0f);
    ref.tables = rangeTables(Palette::kIronRed, 20.0f, 40.0f, scene);
    compare("range-mapping", 0);
    const Stats oursRange = timeOurs(0);
    printCase("range-mapping", oursRange);
    const Stats referenceRange = timeReference();
    printCase("reference-range-mapping", referenceRange);
    ctx.m_bAutoRange = true;

    printRatio("ironred", ours, reference);
    printRatio("range-mapping", oursRange, referenceRange);
    return bSame ? 0 : 1;
}

int runSdlCases(int nFrames)
{
    QWidget window;
    window.setAttribute(Qt::WA_NativeWindow);
    window.resize(1024, 768);
    window.show();
    QApplication::processEvents();
    window.setUpdatesEnabled(false);

    const RenderEngineApi& api = sdlRenderEngineApi();
    RenderCreateInfo info;
    info.hWnd = reinterpret_cast<void*>(window.winId());
    RenderHandle h = api.create(&info);
    if (!h) {
        std::fprintf(stderr, "no SDL renderer on this display\n");
        return 1;
    }
    const int W = 4 * kW, H = 4 * kH;
    std::vector<uint8_t> planes(size_t(W) * H * 3 / 2);
    RenderFrameDesc d;
    std::memset(&d, 0, sizeof(d));
    d.pPlane[0] = planes.data();
    d.pPlane[1] = planes.data() + size_t(W) * H;
    d.pPlane[2] = planes.data() + size_t(W) * H * 5 / 4;
    d.nPitch[0] = W;
    d.nPitch[1] = d.nPitch[2] = W / 2;
    d.nRows[0] = H;
    d.nRows[1] = d.nRows[2] = H / 2;
    RenderRect rect;
    rect.right = W;
    rect.bottom = H;
    std::vector<double> upload, present;
    for (int i = -10; i < nFrames; ++i) {
        std::fill(planes.begin(), planes.begin() + W * H, uint8_t(i * 3));
        const auto t0 = std::chrono::steady_clock::now();
        api.setSourceSize(h, W, H);
        api.drawFrame(h, &d, &rect, 0);
        const double u = msSince(t0);
        const auto t1 = std::chrono::steady_clock::now();
        api.present(h);
        const double p = msSince(t1);
        if (i >= 0) {
            upload.push_back(u);
            present.push_back(p);
        }
    }
    api.destroy(h);
    printCase("sdl-upload-draw-1024x768", stats(upload));
    printCase("sdl-present", stats(present));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool bSdl = false;
    int nFrames = 500;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sdl") == 0)
            bSdl = true;
        else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            nFrames = std::max(10, std::atoi(argv[++i]));
    }
    if (bSdl) {
        QApplication app(argc, argv);
        return runSdlCases(nFrames);
    }
    QCoreApplication app(argc, argv);
    return runPipelineCases(nFrames);
}
