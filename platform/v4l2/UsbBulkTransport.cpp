#include "platform/v4l2/UsbBulkTransport.h"

#include <cstdio>
#include <libusb-1.0/libusb.h>

namespace {

std::string usbPath(int nBus, int nAddress)
{
    char sz[40];
    std::snprintf(sz, sizeof(sz), "/dev/bus/usb/%03d/%03d", nBus, nAddress);
    return sz;
}

std::string usbErrorText(const std::string& path, int nError)
{
    switch (nError) {
    case LIBUSB_ERROR_ACCESS:
        return "permission denied on " + path
               + " (the camera's command interface): install the udev rule that \"thermava-cli devices\" prints,"
                 " then unplug and replug the camera";
    case LIBUSB_ERROR_BUSY:
        return "camera in use by another program (" + path + ": its command interface is claimed)";
    case LIBUSB_ERROR_NO_DEVICE:
        return path + " is gone: the camera was unplugged";
    default:
        return path + ": " + libusb_strerror(libusb_error(nError));
    }
}

} // namespace

std::unique_ptr<UsbBulkTransport> UsbBulkTransport::open(int nBus, int nAddress, int nInterface, int nEndpointOut,
                                                         int nEndpointIn, std::string* pError)
{
    std::unique_ptr<UsbBulkTransport> t(new UsbBulkTransport());
    t->m_path = usbPath(nBus, nAddress);
    t->m_nInterface = nInterface;
    t->m_nEndpointOut = nEndpointOut;
    t->m_nEndpointIn = nEndpointIn;
    auto fail = [&](const std::string& reason) {
        if (pError)
            *pError = reason;
        return nullptr;
    };
    if (libusb_init(&t->m_pContext) != 0) {
        t->m_pContext = nullptr;
        return fail("USB access is unavailable (libusb could not start)");
    }
    libusb_device** ppList = nullptr;
    const ssize_t nCount = libusb_get_device_list(t->m_pContext, &ppList);
    libusb_device* pDevice = nullptr;
    for (ssize_t i = 0; i < nCount; ++i) {
        if (libusb_get_bus_number(ppList[i]) == nBus && libusb_get_device_address(ppList[i]) == nAddress) {
            pDevice = libusb_ref_device(ppList[i]);
            break;
        }
    }
    if (nCount >= 0)
        libusb_free_device_list(ppList, 1);
    if (!pDevice)
        return fail(t->m_path + " is gone: the camera was unplugged");
    const int nOpen = libusb_open(pDevice, &t->m_pHandle);
    libusb_unref_device(pDevice);
    if (nOpen != 0) {
        t->m_pHandle = nullptr;
        return fail(usbErrorText(t->m_path, nOpen));
    }
    // Only the command interface leaves its kernel driver; the video interfaces keep theirs.
    if (libusb_kernel_driver_active(t->m_pHandle, nInterface) == 1) {
        const int nDetach = libusb_detach_kernel_driver(t->m_pHandle, nInterface);
        if (nDetach != 0)
            return fail(usbErrorText(t->m_path, nDetach));
        t->m_bDetached = true;
    }
    const int nClaim = libusb_claim_interface(t->m_pHandle, nInterface);
    if (nClaim != 0)
        return fail(usbErrorText(t->m_path, nClaim));
    t->m_nInterface = nInterface;
    return t;
}

UsbBulkTransport::~UsbBulkTransport()
{
    if (m_pHandle) {
        libusb_release_interface(m_pHandle, m_nInterface);
        if (m_bDetached)
            libusb_attach_kernel_driver(m_pHandle, m_nInterface);
        libusb_close(m_pHandle);
    }
    if (m_pContext)
        libusb_exit(m_pContext);
}

bool UsbBulkTransport::transfer(int nEndpoint, uint8_t* pData, int32_t* pnLength, int nTimeoutMs)
{
    int nDone = 0;
    // libusb reads a time-out of 0 as "wait for ever"; the link never means that.
    const unsigned nTimeout = unsigned(nTimeoutMs > 0 ? nTimeoutMs : 1);
    const int r = libusb_bulk_transfer(m_pHandle, static_cast<unsigned char>(nEndpoint), pData, *pnLength, &nDone, nTimeout);
    *pnLength = nDone;
    if (r != 0) {
        m_lastError = r == LIBUSB_ERROR_TIMEOUT ? std::string() : usbErrorText(m_path, r);
        return false;
    }
    m_lastError.clear();
    return true;
}

bool UsbBulkTransport::send(const uint8_t* pData, int32_t* pnLength, int nTimeoutMs)
{
    const int32_t nWanted = *pnLength;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    if (!transfer(m_nEndpointOut, const_cast<uint8_t*>(pData), pnLength, nTimeoutMs))
        return false;
    return *pnLength == nWanted;
}

bool UsbBulkTransport::recv(uint8_t* pData, int32_t* pnLength, int nTimeoutMs)
{
    return transfer(m_nEndpointIn, pData, pnLength, nTimeoutMs);
}
