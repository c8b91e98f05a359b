// Identifiers of the simulated device's COM server: the filter and property
// page classes, and the private interface through which the page reads the
// filter's state.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace sim {

// {C91E7EFC-3C8E-4846-80ED-F5AC950293F6}
inline constexpr CLSID CLSID_SimCaptureFilter = {
    0xC91E7EFC, 0x3C8E, 0x4846, {0x80, 0xED, 0xF5, 0xAC, 0x95, 0x02, 0x93, 0xF6}};
// {28AFB04E-035F-482D-962A-FC65300903B5}
inline constexpr CLSID CLSID_SimDevicePropertyPage = {
    0x28AFB04E, 0x035F, 0x482D, {0x96, 0x2A, 0xFC, 0x65, 0x30, 0x09, 0x03, 0xB5}};

// What the property page shows.
struct SimDeviceSnapshot {
    wchar_t id[128];  // the device instance
    wchar_t friendlyName[260];
    wchar_t eepromFile[MAX_PATH];
    DWORD chipId;
    DWORD chipConfig;
    DWORD boardConfig;
    BYTE optionByte;
    BYTE productMarker;
    BOOL offersCustomProperty;
    DWORD optionByteWrites;  // write transfers that stored the option byte since power-on
};

}  // namespace sim

// {E09FA1A9-B884-4E48-8187-EEA63441D540}
MIDL_INTERFACE("E09FA1A9-B884-4E48-8187-EEA63441D540")
ISimDeviceInfo : public IUnknown {
  public:
    virtual HRESULT STDMETHODCALLTYPE GetSnapshot(sim::SimDeviceSnapshot * snapshot) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ISimDeviceInfo, 0xe09fa1a9, 0xb884, 0x4e48, 0x81, 0x87, 0xee, 0xa6, 0x34, 0x41,
                0xd5, 0x40)
#endif
