// Registration of simdevice.dll as a COM server: the filter and property
// page classes and the filter's entry among the DirectShow filters, in the
// place registration_root.h names.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

// The server's COM classes and its filter entry. dllPath is the full path of
// simdevice.dll.
HRESULT RegisterServer(const std::wstring& dllPath);
// Removes the device instances, the filter entry and the COM classes.
HRESULT UnregisterServer();

}  // namespace sim
