// Linked into every program that the tests start (velto1, the register
// console, chipctl, simdevctl, the autopilot): when the heap gate is on
// (velto1::kHeapCheckVariable), the program validates its heaps as it exits,
// after main returns and before the runtime ends the process. A corrupt heap
// is said on stderr and ends the program with STATUS_HEAP_CORRUPTION, so that
// the test that started it fails even when the damage never made it crash.
// Without the variable nothing changes: a user's run never checks.
#include <windows.h>

#include "common/heap_check.h"

namespace {

struct HeapCheckAtExit {
    ~HeapCheckAtExit() {
        if (!velto1::HeapCheckRequested() || velto1::CountCorruptHeaps() == 0) {
            return;
        }
        // No formatted output: printf's implementation would double the size of a small program.
        static const char kLine[] = "heap check: a heap of this program is corrupt at exit\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), kLine, sizeof kLine - 1, &written, nullptr);
        TerminateProcess(GetCurrentProcess(), velto1::kStatusHeapCorruption);
    }
} heapCheckAtExit;

}  // namespace
