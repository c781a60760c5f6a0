// Cost of turning one captured buffer into the packed UYVY frame the link reads, which the
// V4L2 capture thread pays for every frame the camera sends: YUYV order and row padding
// against a plain copy of an already packed UYVY buffer.
#include "platform/v4l2/V4l2Pixels.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

void run(const char* pszWhat, int nWidth, int nHeight, int nPadding, bool bYuyv)
{
    const int nBytesPerLine = nWidth * 2 + nPadding;
    std::vector<uint8_t> src(size_t(nBytesPerLine) * size_t(nHeight));
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = uint8_t(i * 7);
    std::vector<uint8_t> dst(size_t(nWidth) * size_t(nHeight) * 2);
    std::vector<double> us;
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        V4l2Pixels::packFrame(src.data(), nBytesPerLine, nWidth, nHeight, bYuyv, dst.data());
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    std::printf("%-28s %4dx%-4d: median %.1f us, p95 %.1f us per frame (checksum %d)\n", pszWhat, nWidth, nHeight,
                us[us.size() / 2], us[us.size() * 95 / 100], int(dst[dst.size() / 3]));
}

} // namespace

int main()
{
    run("UYVY, packed (copy)", 256, 196, 0, false);
    run("YUYV, packed", 256, 196, 0, true);
    run("YUYV, 64 bytes row padding", 256, 196, 64, true);
    run("UYVY, 64 bytes row padding", 512, 200, 64, false);
    run("YUYV, packed", 512, 386, 0, true);
    return 0;
}
