// Cost per frame of the recording stage, measured on the engine's side of the calls.
//   record_bench [frames]   (default 500 per size)
// Prints "encode-<w>x<h>: median <ms> ms, p95 <ms> ms" for the encode+write stage: one
// encoder call and one MP4 write per picture, as recording makes them for every frame.
#include "platform/encoder/H264Encoder.h"
#include "platform/encoder/StreamConvertor.h"

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

} // namespace

int main(int argc, char** argv)
{
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
    // The whole per-frame recording stage (work buffer to BGR, logo, BGR to I420, then the
    // encode+write above) is measured here once the engine's recording code exists:
    // record-<w>x<h>: median <ms> ms, p95 <ms> ms
    return 0;
}
