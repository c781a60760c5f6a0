#pragma once
// Reads what the camera's USB descriptors (the kernel's sysfs `descriptors` file: the device
// descriptor, then the configuration with all its interface, endpoint and class-specific
// descriptors) offer for carrying vendor commands: a vendor-specific interface with a bulk
// pair, and UVC extension units in the VideoControl interface.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct UsbVendorBulkInterface
{
    int nInterface = -1;
    int nEndpointOut = -1;   // endpoint address, bit 7 clear
    int nEndpointIn = -1;    // endpoint address, bit 7 set
};

struct UvcExtensionUnit
{
    int nUnitId = 0;
    uint8_t guid[16]{};
    std::vector<int> selectors;   // control selectors whose bmControls bit is set (bit i: i + 1)
    std::string guidText() const; // in the usual 8-4-4-4-12 form
};

struct UsbDescriptorSummary
{
    bool bValid = false;          // a device descriptor and a configuration were found
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    int nVideoControlInterface = -1;
    bool bVideoStreaming = false;
    // Vendor-specific interfaces (class 0xFF, first alternate setting) that have one bulk OUT
    // and one bulk IN endpoint.
    std::vector<UsbVendorBulkInterface> vendorBulk;
    std::vector<UvcExtensionUnit> extensionUnits;
};

// Never reads past nLength; a truncated or malformed descriptor ends the walk, keeping what
// was complete before it.
UsbDescriptorSummary parseUsbDescriptors(const uint8_t* pData, size_t nLength);
