// The texts the user sees, written with escapes so that they do not depend on
// the compiler's reading of the source encoding.
#pragma once

#define UPDATE_TITLE L"\u30E9\u30D4\u30B3(\u6620\u50CF\u7248)\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8"
#define DEVICE_NOT_FOUND \
    L"\u30C7\u30D0\u30A4\u30B9\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093\u3002"
#define WRITE_FAILED                                                                        \
    L"\u4E0D\u660E\u306A\u30A8\u30E9\u30FC\u306B\u3088\u308A\u66F8\u8FBC\u307F\u306B\u5931" \
    L"\u6557\u3057\u307E\u3057\u305F\u3002"

constexpr const wchar_t* kUpdateTitle = UPDATE_TITLE;
constexpr const wchar_t* kW001 = L"W001:" DEVICE_NOT_FOUND;
constexpr const wchar_t* kW002 = L"W002:" DEVICE_NOT_FOUND;
constexpr const wchar_t* kE001 = L"E001:" WRITE_FAILED;
constexpr const wchar_t* kE002 = L"E002:" WRITE_FAILED;
constexpr const wchar_t* kE003 = L"E003:" WRITE_FAILED;
constexpr const wchar_t* kE004 = L"E004:" WRITE_FAILED;
constexpr const wchar_t* kE005 = L"E005:" WRITE_FAILED;
constexpr const wchar_t* kCompleted =
    L"\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u304C\u5B8C\u4E86\u3057\u307E\u3057\u305F\u3002";
constexpr const wchar_t* kAlreadyUpdated =
    L"\u30C7\u30D0\u30A4\u30B9\u306F\u65E2\u306B\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u6E08\u307F"
    L"\u3067\u3059\u3002";
constexpr const wchar_t* kAllUpdateMessages[] = {kW001, kW002, kE001,      kE002,          kE003,
                                                 kE004, kE005, kCompleted, kAlreadyUpdated};

// Dialog 102's static texts.
constexpr const wchar_t* kIntroduction =
    L"\u672C\u30D7\u30ED\u30B0\u30E9\u30E0\u306F\u3001\u4EE5\u4E0B\u306E\u88FD\u54C1\u306E\u30A2"
    L"\u30C3\u30D7\u30C7\u30FC\u30C8\u3092\u884C\u3044\u307E\u3059\u3002";
constexpr const wchar_t* kQuestion =
    L"\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u3092\u5B9F\u884C\u3057\u307E\u3059\u304B\uFF1F";
