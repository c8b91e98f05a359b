// Heap checking: the heaps of this process that fail validation, for the
// tests' heap gate and for the programs the tests start.
#pragma once

#include <windows.h>

#include <vector>

namespace velto1 {

// Set to 1 in the environment of every run under test (scripts/wine-env.sh,
// and CTest's environment on Windows): the programs then validate their heaps
// as they exit.
constexpr wchar_t kHeapCheckVariable[] = L"VELTO1_HEAP_CHECK";

// What a program that finds its heap corrupt ends with, as Windows does when
// its own heap checks find corruption.
constexpr DWORD kStatusHeapCorruption = 0xC0000374;

// The heaps of this process that HeapValidate finds corrupt: block headers
// always, and under a heap checker (Wine's warn+heap, Windows' page heap) the
// bytes past each block and the fill of freed blocks. Empty when all are sound.
inline std::vector<HANDLE> CorruptHeaps() {
    std::vector<HANDLE> heaps;
    DWORD count = GetProcessHeaps(0, nullptr);
    do {  // a heap may be made between the two calls
        heaps.resize(count + 8);
        count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    } while (count > heaps.size());
    heaps.resize(count);
    std::vector<HANDLE> corrupt;
    corrupt.reserve(heaps.size());  // no allocation while the heaps are walked
    for (HANDLE heap : heaps) {
        if (!HeapValidate(heap, 0, nullptr)) {
            corrupt.push_back(heap);
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
