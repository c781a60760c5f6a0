// libusb-1.0 as the host sees the emulated camera through it: one device on bus 1, port 2,
// whose vendor interface (transport=bulk) carries the command channel in bulk transfers.
// Only the emulated device is listed; real USB devices are out of sight while the library is
// preloaded.

#include "tests/fakecam/FakeCam.h"

#include <libusb-1.0/libusb.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

struct libusb_context
{
    int nUnused = 0;
};

struct libusb_device
{
    std::atomic<int> nRefs{1};
    uint64_t nGeneration = 0;   // the bus session it was listed in
};

struct libusb_device_handle
{
    libusb_device* pDevice = nullptr;
    uint64_t nGeneration = 0;
    bool bClaimed = false;
};

using namespace fakecam;

namespace {

libusb_context g_defaultContext;

// The configuration descriptor laid out as libusb's structures, in one allocation with its
// interfaces, alternate settings and endpoints; class-specific descriptors go to `extra`.
struct ParsedConfig
{
    libusb_config_descriptor config{};
    std::vector<uint8_t> bytes;
    std::vector<libusb_interface> interfaces;
    std::vector<libusb_interface_descriptor> alts;
    std::vector<libusb_endpoint_descriptor> endpoints;
};

ParsedConfig* parseConfig(const std::vector<uint8_t>& all)
{
    auto* p = new (std::nothrow) ParsedConfig;
    if (!p)
        return nullptr;
    p->bytes.assign(all.begin() + 18, all.end());
    const std::vector<uint8_t>& b = p->bytes;
    std::memcpy(&p->config, b.data(), 9);   // bLength..MaxPower have the wire's layout
    p->config.wTotalLength = uint16_t(b[2] | b[3] << 8);
    // First pass counts, so the vectors never move while pointers into them are taken.
    size_t nAlts = 0, nEps = 0;
    for (size_t i = 9; i + 1 < b.size(); i += b[i])
        nAlts += b[i + 1] == LIBUSB_DT_INTERFACE, nEps += b[i + 1] == LIBUSB_DT_ENDPOINT;
    p->alts.reserve(nAlts);
    p->endpoints.reserve(nEps);
    const unsigned char** ppExtra = &p->config.extra;
    int* pnExtra = &p->config.extra_length;
    for (size_t i = 9; i + 1 < b.size() && b[i] > 0; i += b[i]) {
        const uint8_t* d = &b[i];
        if (d[1] == LIBUSB_DT_INTERFACE) {
            libusb_interface_descriptor a{};
            std::memcpy(&a, d, 9);
            p->alts.push_back(a);
            ppExtra = &p->alts.back().extra;
            pnExtra = &p->alts.back().extra_length;
        } else if (d[1] == LIBUSB_DT_ENDPOINT) {
            libusb_endpoint_descriptor e{};
            e.bLength = d[0], e.bDescriptorType = d[1], e.bEndpointAddress = d[2], e.bmAttributes = d[3];
            e.wMaxPacketSize = uint16_t(d[4] | d[5] << 8), e.bInterval = d[6];
            p->endpoints.push_back(e);
            if (!p->alts.back().endpoint)
                p->alts.back().endpoint = &p->endpoints.back();
            ppExtra = &p->endpoints.back().extra;
            pnExtra = &p->endpoints.back().extra_length;
        } else {
            if (!*ppExtra)
                *ppExtra = d;
            *pnExtra += d[0];
        }
    }
    p->interfaces.resize(p->config.bNumInterfaces);
    for (libusb_interface_descriptor& a : p->alts) {
        libusb_interface& itf = p->interfaces[a.bInterfaceNumber];
        if (!itf.altsetting)
            itf.altsetting = &a;
        ++itf.num_altsetting;
    }
    p->config.interface = p->interfaces.data();
    return p;
}

bool aliveHandle(const libusb_device_handle* h) { return h && alive(h->nGeneration); }

} // namespace

// The library is built with hidden symbols; these are what it exists to export.
#pragma GCC visibility push(default)
extern "C" {

int libusb_init(libusb_context** ppCtx)
{
    if (ppCtx)
        *ppCtx = new libusb_context;
    return LIBUSB_SUCCESS;
}

void libusb_exit(libusb_context* pCtx)
{
    if (pCtx != &g_defaultContext)
        delete pCtx;
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** pppList)
{
    const bool bPresent = present();
    auto** list = new libusb_device*[2]();
    if (bPresent) {
        // A device listed now belongs to the bus session now: it dies when the camera leaves.
        list[0] = new libusb_device;
        list[0]->nGeneration = generation();
    }
    *pppList = list;
    return bPresent ? 1 : 0;
}

libusb_device* libusb_ref_device(libusb_device* pDev)
{
    ++pDev->nRefs;
    return pDev;
}

void libusb_unref_device(libusb_device* pDev)
{
    if (pDev && --pDev->nRefs == 0)
        delete pDev;
}

void libusb_free_device_list(libusb_device** ppList, int bUnref)
{
    if (!ppList)
        return;
    for (libusb_device** p = ppList; bUnref && *p; ++p)
        libusb_unref_device(*p);
    delete[] ppList;
}

uint8_t libusb_get_bus_number(libusb_device*) { return kBusNumber; }
uint8_t libusb_get_port_number(libusb_device*) { return kPortNumber; }
uint8_t libusb_get_device_address(libusb_device*) { return uint8_t(deviceAddress()); }

int libusb_get_port_numbers(libusb_device*, uint8_t* pPorts, int nLength)
{
    if (nLength < 1)
        return LIBUSB_ERROR_OVERFLOW;
    pPorts[0] = kPortNumber;
    return 1;
}

int libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* pDesc)
{
    const std::vector<uint8_t> d = descriptors();
    pDesc->bLength = d[0], pDesc->bDescriptorType = d[1], pDesc->bcdUSB = uint16_t(d[2] | d[3] << 8);
    pDesc->bDeviceClass = d[4], pDesc->bDeviceSubClass = d[5], pDesc->bDeviceProtocol = d[6];
    pDesc->bMaxPacketSize0 = d[7];
    pDesc->idVendor = uint16_t(d[8] | d[9] << 8), pDesc->idProduct = uint16_t(d[10] | d[11] << 8);
    pDesc->bcdDevice = uint16_t(d[12] | d[13] << 8);
    pDesc->iManufacturer = d[14], pDesc->iProduct = d[15], pDesc->iSerialNumber = d[16];
    pDesc->bNumConfigurations = d[17];
    return LIBUSB_SUCCESS;
}

int libusb_get_active_config_descriptor(libusb_device*, libusb_config_descriptor** ppConfig)
{
    ParsedConfig* p = parseConfig(descriptors());
    if (!p)
        return LIBUSB_ERROR_NO_MEM;
    *ppConfig = &p->config;   // first member: freed through it below
    return LIBUSB_SUCCESS;
}

void libusb_free_config_descriptor(libusb_config_descriptor* pConfig)
{
    delete reinterpret_cast<ParsedConfig*>(pConfig);
}

int libusb_open(libusb_device* pDev, libusb_device_handle** ppHandle)
{
    if (switches().bNoPerm)
        return LIBUSB_ERROR_ACCESS;
    if (!alive(pDev->nGeneration))
        return LIBUSB_ERROR_NO_DEVICE;
    const uint64_t nGeneration = attachUser();
    if (nGeneration != pDev->nGeneration) {
        const bool bBusy = nGeneration == 0 && errno == EBUSY;
        detachUser(nGeneration);
        return bBusy ? LIBUSB_ERROR_BUSY : LIBUSB_ERROR_NO_DEVICE;
    }
    *ppHandle = new libusb_device_handle{libusb_ref_device(pDev), nGeneration, false};
    return LIBUSB_SUCCESS;
}

libusb_device* libusb_get_device(libusb_device_handle* pHandle) { return pHandle->pDevice; }

void libusb_close(libusb_device_handle* pHandle)
{
    if (!pHandle)
        return;
    detachUser(pHandle->nGeneration);
    libusb_unref_device(pHandle->pDevice);
    delete pHandle;
}

// uvcvideo holds the two video interfaces; nothing holds the vendor interface.
int libusb_kernel_driver_active(libusb_device_handle* pHandle, int nInterface)
{
    if (!aliveHandle(pHandle))
        return LIBUSB_ERROR_NO_DEVICE;
    return nInterface == 0 || nInterface == 1 ? 1 : 0;
}

int libusb_detach_kernel_driver(libusb_device_handle* pHandle, int nInterface)
{
    if (!aliveHandle(pHandle))
        return LIBUSB_ERROR_NO_DEVICE;
    if (nInterface == 0 || nInterface == 1) {
        // Taking the video interfaces from uvcvideo would end the picture: refuse loudly.
        std::fprintf(stderr, "fakecam: refused to detach uvcvideo from video interface %d\n", nInterface);
        return LIBUSB_ERROR_ACCESS;
    }
    return LIBUSB_ERROR_NOT_FOUND;   // no driver bound
}

int libusb_attach_kernel_driver(libusb_device_handle* pHandle, int)
{
    return aliveHandle(pHandle) ? LIBUSB_ERROR_NOT_FOUND : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) { return LIBUSB_SUCCESS; }

int libusb_claim_interface(libusb_device_handle* pHandle, int nInterface)
{
    if (!aliveHandle(pHandle))
        return LIBUSB_ERROR_NO_DEVICE;
    if (nInterface == 0 || nInterface == 1 || switches().bBusy)
        return LIBUSB_ERROR_BUSY;
    if (nInterface != kVendorInterface || switches().transport != Transport::Bulk)
        return LIBUSB_ERROR_NOT_FOUND;
    pHandle->bClaimed = true;
    return LIBUSB_SUCCESS;
}

int libusb_release_interface(libusb_device_handle* pHandle, int nInterface)
{
    if (!aliveHandle(pHandle))
        return LIBUSB_ERROR_NO_DEVICE;
    if (nInterface != kVendorInterface || !pHandle->bClaimed)
        return LIBUSB_ERROR_NOT_FOUND;
    pHandle->bClaimed = false;
    return LIBUSB_SUCCESS;
}

int libusb_bulk_transfer(libusb_device_handle* pHandle, unsigned char nEndpoint, unsigned char* pData, int nLength,
                         int* pnActual, unsigned int nTimeoutMs)
{
    if (pnActual)
        *pnActual = 0;
    if (!aliveHandle(pHandle))
        return LIBUSB_ERROR_NO_DEVICE;
    if (!pHandle->bClaimed || (nEndpoint != kBulkOut && nEndpoint != kBulkIn))
        return LIBUSB_ERROR_NOT_FOUND;
    if (nEndpoint == kBulkOut) {
        if (!sendToCamera(pData, nLength, int(nTimeoutMs)))
            return aliveHandle(pHandle) ? LIBUSB_ERROR_IO : LIBUSB_ERROR_NO_DEVICE;
        if (pnActual)
            *pnActual = nLength;
        return LIBUSB_SUCCESS;
    }
    // libusb's time-out 0 means "wait for ever".
    const int n = recvFromCamera(pData, nLength, nTimeoutMs == 0 ? 1 << 30 : int(nTimeoutMs));
    if (n < 0)
        return aliveHandle(pHandle) ? LIBUSB_ERROR_TIMEOUT : LIBUSB_ERROR_NO_DEVICE;
    if (pnActual)
        *pnActual = n;
    return LIBUSB_SUCCESS;
}

// For a test running inside the emulated world (found with dlsym): the camera is pulled out now.
void thermava_fakecam_unplug() { unplugNow(); }

const char* libusb_error_name(int nError)
{
    switch (nError) {
    case LIBUSB_SUCCESS: return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO: return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM: return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS: return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE: return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND: return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY: return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT: return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW: return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_NO_MEM: return "LIBUSB_ERROR_NO_MEM";
    default: return "LIBUSB_ERROR_OTHER";
    }
}

const char* libusb_strerror(int nError)
{
    switch (nError) {
    case LIBUSB_SUCCESS: return "Success";
    case LIBUSB_ERROR_IO: return "Input/Output Error";
    case LIBUSB_ERROR_INVALID_PARAM: return "Invalid parameter";
    case LIBUSB_ERROR_ACCESS: return "Access denied (insufficient permissions)";
    case LIBUSB_ERROR_NO_DEVICE: return "No such device (it may have been disconnected)";
    case LIBUSB_ERROR_NOT_FOUND: return "Entity not found";
    case LIBUSB_ERROR_BUSY: return "Resource busy";
    case LIBUSB_ERROR_TIMEOUT: return "Operation timed out";
    case LIBUSB_ERROR_OVERFLOW: return "Overflow";
    case LIBUSB_ERROR_NO_MEM: return "Insufficient memory";
    default: return "Other error";
    }
}

} // extern "C"
#pragma GCC visibility pop
