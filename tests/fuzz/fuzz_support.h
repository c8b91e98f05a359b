// What the fuzz targets share: the input read as numbers, bytes and words,
// buffers of an exact size on the heap (AddressSanitizer sees a byte past
// either end), and a file holding the input for the readers that open one.
#pragma once

#include <windows.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/console_text.h"

namespace fuzz {

// Any failed check is a finding: abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The input consumed from the front; once it runs out every read gives zeros.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    BYTE Byte() { return at_ < size_ ? data_[at_++] : 0; }
    WORD Word16() { return static_cast<WORD>(Byte() | Byte() << 8); }
    DWORD Dword() { return Word16() | static_cast<DWORD>(Word16()) << 16; }
    std::string Bytes(size_t count) {
        const size_t take = std::min(count, size_ - std::min(at_, size_));
        std::string bytes(reinterpret_cast<const char*>(data_) + std::min(at_, size_), take);
        at_ += take;
        return bytes;
    }
    std::string Rest() { return Bytes(size_); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

inline std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A command line's words: one a line of the input, as UTF-8.
inline std::vector<std::wstring> Words(const std::string& text) {
    std::vector<std::wstring> words;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        words.push_back(velto1::WidenUtf8(text.substr(start, end - start)));
        start = end + 1;
    }
    return words;
}

// count bytes on the heap and not one more.
class ExactBuffer {
  public:
    explicit ExactBuffer(size_t count, BYTE fill = 0) : bytes_(new BYTE[count]), count_(count) {
        std::fill_n(bytes_.get(), count, fill);
    }
    BYTE* Data() { return bytes_.get(); }
    size_t Size() const { return count_; }

  private:
    std::unique_ptr<BYTE[]> bytes_;
    size_t count_;
};

// A file of this process holding text, for the readers that take a path;
// removed when the process ends.
inline std::wstring FileHolding(const std::string& text) {
    static const struct Path {
        std::string name = "/tmp/velto1-fuzz-" + std::to_string(getpid());
        ~Path() { unlink(name.c_str()); }
    } path;
    FILE* file = std::fopen(path.name.c_str(), "wb");
    FUZZ_CHECK(file && std::fwrite(text.data(), 1, text.size(), file) == text.size());
    std::fclose(file);
    return velto1::WidenUtf8(path.name);
}

}  // namespace fuzz
