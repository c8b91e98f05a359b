// The main of every test binary: GoogleTest and GoogleMock, with the heap gate
// (tests/common/heap_gate.h): after each test every heap of the process is
// validated, and a corrupt one fails that test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "tests/common/heap_gate.h"

namespace {

// A test that crashes says where, in the output CTest shows: the printer's
// output is unbuffered, and the crash's code and address are printed.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "crash: exception 0x%08lX at %p in %s.%s\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                 exception->ExceptionRecord->ExceptionAddress,
                 test ? test->test_suite_name() : "(no test)", test ? test->name() : "");
    std::fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

class HeapGate : public testing::EmptyTestEventListener {
    // GoogleTest tells the end of a test to the listeners in reverse order, so
    // this one runs before the printer: a failure added here is the test's own.
    void OnTestEnd(const testing::TestInfo&) override { testsupport::ExpectSoundHeaps(); }
};

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SetUnhandledExceptionFilter(ReportCrash);
    testing::InitGoogleMock(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new HeapGate);
    return RUN_ALL_TESTS();
}
