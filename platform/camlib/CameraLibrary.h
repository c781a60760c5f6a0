#pragma once
// The camera library's operations, reached only through this table so that another library
// (the vendor's, a recorded-stream player) can be bound instead of the simulated camera
// without touching the camera link.

#include <cstdint>

// One attached camera as the library describes it: 276 bytes, of which the program reads
// only nCamID (-1: no camera); the rest is carried unchanged.
struct UsbDeviceRecord
{
    int32_t nCamID;
    uint8_t reserved[272];
};
static_assert(sizeof(UsbDeviceRecord) == 276, "device record is 276 bytes");

constexpr int kUsbDeviceListSize = 64;   // records in one enumeration list

// Stream callback: two integers (only their signs are looked at), the frame bytes, their
// length, and the user pointer given at registration. Returns -1 for a refused frame.
using UsbStreamCallback = int (*)(int nArg1, int nArg2, unsigned char* pFrame, int nLength, void* pUser);

struct CameraLibraryApi
{
    // True when at least one camera was found; record 0 of the list is then the one to open.
    bool (*GetUsbDeviceNum)(int32_t* pnCount, UsbDeviceRecord* pList);
    bool (*OpenUSBCam)(UsbDeviceRecord* pDevice);
    // 0 means success.
    int (*InitUSBCam)(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int nArg1, int nArg2, int nArg3);
    // -1 means failure.
    int (*RegisterUSBStreamCallBack)(int nCamID, UsbStreamCallback pfnCallback, void* pUser);
    // pnLength in: bytes to send / room; out: bytes sent / received.
    bool (*SendDeviceData)(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs);
    bool (*RecvDeviceData)(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs);
    void (*CloseUSBStreaming)(int nCamID);
    void (*CloseUSBCam)(int nCamID);
    void (*UinitUSBCam)();
};

// The library the link uses. Defaults to the simulated camera.
const CameraLibraryApi& cameraLibrary();
// Binds another library (null restores the simulated camera). Call before the first connect.
void setCameraLibrary(const CameraLibraryApi* pApi);
