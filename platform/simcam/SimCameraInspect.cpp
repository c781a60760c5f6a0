// What tests and tools can observe of the simulated camera, and the hooks they use.
#include "platform/simcam/SimCameraState.h"

using namespace simcam;

uint64_t SimCamera::commandCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->nCommands;
}

uint64_t SimCamera::commandCount(uint8_t nCode, int nSub) const
{
    std::lock_guard<std::mutex> lk(d->m);
    if (nSub < 0) {
        auto it = d->countByCode.find(nCode);
        return it == d->countByCode.end() ? 0 : it->second;
    }
    auto it = d->countBySub.find({nCode, nSub});
    return it == d->countBySub.end() ? 0 : it->second;
}

SimCommandRecord SimCamera::lastCommand() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->log.empty() ? SimCommandRecord() : d->log.back();
}

std::vector<SimCommandRecord> SimCamera::commandLog() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return std::vector<SimCommandRecord>(d->log.begin(), d->log.end());
}

void SimCamera::clearCommandLog()
{
    std::lock_guard<std::mutex> lk(d->m);
    d->log.clear();
    d->nCommands = 0;
    d->countByCode.clear();
    d->countBySub.clear();
    d->nProtoErrors = 0;
    d->lastProtoError.clear();
}

uint64_t SimCamera::protocolErrorCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->nProtoErrors;
}

std::string SimCamera::lastProtocolError() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->lastProtoError;
}

std::vector<SimBadPixel> SimCamera::badPixels() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->pixels;
}

std::vector<int> SimCamera::badColumns() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->columns;
}

std::vector<SimBadPixel> SimCamera::savedBadPixels() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->savedPixels;
}

std::vector<int> SimCamera::savedBadColumns() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->savedColumns;
}

void SimCamera::setBadPixels(const std::vector<SimBadPixel>& pixels)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->shared(Clock::now(), [&] { d->pixels = pixels; });
}

void SimCamera::setBadColumns(const std::vector<int>& columns)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->shared(Clock::now(), [&] { d->columns = columns; });
}

std::vector<SimBadPixel> SimCamera::stuckPixels() const
{
    std::lock_guard<std::mutex> lk(d->m);
    const SimStreamLayout l = d->currentLayout();
    return d->sensorFor(l.nImageWidth, l.nImageHeight)->stuckPixels();
}

int SimCamera::deadColumn() const
{
    std::lock_guard<std::mutex> lk(d->m);
    const SimStreamLayout l = d->currentLayout();
    return d->sensorFor(l.nImageWidth, l.nImageHeight)->deadColumn();
}

bool SimCamera::isOpen() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->bOpen;
}

bool SimCamera::isStreaming() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->bInit && d->streamThread.joinable();
}

bool SimCamera::isSleeping() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->workMode == 5;
}

int SimCamera::workMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->workMode;
}

int SimCamera::gainMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->gain;
}

int SimCamera::autoGain() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->autoGain;
}

int SimCamera::colorization() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->colour;
}

int SimCamera::sharpness() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->sharp;
}

int SimCamera::superResMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->srMode;
}

int SimCamera::usbMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->usbMode;
}

void SimCamera::lowTempGear(int& nGear, int& nAuto) const
{
    std::lock_guard<std::mutex> lk(d->m);
    nGear = d->gear;
    nAuto = d->gearAuto;
}

int SimCamera::restartCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->restartCount;
}

int SimCamera::installCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->installCount;
}

int SimCamera::installProgress() const
{
    std::lock_guard<std::mutex> lk(d->m);
    const auto now = Clock::now();
    d->advance(now);
    return d->progress(now);
}

std::vector<uint8_t> SimCamera::receivedImage() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return std::vector<uint8_t>(d->image.begin(), d->image.begin() + std::min<size_t>(d->received, d->image.size()));
}

SimStreamLayout SimCamera::streamLayout() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->currentLayout();
}

void SimCamera::lastInitStreamSize(int& nWidth, int& nHeight) const
{
    std::lock_guard<std::mutex> lk(d->m);
    nWidth = d->initW;
    nHeight = d->initH;
}

std::string SimCamera::lastError() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->lastError;
}

uint64_t SimCamera::frameNumber() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->nFrames;
}

SimMeasurement SimCamera::lastMeasurement() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->lastMeas;
}
