// Linked into every program that the tests start (velto1, the register
// console, chipctl, simdevctl, the autopilot): when the heap gate is on
// (velto1::kHeapCheckVariable), the program validates its heaps as it exits,
// after main returns and before the runtime ends the process. A corrupt heap
// is said on stderr and ends the program with STATUS_HEAP_CORRUPTION, so that
// the test that started it fails even when the damage never made it crash.
// A crash under the gate is said on stderr and ends the program at once with
// its exception code, without Wine's crash debugger: where 32-bit code runs
// under qemu, the debugger's start takes the process down with exit code 0.
// Without the variable nothing changes: a user's run never checks.
#include <windows.h>

#include "common/heap_check.h"

namespace {

void WriteToStderr(const char* text, DWORD length) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, nullptr);
}

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    // No formatted output: printf's implementation would double the size of a small program.
    char line[] = "crash: unhandled exception 0x00000000\n";
    char* digit = line + sizeof line - 3;
    for (DWORD rest = code; rest != 0; rest >>= 4) {
        *digit-- = "0123456789ABCDEF"[rest & 0xF];
    }
    WriteToStderr(line, sizeof line - 1);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct HeapCheckAtExit {
    // After the C runtime has set its own filter, which passes crashes on.
    HeapCheckAtExit() {
        if (velto1::HeapCheckRequested()) {
            SetUnhandledExceptionFilter(EndOnCrash);
        }
    }
    ~HeapCheckAtExit() {
        if (!velto1::HeapCheckRequested() || velto1::CountCorruptHeaps() == 0) {
            return;
        }
        static const char kLine[] = "heap check: a heap of this program is corrupt at exit\n";
        WriteToStderr(kLine, sizeof kLine - 1);
        TerminateProcess(GetCurrentProcess(), velto1::kStatusHeapCorruption);
    }
} heapCheckAtExit;

}  // namespace
