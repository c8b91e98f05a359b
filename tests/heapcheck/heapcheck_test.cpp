// The heap gate's negative controls: a memory error must fail a checked run,
// in the test process (the heap check after each test) and in a program the
// test starts (its heap check at exit, or the heap checker's fault, reported
// by RunProcess). If heap checking is switched off, these tests fail.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>

#include "common/module_folder.h"
#include "tests/common/heap_gate.h"
#include "tests/common/run_process.h"

namespace {

constexpr int kSize = 13;  // its padding lies past it: a byte written there goes unseen unchecked

TEST(HeapGate, ByteWrittenPastABlockFailsTheTest) {
    char* volatile block = new char[kSize]();  // volatile: the compiler may not see the overrun
    volatile char* past = block + kSize;
    const char kept = *past;
    *past = 0x55;
    EXPECT_NONFATAL_FAILURE(testsupport::ExpectSoundHeaps(), "corrupt heap");
    *past = kept;  // as it was, so that the check after this test passes
    delete[] block;
}

testsupport::ProcessRun RunControl(const wchar_t* program) {
    return testsupport::RunProcess(velto1::ModuleFolder() + program, L"");
}

TEST(HeapGate, ByteWrittenPastABlockFailsAProgramRun) {
    testsupport::ProcessRun run;
    EXPECT_NONFATAL_FAILURE(run = RunControl(L"heap_overflow.exe"),
                            "ended with exception 0xC0000374");
    EXPECT_NE(run.output.find("heap check: a heap of this program is corrupt at exit"),
              std::string::npos)
        << run.output;
}

TEST(HeapGate, FreedBlockUsedFailsAProgramRun) {
    testsupport::ProcessRun run;
    // An access violation, 0xC0000005; under qemu the emulator may report the
    // fault as another exception, which fails the run all the same.
    EXPECT_NONFATAL_FAILURE(run = RunControl(L"use_after_free.exe"), "ended with exception 0xC");
    EXPECT_NE(run.output.find("crash: unhandled exception 0xC"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("read through a freed block"), std::string::npos) << run.output;
}

}  // namespace
