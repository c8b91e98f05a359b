// Negative control of the heap gate: follows a pointer read from a freed heap
// block, and exits 0 when that went unnoticed. Without heap checking the freed
// block still holds a pointer into the heap and the read goes through; with
// it, the freed block is filled with 0xFEEEFEEE and the read faults.
#include <cstdio>

namespace {
struct Node {
    const char* text;
    char payload[24];
};
Node* volatile stale;
}  // namespace

int main() {
    stale = new Node{"used after free", {}};
    delete stale;
    std::printf("read through a freed block: %d\n", *stale->text);
    return 0;
}
