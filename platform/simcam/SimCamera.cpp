#include "platform/simcam/SimCamera.h"

// Placeholder body: the camera is not on the bus yet.
struct SimCamera::State
{
};

SimCamera& SimCamera::instance()
{
    static SimCamera camera;
    return camera;
}

SimCamera::SimCamera() : d(new State) {}
SimCamera::~SimCamera() = default;

bool SimCamera::configure(const std::string&) { return true; }
void SimCamera::reset() {}
void SimCamera::setPresent(bool) {}
bool SimCamera::isPresent() const { return false; }
void SimCamera::setPartNumber(const std::string&) {}
std::string SimCamera::partNumber() const { return {}; }
void SimCamera::setSerialNumber(const std::string&) {}
std::string SimCamera::serialNumber() const { return {}; }
void SimCamera::setSoftwareVersion(const std::string&) {}
std::string SimCamera::softwareVersion() const { return std::string(32, '\0'); }
void SimCamera::setCapabilities(bool, bool) {}
std::vector<uint8_t> SimCamera::capabilityBlock() const { return std::vector<uint8_t>(128, 0); }
void SimCamera::setStreamFormatQuery(bool) {}
void SimCamera::setImageWidth(int) {}
void SimCamera::setFrameRate(double) {}
void SimCamera::setHotTemperature(float) {}
void SimCamera::setSceneSettings(const SimSceneSettings&) {}
SimSceneSettings SimCamera::sceneSettings() const { return {}; }
void SimCamera::setSceneTime(double) {}
void SimCamera::setSeed(uint32_t) {}
void SimCamera::failNext(SimFault, int, int) {}
void SimCamera::setFaultShare(SimFault, double, int) {}
void SimCamera::clearFaults() {}
void SimCamera::setSlowReplyMs(int) {}
void SimCamera::setRestartDurationMs(int) {}
void SimCamera::setInstallDurationMs(int) {}
void SimCamera::setShutterPauseMs(int) {}
void SimCamera::unplug() {}
void SimCamera::replug() {}
int SimCamera::addHotplugListener(std::function<void(bool)>) { return 0; }
void SimCamera::removeHotplugListener(int) {}
uint64_t SimCamera::commandCount() const { return 0; }
uint64_t SimCamera::commandCount(uint8_t, int) const { return 0; }
SimCommandRecord SimCamera::lastCommand() const { return {}; }
std::vector<SimCommandRecord> SimCamera::commandLog() const { return {}; }
void SimCamera::clearCommandLog() {}
uint64_t SimCamera::protocolErrorCount() const { return 0; }
std::string SimCamera::lastProtocolError() const { return {}; }
std::vector<SimBadPixel> SimCamera::badPixels() const { return {}; }
std::vector<int> SimCamera::badColumns() const { return {}; }
std::vector<SimBadPixel> SimCamera::savedBadPixels() const { return {}; }
std::vector<int> SimCamera::savedBadColumns() const { return {}; }
void SimCamera::setBadPixels(const std::vector<SimBadPixel>&) {}
void SimCamera::setBadColumns(const std::vector<int>&) {}
std::vector<SimBadPixel> SimCamera::stuckPixels() const { return {}; }
int SimCamera::deadColumn() const { return -1; }
bool SimCamera::isOpen() const { return false; }
bool SimCamera::isStreaming() const { return false; }
bool SimCamera::isSleeping() const { return false; }
int SimCamera::workMode() const { return 4; }
int SimCamera::gainMode() const { return 0; }
int SimCamera::autoGain() const { return 1; }
int SimCamera::colorization() const { return 0; }
int SimCamera::sharpness() const { return 0; }
int SimCamera::superResMode() const { return 0; }
int SimCamera::usbMode() const { return 0; }
void SimCamera::lowTempGear(int& nGear, int& nAuto) const { nGear = 0; nAuto = 0; }
int SimCamera::restartCount() const { return 0; }
int SimCamera::installCount() const { return 0; }
int SimCamera::installProgress() const { return 0; }
std::vector<uint8_t> SimCamera::receivedImage() const { return {}; }
SimStreamLayout SimCamera::streamLayout() const { return {}; }
void SimCamera::lastInitStreamSize(int& nWidth, int& nHeight) const { nWidth = nHeight = 0; }
uint64_t SimCamera::frameNumber() const { return 0; }
SimMeasurement SimCamera::lastMeasurement() const { return {}; }
void SimCamera::setStreamPaused(bool) {}
int SimCamera::deliverFrameNow() { return -2; }
int SimCamera::deliverRawFrame(const unsigned char*, int, int, int) { return -2; }
int SimCamera::pendingReplyFrames() const { return 0; }
void SimCamera::flushReplies() {}

bool SimCamera::libGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    if (pnCount)
        *pnCount = 0;
    if (pList)
        pList[0].nCamID = -1;
    return false;
}
bool SimCamera::libOpenUSBCam(UsbDeviceRecord*) { return false; }
int SimCamera::libInitUSBCam(UsbDeviceRecord*, int, int, int, int, int) { return -1; }
int SimCamera::libRegisterUSBStreamCallBack(int, UsbStreamCallback, void*) { return -1; }
bool SimCamera::libSendDeviceData(int, unsigned char*, int32_t*, int) { return false; }
bool SimCamera::libRecvDeviceData(int, unsigned char*, int32_t*, int) { return false; }
void SimCamera::libCloseUSBStreaming(int) {}
void SimCamera::libCloseUSBCam(int) {}
void SimCamera::libUinitUSBCam() {}
