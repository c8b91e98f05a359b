// The security descriptor call of common/shared_objects.h: any descriptor does here.
#pragma once

#include <windows.h>

#define SDDL_REVISION_1 1
inline BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(const wchar_t*, DWORD,
                                                                 PSECURITY_DESCRIPTOR* descriptor,
                                                                 ULONG*) {
    *descriptor = std::malloc(1);
    return TRUE;
}
