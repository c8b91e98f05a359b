// The tests' heap gate: memory errors fail the test that made them. Every
// test binary's main (test_main.cpp) checks the heaps after each test;
// RunProcess fails the test when a program it started ends with an exception
// code, which is how a program ends that finds its heap corrupt at exit
// (common/heap_check_at_exit.cpp) or that a heap checker made crash.
#pragma once

#include <windows.h>

namespace testsupport {

// Fails the running test (a non-fatal failure) when a heap of this process is
// corrupt, saying how many are and where the first is.
void ExpectSoundHeaps();

// Whether a program's exit code is an exception code (an NTSTATUS of error
// severity, such as 0xC0000005 or 0xC0000374): the program crashed or was
// stopped by a check rather than ending on its own.
inline bool IsExceptionCode(DWORD exitCode) {
    return (exitCode & 0xF0000000) == 0xC0000000;
}

}  // namespace testsupport
