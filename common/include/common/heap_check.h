// Heap checking: the heaps of this process that fail validation, for the
// tests' heap gate and for the programs the tests start.
#pragma once

#include <windows.h>

namespace velto1 {

// Set to 1 in the environment of every run under test (scripts/wine-env.sh,
// and CTest's environment on Windows): the programs then validate their heaps
// as they exit.
constexpr wchar_t kHeapCheckVariable[] = L"VELTO1_HEAP_CHECK";

// What a program that finds its heap corrupt ends with, as Windows does when
// its own heap checks find corruption.
constexpr DWORD kStatusHeapCorruption = 0xC0000374;

// How many heaps of this process HeapValidate finds corrupt (checking block
// headers always, and under a heap checker such as Wine's warn+heap or
// Windows' page heap the bytes past each block and the fill of freed blocks),
// the first of them in *first. No allocation, no exception: safe at exit.
inline DWORD CountCorruptHeaps(HANDLE* first = nullptr) {
    HANDLE heaps[256];  // a process has a few dozen at most
    const DWORD count = GetProcessHeaps(ARRAYSIZE(heaps), heaps);
    DWORD corrupt = 0;
    for (DWORD i = 0; i < count && i < ARRAYSIZE(heaps); ++i) {
        if (!HeapValidate(heaps[i], 0, nullptr) && corrupt++ == 0 && first) {
            *first = heaps[i];
        }
    }
    return corrupt;
}

// Whether the heap gate is on for this process (kHeapCheckVariable is "1").
inline bool HeapCheckRequested() {
    wchar_t value[2] = {};
    return GetEnvironmentVariableW(kHeapCheckVariable, value, 2) == 1 && value[0] == L'1';
}

}  // namespace velto1
