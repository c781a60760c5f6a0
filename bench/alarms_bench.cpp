// What the trend panel costs the live pipeline: the per-frame pass of the video engine with the
// panel closed and open, measured in alternating rounds in one run so both see the same
// machine load. The panel taps each processed frame on the engine's thread; the ratio
// open/closed should stay at 1 within the noise.
//
//   alarms_bench [frames per round, default 400] [rounds, default 5]

#include "alarms/AlarmMonitor.h"
#include "alarms/QTrendPanel.h"
#include "app/AppFlags.h"
#include "platform/render/RenderEngine.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kW = 256;
constexpr int kH = 192;

std::vector<uint8_t> makeFrame(int nShift)
{
    std::vector<uint8_t> f(size_t(kW * kH * 2), 128);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            f[size_t(2 * (y * kW + x) + 1)] = uint8_t((x + y + nShift) & 0xff);
    return f;
}

double medianMs(std::vector<double> t)
{
    std::sort(t.begin(), t.end());
    return t.empty() ? 0.0 : t[t.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int nFrames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;
    const int nRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    setRenderEngine(&nullRenderEngineApi());
    QVideoPlay engine;
    static int s_nHandle = 0;
    QObject::connect(&engine, &QVideoPlay::sendCalcuYDataSignal, [](unsigned char*, int) {});
    QMetaObject::invokeMethod(&engine, "setVideoPlaySlots", Qt::DirectConnection, Q_ARG(void*, &s_nHandle),
                              Q_ARG(bool, true));
    engine.setPaletteId(Palette::kIronRed);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 16; ++i)
        frames.push_back(makeFrame(i * 7));

    AlarmMonitor monitor;
    QTrendPanel panel(&monitor, &engine);

    const auto round = [&] {
        std::vector<double> t;
        std::vector<uint8_t> f(frames[0].size());
        for (int i = 0; i < nFrames; ++i) {
            f = frames[size_t(i) % frames.size()];
            const auto t0 = std::chrono::steady_clock::now();
            QVideoPlay::frameConsumer(f.data(), kW, kH, &engine);
            t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        return t;
    };
    round();   // warm-up
    std::vector<double> closed, open;
    for (int r = 0; r < nRounds; ++r) {
        panel.hide();
        const std::vector<double> c = round();
        closed.insert(closed.end(), c.begin(), c.end());
        panel.show();
        QApplication::processEvents();
        const std::vector<double> o = round();
        open.insert(open.end(), o.begin(), o.end());
    }
    panel.hide();
    const double fClosed = medianMs(closed), fOpen = medianMs(open);
    std::printf("frame pass, panel closed: median %.3f ms, max %.3f ms (%zu frames)\n", fClosed,
                *std::max_element(closed.begin(), closed.end()), closed.size());
    std::printf("frame pass, panel open:   median %.3f ms, max %.3f ms (%zu frames)\n", fOpen,
                *std::max_element(open.begin(), open.end()), open.size());
    std::printf("ratio open/closed: %.3f\n", fClosed > 0 ? fOpen / fClosed : 0.0);
    return 0;
}
