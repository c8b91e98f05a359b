// A buffer handed to the library or the driver, between guard bytes on the
// heap: a write or read past either end changes or meets the guards, and
// IntactGuards tells. The payload starts filled with a pattern of its own.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace testsupport {

class GuardedBuffer {
  public:
    static constexpr size_t kGuardBytes = 64;
    static constexpr BYTE kGuard = 0xA5;
    static constexpr BYTE kPayload = 0x5A;

    explicit GuardedBuffer(size_t size)
        : size_(size), block_(kGuardBytes + size + kGuardBytes, kGuard) {
        std::fill_n(Data(), size, kPayload);
    }
    BYTE* Data() { return block_.data() + kGuardBytes; }
    size_t Size() const { return size_; }
    BYTE operator[](size_t i) const { return block_[kGuardBytes + i]; }

    // True when every guard byte on both sides still holds its value.
    bool IntactGuards() const {
        auto guard = [](BYTE b) { return b == kGuard; };
        return std::all_of(block_.begin(), block_.begin() + kGuardBytes, guard) &&
               std::all_of(block_.end() - kGuardBytes, block_.end(), guard);
    }

  private:
    size_t size_;
    std::vector<BYTE> block_;
};

}  // namespace testsupport
