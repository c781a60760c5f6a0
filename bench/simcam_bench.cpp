// Cost of one simulated camera frame (scene, sensor, correction, grey levels, layout), which
// the camera's stream thread pays 25 times a second beside everything else.
#include "platform/simcam/SimCamera.h"
#include "platform/simcam/SimCameraLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

int countFrames(int, int, unsigned char*, int, void*) { return 0; }

void run(const char* spec)
{
    SimCamera& cam = SimCamera::instance();
    cam.setPrivate(true);   // a camera of its own: reset() must not clear the machine's
    cam.reset();
    cam.configure(spec);
    cam.setStreamPaused(true);
    const CameraLibraryApi& api = simCameraLibraryApi();
    std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
    int32_t count = 0;
    api.GetUsbDeviceNum(&count, list.data());
    api.OpenUSBCam(&list[0]);
    const SimStreamLayout l = cam.streamLayout();
    api.InitUSBCam(&list[0], l.nStreamWidth, l.nStreamHeight, 0, 0, 1);
    api.RegisterUSBStreamCallBack(list[0].nCamID, countFrames, nullptr);
    // A few bad pixels and columns in the tables, as a serviced camera has.
    std::vector<SimBadPixel> pixels;
    for (int i = 0; i < 64; ++i)
        pixels.push_back({(i * 37) % l.nImageWidth, (i * 23) % l.nImageHeight});
    cam.setBadPixels(pixels);
    cam.setBadColumns({10, 100});
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        cam.deliverFrameNow();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-36s %dx%d: median %.2f ms, p95 %.2f ms per frame\n", spec, l.nImageWidth, l.nImageHeight,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100]);
    api.UinitUSBCam();
}

} // namespace

int main()
{
    run("part=KRM2560101A1RT1");
    run("part=KRM2560101A1PT1");
    run("width=512");
    return 0;
}
