// Device categories of the system device enumerator that the library
// searches. The DirectShow ones come from the SDK's uuids; the two
// kernel-streaming ones are defined here because not every SDK's headers
// define them (MinGW's don't).
#pragma once

#include <windows.h>
#include <dshow.h>

#ifndef KSCATEGORY_BDA_RECEIVER_COMPONENT
// {FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}
inline constexpr GUID KSCATEGORY_BDA_RECEIVER_COMPONENT = {
    0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};
#endif

#ifndef KSCATEGORY_AUDIO
// {6994AD04-93EF-11D0-A3CC-00A0C9223196}
inline constexpr GUID KSCATEGORY_AUDIO = {
    0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
#endif
