// Cost per frame of the recording stage, measured on the engine's side of the calls.
//   record_bench [frames]   (default 500 per size)
// Prints "encode-<w>x<h>: median <ms> ms, p95 <ms> ms" for the encode+write stage: one
// encoder call and one MP4 write per picture, as recording makes them for every frame;
// "record-<w>x<h>: ..." for the whole stage (shown picture to BGR, logo, I420, encode,
// write); and "engine-<w>x<h>: ..." for what a running recording adds to the engine's
// per-frame pass, measured through the engine itself.
#include "app/Startup.h"
#include "platform/encoder/H264Encoder.h"
#include "platform/encoder/StreamConvertor.h"
#include "platform/render/RenderEngine.h"
#include "video/ImageOps.h"
#include "video/QVideoPlay.h"
#include "video/RecordSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <time.h>

namespace {

// Thermal-looking I420 pictures: gradient, a drifting hot spot, sensor-like noise, and a
// tinted chroma ramp as a palette would give.
std::vector<unsigned char> makePicture(int w, int h, int nIndex)
{
    std::vector<unsigned char> vec(size_t(w) * h * 3 / 2);
    unsigned char* pY = vec.data();
    unsigned char* pU = pY + w * h;
    unsigned char* pV = pU + w * h / 4;
    uint32_t nSeed = 2654435761u * uint32_t(nIndex + 1);
    const double cx = w * (0.2 + 0.6 * ((nIndex % 100) / 100.0));
    const double cy = h * (0.4 + 0.2 * ((nIndex % 37) / 37.0));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            nSeed = nSeed * 1664525u + 1013904223u;
            const double d2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (0.02 * w * w);
            const double v = 40 + 100.0 * x / w + 80.0 * std::exp(-d2) + int(nSeed >> 29) - 4;
            pY[y * w + x] = static_cast<unsigned char>(std::min(235.0, std::max(16.0, v)));
        }
    }
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            const int nLuma = pY[(2 * y) * w + 2 * x];
            pU[y * (w / 2) + x] = static_cast<unsigned char>(128 - (nLuma - 16) / 5);
            pV[y * (w / 2) + x] = static_cast<unsigned char>(128 + (nLuma - 16) / 4);
        }
    }
    return vec;
}

// CPU time of this thread: on a loaded machine the wall-clock figures include time spent
// waiting for a core, this does not.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Figures
{
    double fMedian = 0;
    double fP95 = 0;
    double fCpuMedian = 0;
    double fCpuP95 = 0;
    double fKbps = 0;
};

void percentiles(std::vector<double> vec, double& fMedian, double& fP95)
{
    std::sort(vec.begin(), vec.end());
    fMedian = vec[vec.size() / 2];
    fP95 = vec[std::min(vec.size() - 1, size_t(std::ceil(vec.size() * 0.95)) - 1)];
}

bool benchEncodeWrite(int w, int h, int nFrames, const std::string& strDir, Figures& stOut)
{
    std::vector<std::vector<unsigned char>> vecPictures;
    for (int i = 0; i < 100; ++i)
        vecPictures.push_back(makePicture(w, h, i));

    MavEncParam stParam = mavEncDefaultParam(w, h);
    void* hEnc = nullptr;
    if (MAV_P264_Enc_Open(&stParam, &hEnc) < 0)
        return false;
    const StreamConvertorApi& api = streamConvertor();
    api.Init();
    const std::string strPath = strDir + "/bench-" + std::to_string(w) + "x" + std::to_string(h) + ".mp4";
    void* hMux = nullptr;
    if (api.OpenFile(kStreamConvKindMp4, strPath.c_str(), int(strPath.size()), &hMux) != 0) {
        MAV_P264_Enc_Close(hEnc);
        return false;
    }

    std::vector<double> vecMs, vecCpuMs;
    for (int i = 0; i < nFrames; ++i) {
        std::vector<unsigned char>& vecPic = vecPictures[size_t(i) % vecPictures.size()];
        MavEncPicture stPic{};
        stPic.pY = vecPic.data();
        stPic.pU = stPic.pY + w * h;
        stPic.pV = stPic.pU + w * h / 4;
        stPic.nWidth = w;
        stPic.nWidthQuarterU = w / 4;
        stPic.nWidthQuarterV = w / 4;
        MavEncOutput stEncOut{};
        const double fCpu0 = threadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        if (MAV_P264_Enc_Start(hEnc, &stPic, &stEncOut) == 0)
            api.WriteData(hMux, stEncOut.pData, stEncOut.nDataLen);
        const auto t1 = std::chrono::steady_clock::now();
        vecCpuMs.push_back(threadCpuMs() - fCpu0);
        vecMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    MAV_P264_Enc_Close(hEnc);
    api.Finish(hMux);
    api.Close(hMux);
    api.Release();

    percentiles(vecMs, stOut.fMedian, stOut.fP95);
    percentiles(vecCpuMs, stOut.fCpuMedian, stOut.fCpuP95);
    // Nominal rate of 25 fps, for a feel of the file sizes.
    stOut.fKbps = std::filesystem::file_size(strPath) * 8.0 / 1000.0 / (nFrames / 25.0);
    std::filesystem::remove(strPath);
    return true;
}

// A shown picture as the engine holds it: UYVY with a palette's colours.
std::vector<unsigned char> makeUyvy(int w, int h, int nIndex)
{
    const std::vector<unsigned char> i420 = makePicture(w, h, nIndex);
    std::vector<unsigned char> vec(size_t(w) * h * 2);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; x += 2) {
            unsigned char* p = &vec[(size_t(y) * w + x) * 2];
            p[0] = i420[size_t(w) * h + (y / 2) * (w / 2) + x / 2];
            p[1] = i420[size_t(y) * w + x];
            p[2] = i420[size_t(w) * h * 5 / 4 + (y / 2) * (w / 2) + x / 2];
            p[3] = i420[size_t(y) * w + x + 1];
        }
    }
    return vec;
}

// The stage exactly as the engine runs it for each recorded frame.
bool benchWholeStage(int w, int h, int nFrames, const std::string& strDir, const cv::Mat& logo, Figures& stOut,
                     double& fConvertMedian)
{
    std::vector<std::vector<unsigned char>> vecFrames;
    for (int i = 0; i < 50; ++i)
        vecFrames.push_back(makeUyvy(w, h, i));
    MavEncParam stParam = mavEncDefaultParam(w, h);
    void* hEnc = nullptr;
    if (MAV_P264_Enc_Open(&stParam, &hEnc) < 0)
        return false;
    const StreamConvertorApi& api = streamConvertor();
    api.Init();
    const std::string strPath = strDir + "/stage-" + std::to_string(w) + "x" + std::to_string(h) + ".mp4";
    void* hMux = nullptr;
    if (api.OpenFile(kStreamConvKindMp4, strPath.c_str(), int(strPath.size()), &hMux) != 0) {
        MAV_P264_Enc_Close(hEnc);
        return false;
    }
    std::vector<unsigned char> vecI420;
    std::vector<double> vecMs, vecCpuMs, vecConvertMs;
    for (int i = 0; i < nFrames; ++i) {
        const std::vector<unsigned char>& vecFrame = vecFrames[size_t(i) % vecFrames.size()];
        const double fCpu0 = threadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        RecordSupport::uyvyToI420Stamped(vecFrame.data(), w, h, [&](cv::Mat& bgr) { ImageOps::stampLogo(bgr, logo); },
                                         vecI420);
        const auto t1 = std::chrono::steady_clock::now();
        MavEncPicture stPic{};
        stPic.pY = vecI420.data();
        stPic.pU = stPic.pY + w * h;
        stPic.pV = stPic.pU + w * h / 4;
        stPic.nWidth = w;
        stPic.nWidthQuarterU = w / 4;
        stPic.nWidthQuarterV = w / 4;
        MavEncOutput stEncOut{};
        if (MAV_P264_Enc_Start(hEnc, &stPic, &stEncOut) == 0) {
            api.WriteData(hMux, stEncOut.pData, stEncOut.nDataLen);
            streamConvertorLastError(hMux);
        }
        const auto t2 = std::chrono::steady_clock::now();
        vecCpuMs.push_back(threadCpuMs() - fCpu0);
        vecMs.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
        vecConvertMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    MAV_P264_Enc_Close(hEnc);
    api.Finish(hMux);
    api.Close(hMux);
    api.Release();
    std::filesystem::remove(strPath);
    percentiles(vecMs, stOut.fMedian, stOut.fP95);
    percentiles(vecCpuMs, stOut.fCpuMedian, stOut.fCpuP95);
    double fUnused = 0;
    percentiles(vecConvertMs, fConvertMedian, fUnused);
    return true;
}

// One engine pass per frame (palette, gamma and the rest, no drawing), with and without a
// recording running; the difference of the medians is what recording adds.
bool benchEngine(int w, int h, int nFrames, const QString& qStrDir, double& fAddedMedian, double& fAddedP95)
{
    QVideoPlay engine;
    engine.setPaletteId(6);
    engine.setRecordWatch(0, 5000);
    engine.setManualRecordDir(qStrDir);
    QMetaObject::invokeMethod(&engine, "setVideoPlaySlots", Qt::DirectConnection,
                              Q_ARG(void*, reinterpret_cast<void*>(&engine)), Q_ARG(bool, true));
    std::vector<std::vector<unsigned char>> vecFrames;
    for (int i = 0; i < 50; ++i)
        vecFrames.push_back(makeUyvy(w, h, i));
    auto pass = [&](int i) {
        std::vector<unsigned char>& f = vecFrames[size_t(i) % vecFrames.size()];
        const auto t0 = std::chrono::steady_clock::now();
        QVideoPlay::frameConsumer(f.data(), w, h, &engine);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    };
    std::vector<double> vecPlain, vecRecording;
    for (int i = 0; i < nFrames; ++i)
        vecPlain.push_back(pass(i));
    int nCode = -1;
    QObject::connect(&engine, &QVideoPlay::sendRecordResultSignals, [&](int n) { nCode = n; });
    QMetaObject::invokeMethod(&engine, "setStartRecordSlots", Qt::DirectConnection);
    if (nCode != 0)
        return false;
    for (int i = 0; i < nFrames; ++i)
        vecRecording.push_back(pass(i));
    QMetaObject::invokeMethod(&engine, "setStopRecordSlots", Qt::DirectConnection);
    double fPlainMedian = 0, fPlainP95 = 0, fRecMedian = 0, fRecP95 = 0;
    percentiles(vecPlain, fPlainMedian, fPlainP95);
    percentiles(vecRecording, fRecMedian, fRecP95);
    fAddedMedian = fRecMedian - fPlainMedian;
    fAddedP95 = fRecP95 - fPlainP95;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initThermavaResources();
    setRenderEngine(&nullRenderEngineApi());
    const int nFrames = argc > 1 ? std::max(20, std::atoi(argv[1])) : 500;
    const std::string strDir = std::filesystem::temp_directory_path().string();
    const int nSizes[][2] = {{256, 192}, {512, 384}};
    for (const auto& size : nSizes) {
        Figures st;
        if (!benchEncodeWrite(size[0], size[1], nFrames, strDir, st)) {
            std::fprintf(stderr, "encode-%dx%d: could not open the encoder or the file\n", size[0], size[1]);
            return 1;
        }
        std::printf("encode-%dx%d: median %.2f ms, p95 %.2f ms\n", size[0], size[1], st.fMedian, st.fP95);
        std::printf("  (%d frames; CPU time median %.2f ms, p95 %.2f ms; about %.0f kbit/s at 25 fps)\n", nFrames,
                    st.fCpuMedian, st.fCpuP95, st.fKbps);
    }
    // The whole per-frame recording stage, as the engine runs it.
    const cv::Mat logo = QVideoPlay::loadResourceImage(":/Resource/Skin/LOGO_CN25.png");
    const cv::Mat logoLarge = QVideoPlay::loadResourceImage(":/Resource/Skin/LOGO_CN.png");
    for (const auto& size : nSizes) {
        Figures st;
        double fConvert = 0;
        if (!benchWholeStage(size[0], size[1], nFrames, strDir, size[0] > 256 ? logoLarge : logo, st, fConvert)) {
            std::fprintf(stderr, "record-%dx%d: could not open the encoder or the file\n", size[0], size[1]);
            return 1;
        }
        std::printf("record-%dx%d: median %.2f ms, p95 %.2f ms\n", size[0], size[1], st.fMedian, st.fP95);
        std::printf("  (BGR, logo and I420 median %.2f ms; CPU time median %.2f ms, p95 %.2f ms)\n", fConvert,
                    st.fCpuMedian, st.fCpuP95);
    }
    // The same, seen from the engine: its per-frame pass with a recording against without.
    QTemporaryDir dir;
    for (const auto& size : nSizes) {
        double fMedian = 0, fP95 = 0;
        if (!benchEngine(size[0], size[1], nFrames, dir.path(), fMedian, fP95)) {
            std::fprintf(stderr, "engine-%dx%d: the recording did not start\n", size[0], size[1]);
            return 1;
        }
        std::printf("engine-%dx%d: recording adds median %.2f ms, p95 %.2f ms per frame\n", size[0], size[1], fMedian,
                    fP95);
    }
    return 0;
}
