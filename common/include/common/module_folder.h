// The file and folder of this executable or DLL, for files that ship beside it.
#pragma once

#include <windows.h>

#include <string>

namespace velto1 {

// The full path of the module that contains the given address, by default
// this function's own module; empty on failure. Paths longer than MAX_PATH
// are read whole.
inline std::wstring ModulePath(const void* addressInModule = nullptr) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(addressInModule ? addressInModule
                                                 : reinterpret_cast<const void*>(&ModulePath)),
            &module)) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

// The folder (with its trailing backslash) of the module that contains the
// given address, by default this function's own module; empty on failure.
inline std::wstring ModuleFolder(const void* addressInModule = nullptr) {
    const std::wstring path = ModulePath(
        addressInModule ? addressInModule : reinterpret_cast<const void*>(&ModuleFolder));
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace velto1
