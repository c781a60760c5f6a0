#include "platform/simcam/SimCameraLibrary.h"

#include "platform/simcam/SimCamera.h"

namespace {

bool simGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    return SimCamera::instance().libGetUsbDeviceNum(pnCount, pList);
}

bool simOpenUSBCam(UsbDeviceRecord* pDevice) { return SimCamera::instance().libOpenUSBCam(pDevice); }

int simInitUSBCam(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int nArg1, int nArg2, int nArg3)
{
    return SimCamera::instance().libInitUSBCam(pDevice, nStreamWidth, nStreamHeight, nArg1, nArg2, nArg3);
}

int simRegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser)
{
    return SimCamera::instance().libRegisterUSBStreamCallBack(nCamID, pfnCallback, pUser);
}

bool simSendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    return SimCamera::instance().libSendDeviceData(nCamID, pData, pnLength, nTimeoutMs);
}

bool simRecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    return SimCamera::instance().libRecvDeviceData(nCamID, pData, pnLength, nTimeoutMs);
}

void simCloseUSBStreaming(int nCamID) { SimCamera::instance().libCloseUSBStreaming(nCamID); }
void simCloseUSBCam(int nCamID) { SimCamera::instance().libCloseUSBCam(nCamID); }
void simUinitUSBCam() { SimCamera::instance().libUinitUSBCam(); }

const CameraLibraryApi kSimApi = {
    simGetUsbDeviceNum,   simOpenUSBCam,  simInitUSBCam,  simRegisterUSBStreamCallBack,
    simSendDeviceData,    simRecvDeviceData, simCloseUSBStreaming, simCloseUSBCam,
    simUinitUSBCam,
};

} // namespace

const CameraLibraryApi& simCameraLibraryApi() { return kSimApi; }
