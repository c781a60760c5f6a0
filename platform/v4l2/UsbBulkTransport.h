#pragma once
// Command frames over a vendor-specific USB interface with one bulk OUT and one bulk IN
// endpoint, through libusb. Only that interface is claimed (its kernel driver, if any,
// detached and given back on close); the video interfaces stay with the kernel's driver.

#include "platform/v4l2/CommandTransport.h"

#include <memory>

struct libusb_context;
struct libusb_device_handle;

class UsbBulkTransport : public CommandTransport
{
public:
    // Opens the device at bus/address and claims nInterface. Null with *pError set otherwise.
    static std::unique_ptr<UsbBulkTransport> open(int nBus, int nAddress, int nInterface, int nEndpointOut,
                                                  int nEndpointIn, std::string* pError);
    ~UsbBulkTransport() override;

    const char* kind() const override { return "bulk"; }
    bool send(const uint8_t* pData, int32_t* pnLength, int nTimeoutMs) override;
    bool recv(uint8_t* pData, int32_t* pnLength, int nTimeoutMs) override;
    std::string lastError() const override { return m_lastError; }

private:
    UsbBulkTransport() = default;
    bool transfer(int nEndpoint, uint8_t* pData, int32_t* pnLength, int nTimeoutMs);

    libusb_context* m_pContext = nullptr;
    libusb_device_handle* m_pHandle = nullptr;
    int m_nInterface = -1;
    int m_nEndpointOut = -1;
    int m_nEndpointIn = -1;
    bool m_bDetached = false;
    std::string m_lastError;
    std::string m_path;   // /dev/bus/usb/BBB/DDD, for messages
};
