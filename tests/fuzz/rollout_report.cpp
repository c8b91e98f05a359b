// The log reader of `velto1cli report`: lines of logs, an inventory, and the
// summary as text for JSON and HTML.
#include "cli/rollout_report.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cli::RolloutReport report([](int code) { return code == 1 ? std::string("E001") : ""; });
    const std::string text = fuzz::Text(data, size);
    size_t log = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line(text.data() + start, end - start);
        if (line.size() > 1 && line.substr(0, 2) == "#@") {
            report.Expect(line.substr(2));  // an inventory's computer
        } else if (line == "#next-log") {
            ++log;
        } else {
            report.AddLine(
                log, line.size() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
        }
        start = end + 1;
    }
    const cli::RolloutReport::Summary summary = report.Summarize();
    FUZZ_CHECK(summary.linesSkipped <= summary.linesRead);
    const std::string json = cli::ReportJson(summary);
    FUZZ_CHECK(json.size() >= 2 && json.front() == '{' && json.back() == '}');
    cli::ReportHtml(summary);
    return 0;
}
