// The hexadecimal and decimal readers: no input reads out of bounds, and a
// number shown by HexText reads back as itself.
#include "common/hex_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const DWORD most = input.Dword();
    const size_t byteCount = input.Byte();
    const std::string text = input.Rest();
    DWORD value = 0;
    if (velto1::ParseHexNumber(text, most, &value)) {
        FUZZ_CHECK(value <= most);
        DWORD again = 0;
        FUZZ_CHECK(velto1::ParseHexNumber(velto1::HexText(value, 1), most, &again) &&
                   again == value);
    }
    if (velto1::ParseDecimalNumber(text, most, &value)) {
        FUZZ_CHECK(value <= most && std::to_string(value).size() <= text.size());
    }
    velto1::ParseHexOrDecimalNumber(text, most, &value);
    std::vector<BYTE> bytes;
    if (velto1::ParseHexBytes(text, byteCount, &bytes)) {
        FUZZ_CHECK(bytes.size() == byteCount);
    }
    std::string ascii;
    const std::wstring wide = velto1::WidenUtf8(text);
    velto1::AsciiOf(wide, &ascii);
    FUZZ_CHECK(velto1::Quoted(wide).size() <= 45);
    return 0;
}
