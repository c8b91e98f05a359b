#include "tests/common/heap_gate.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/heap_check.h"

namespace testsupport {

void ExpectSoundHeaps() {
    const std::vector<HANDLE> corrupt = velto1::CorruptHeaps();
    if (!corrupt.empty()) {
        std::ostringstream heaps;
        for (HANDLE heap : corrupt) {
            heaps << ' ' << heap;
        }
        ADD_FAILURE() << "heap check: corrupt heap(s) of this process:" << heaps.str()
                      << " (a write past a block or into a freed one)";
    }
}

}  // namespace testsupport
