// Reads resource data (dialog templates, menus, tables) field by field; every
// read checks that it stays inside the resource.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

class TemplateReader {
  public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    // A field of type T; 0 once a read would have gone past the end.
    template <typename T>
    T Read() {
        T value{};
        overrun_ = overrun_ || offset_ + sizeof value > size_;
        if (!overrun_) {
            std::memcpy(&value, data_ + offset_, sizeof value);
            offset_ += sizeof value;
        }
        return value;
    }
    // A UTF-16 string up to its terminating 0.
    std::wstring String() {
        std::wstring text;
        while (const WORD unit = Read<WORD>()) {
            text.push_back(static_cast<wchar_t>(unit));
        }
        return text;
    }
    // A name-or-ordinal field: "#n" for an ordinal, "" for none, else the name.
    std::wstring NameOrOrdinal() {
        const WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            return L"#" + std::to_wstring(Read<WORD>());
        }
        return first ? static_cast<wchar_t>(first) + String() : L"";
    }
    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t{3}; }

  private:
    const BYTE* data_;
    size_t size_;
    size_t offset_ = 0;
    bool overrun_ = false;
};
