// chipctl's argument reader, as its register and I2C commands use it: the
// first line of the input picks the largest number, the others are the words.
#include "fuzz_support.h"
#include "tools/chipctl/arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const DWORD most = input.Dword();
    const size_t byteCount = input.Byte() % 8;
    chipctl::Arguments args(fuzz::Words(input.Rest()), {L"--alt", L"--no-verify"},
                            {L"--sub", L"--layout", L"--count", L"--record"});
    args.ExpectWords(1, 3, L"ADDR [COUNT]");
    for (const std::wstring& word : args.Words()) {
        FUZZ_CHECK(args.Number(L"N", word, 0, most) <= most);
        const std::vector<BYTE> bytes = args.Bytes(L"VALUE", word, byteCount);
        FUZZ_CHECK(bytes.size() == byteCount || !args.Ok());
    }
    if (const std::wstring* sub = args.Option(L"--sub")) {
        args.Number(L"--sub", *sub, 0, 0xFFFF);
    }
    return 0;
}
