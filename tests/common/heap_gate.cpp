#include "tests/common/heap_gate.h"

#include <gtest/gtest.h>

#include "common/heap_check.h"

namespace testsupport {

void ExpectSoundHeaps() {
    HANDLE first = nullptr;
    const DWORD corrupt = velto1::CountCorruptHeaps(&first);
    EXPECT_EQ(corrupt, 0u) << "heap check: corrupt heap(s) of this process, the first at " << first
                           << " (a write past a block or into a freed one)";
}

}  // namespace testsupport
