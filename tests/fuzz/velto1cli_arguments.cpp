// velto1cli's command line: one word a line of the input.
#include "cli/arguments.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cli::Options options;
    std::wstring problem;
    if (!cli::ParseArguments(fuzz::Words(fuzz::Text(data, size)), &options, &problem)) {
        FUZZ_CHECK(!problem.empty() && problem.find(L'\n') == std::wstring::npos);
    }
    return 0;
}
