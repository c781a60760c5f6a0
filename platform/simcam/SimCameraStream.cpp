// The simulated camera's stream: rendering a frame of the scene and the thread that paces
// frames to the registered callback.
#include "platform/simcam/SimCameraState.h"

#include <cmath>

using namespace simcam;

void simcam::renderFrame(const FrameJob& job, std::vector<float>& work, std::vector<uint8_t>& grey,
                         std::vector<uint8_t>& frame, SimMeasurement& meas)
{
    const SimStreamLayout& l = job.layout;
    const int w = l.nImageWidth, h = l.nImageHeight;
    frame.resize(size_t(l.frameBytes()));
    grey.resize(size_t(w) * size_t(h));
    uint8_t trailer[SimFrameFormat::kTrailerSize];
    meas = SimMeasurement();
    meas.nFrame = job.nFrame;
    if (job.bSleeping) {
        // The sensor is off: no picture and no measurement.
        std::fill(grey.begin(), grey.end(), uint8_t(128));
        SimFrameFormat::writeTrailer(trailer, meas, w, h);
        SimFrameFormat::composeFrame(l, grey.data(), nullptr, trailer, frame.data());
        return;
    }
    work.resize(size_t(w) * size_t(h));
    SimScene scene(job.scene);
    scene.render(job.t, job.nFrame, work.data());
    const SimSceneSettings& s = job.scene;
    const float low = s.fRoomTemper - 0.6f * (s.fRoomTemper - s.fColdTemper);
    const float high = s.fRoomTemper + 0.6f * (s.fBodyTemper - s.fRoomTemper);
    job.sensor->expose(work.data(), job.fFpn, std::min(low, high), std::max(low, high), job.nFrame);
    SimSensor::hideDefects(work.data(), w, h, job.pixels, job.columns);
    meas = SimFrameFormat::measure(work.data(), w, h);
    meas.nFrame = job.nFrame;
    SimFrameFormat::toGrey(work.data(), w * h, meas.fMinTemper, meas.fMaxTemper, grey.data());
    SimFrameFormat::writeTrailer(trailer, meas, w, h);
    SimFrameFormat::composeFrame(l, grey.data(), work.data(), trailer, frame.data());
}

// Stops the stream thread and waits for it (never from the stream thread itself).
void SimCamera::State::joinStream(std::unique_lock<std::mutex>& lk)
{
    ++streamRun;
    cvStream.notify_all();
    std::thread t = std::move(streamThread);
    if (!t.joinable())
        return;
    if (t.get_id() == std::this_thread::get_id()) {
        t.detach();
        return;
    }
    lk.unlock();
    t.join();
    lk.lock();
}

FrameJob SimCamera::State::makeJob(Clock::time_point now)
{
    FrameJob job;
    job.layout = layout;
    job.scene = scene;
    job.scene.nWidth = layout.nImageWidth;
    job.scene.nHeight = layout.nImageHeight;
    job.t = fixedTime >= 0.0 ? fixedTime : std::chrono::duration<double>(now - powerOn).count();
    if (hotPeriod > 0.0) {
        const double phase = std::fmod(job.t, hotPeriod) / hotPeriod;
        const double rise = phase < 0.5 ? 2.0 * phase : 2.0 * (1.0 - phase);
        job.scene.fHotTemper = hotLow + float(rise) * (hotHigh - hotLow);
    }
    job.nFrame = ++nFrames;
    job.fFpn = fpnAmplitude(now);
    job.sensor = sensorFor(layout.nImageWidth, layout.nImageHeight);
    job.pixels = pixels;
    job.columns = columns;
    job.bSleeping = workMode == 5;
    return job;
}

void SimCamera::State::streamLoop(uint64_t run)
{
    std::unique_lock<std::mutex> lk(m);
    std::vector<float> work;
    std::vector<uint8_t> grey, frame;
    auto next = Clock::now();
    uint64_t seenKick = streamKick;
    while (run == streamRun) {
        const bool bKicked = cvStream.wait_until(lk, next, [&] { return run != streamRun || seenKick != streamKick; });
        if (run != streamRun)
            break;
        auto now = Clock::now();
        if (bKicked) {
            // Something changed the stream (wake, new callback): start a fresh beat.
            seenKick = streamKick;
            next = now;
            continue;
        }
        advance(now);
        if (run != streamRun || !bInit)
            break;
        const double rate = workMode == 5 ? kSleepFps : std::clamp(fps, 0.1, 240.0);
        next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
        if (next < now)
            next = now;   // fell behind (a slow consumer): no burst of late frames
        if (bPaused || now < shutterUntil || !cb)
            continue;
        FrameJob job = makeJob(now);
        lk.unlock();
        SimMeasurement meas;
        renderFrame(job, work, grey, frame, meas);
        lk.lock();
        if (run != streamRun || !cb)
            continue;
        lastMeas = meas;
        UsbStreamCallback f = cb;
        void* u = user;
        const int sw = job.layout.nStreamWidth, sh = job.layout.nStreamHeight;
        lk.unlock();
        f(sw, sh, frame.data(), int(frame.size()), u);
        lk.lock();
    }
}

void SimCamera::setFrameRate(double fps)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->fps = std::clamp(fps, 0.1, 240.0);
    d->kick();
}

void SimCamera::setStreamPaused(bool bPaused)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bPaused = bPaused;
    d->kick();
}

int SimCamera::deliverFrameNow()
{
    std::unique_lock<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (!d->bInit || !d->cb)
        return -2;
    FrameJob job = d->makeJob(Clock::now());
    UsbStreamCallback f = d->cb;
    void* u = d->user;
    lk.unlock();
    std::vector<float> work;
    std::vector<uint8_t> grey, frame;
    SimMeasurement meas;
    renderFrame(job, work, grey, frame, meas);
    lk.lock();
    d->lastMeas = meas;
    lk.unlock();
    return f(job.layout.nStreamWidth, job.layout.nStreamHeight, frame.data(), int(frame.size()), u);
}

int SimCamera::deliverRawFrame(const unsigned char* pData, int nLength, int nArg1, int nArg2)
{
    UsbStreamCallback f = nullptr;
    void* u = nullptr;
    {
        std::lock_guard<std::mutex> lk(d->m);
        f = d->cb;
        u = d->user;
    }
    if (!f)
        return -2;
    return f(nArg1, nArg2, const_cast<unsigned char*>(pData), nLength, u);
}

int SimCamera::libInitUSBCam(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int, int, int)
{
    if (!pDevice)
        return -1;
    std::unique_lock<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (!d->onBus() || !d->bOpen || pDevice->nCamID != kCamID)
        return -1;
    if (nStreamWidth <= 0 || nStreamHeight <= 0)
        return -2;
    // Like a V4L2 device refusing S_FMT, the camera offers only its own layout; streaming
    // it under another size would hand the host rows it cuts in the wrong places.
    const SimStreamLayout offered = SimFrameFormat::layoutFor(d->part, d->nImageWidth);
    d->initW = nStreamWidth;
    d->initH = nStreamHeight;
    if (nStreamWidth != offered.nStreamWidth || nStreamHeight != offered.nStreamHeight) {
        d->lastError = "the camera does not offer a " + std::to_string(nStreamWidth) + "x" + std::to_string(nStreamHeight)
                       + " stream (it streams " + std::to_string(offered.nStreamWidth) + "x"
                       + std::to_string(offered.nStreamHeight) + ")";
        return -3;
    }
    d->lastError.clear();
    d->bInit = false;
    d->cb = nullptr;
    d->user = nullptr;
    d->joinStream(lk);
    if (!d->onBus() || !d->bOpen)
        return -1;
    d->layout = offered;
    d->bInit = true;
    const uint64_t run = ++d->streamRun;
    State* s = d.get();
    d->streamThread = std::thread([s, run] { s->streamLoop(run); });
    return 0;
}

int SimCamera::libRegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (nCamID != kCamID || !d->bInit || !pfnCallback)
        return -1;
    d->cb = pfnCallback;
    d->user = pUser;
    d->kick();
    return 0;
}

void SimCamera::libCloseUSBStreaming(int nCamID)
{
    std::unique_lock<std::mutex> lk(d->m);
    if (nCamID != kCamID)
        return;
    d->bInit = false;
    d->cb = nullptr;
    d->user = nullptr;
    d->joinStream(lk);
}
