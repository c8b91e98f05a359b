// The main of every test binary: GoogleTest and GoogleMock, with the heap gate
// (tests/common/heap_gate.h): after each test every heap of the process is
// validated, and a corrupt one fails that test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/common/heap_gate.h"

namespace {

class HeapGate : public testing::EmptyTestEventListener {
    // GoogleTest tells the end of a test to the listeners in reverse order, so
    // this one runs before the printer: a failure added here is the test's own.
    void OnTestEnd(const testing::TestInfo&) override { testsupport::ExpectSoundHeaps(); }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new HeapGate);
    return RUN_ALL_TESTS();
}
