// Negative control of the heap gate: writes one byte past a 13-byte heap block
// that it keeps (as a program keeps a buffer it overran), and exits 0. Without
// heap checking the byte lands in the block's alignment padding and nothing
// notices; with it, the program's heap check at exit finds the block's tail
// overwritten.
#include <cstdio>

namespace {
constexpr int kSize = 13;
char* volatile kept;
}  // namespace

int main() {
    kept = new char[kSize]();
    kept[kSize] = 0x55;
    std::puts("wrote one byte past a 13-byte block");
    return 0;
}
