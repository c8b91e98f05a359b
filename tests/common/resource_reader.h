// Reads resource data (dialog templates, menus, tables) field by field; every
// read checks that it stays inside the resource.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

// Reads a resource from its start; every read checks that it stays inside.
class TemplateReader {
  public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Read() {
        T value{};
        if (Take(sizeof value)) {
            std::memcpy(&value, data_ + offset_ - sizeof value, sizeof value);
        }
        return value;
    }
    std::wstring String() {
        std::wstring text;
        for (WORD unit = Read<WORD>(); unit != 0 && !overrun_; unit = Read<WORD>()) {
            text.push_back(static_cast<wchar_t>(unit));
        }
        return text;
    }
    // A name-or-ordinal field: "#n" for an ordinal, "" for none, else the name.
    std::wstring NameOrOrdinal() {
        const WORD first = Read<WORD>();
        if (first == 0x0000) {
            return L"";
        }
        if (first == 0xFFFF) {
            return L"#" + std::to_wstring(Read<WORD>());
        }
        offset_ -= sizeof first;
        return String();
    }
    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t{3}; }
    size_t Offset() const { return offset_; }
    bool Overrun() const { return overrun_; }

  private:
    bool Take(size_t count) {
        if (offset_ + count > size_) {
            overrun_ = true;
            return false;
        }
        offset_ += count;
        return true;
    }
    const BYTE* data_;
    size_t size_;
    size_t offset_ = 0;
    bool overrun_ = false;
};
