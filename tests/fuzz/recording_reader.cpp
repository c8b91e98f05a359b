// The recording reader: whatever it accepts, written out again, reads back the same.
#include "common/call_recording.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velto1::Recording recording;
    DWORD line = 0;
    std::string problem;
    if (!velto1::ParseRecording(fuzz::Text(data, size), &recording, &line, &problem)) {
        FUZZ_CHECK(line >= 1 && !problem.empty());
        return 0;
    }
    std::string text = std::string(velto1::kRecordingMagic) + " 1\n";
    for (size_t i = 0; i < velto1::kRecordingHeaderCount; ++i) {
        text += std::string(velto1::kRecordingHeaderKeys[i]) + " " + recording.header[i] + "\n";
    }
    for (size_t i = 0; i < recording.calls.size(); ++i) {
        text += velto1::FormatRecordedCall(static_cast<DWORD>(i + 1), recording.calls[i]);
    }
    text += "end " + std::to_string(recording.calls.size()) + "\n";
    velto1::Recording again;
    FUZZ_CHECK(velto1::ParseRecording(text, &again, &line, &problem));
    FUZZ_CHECK(again.header == recording.header && again.calls.size() == recording.calls.size());
    for (size_t i = 0; i < again.calls.size(); ++i) {
        FUZZ_CHECK(velto1::FormatRecordedCall(1, again.calls[i]) ==
                   velto1::FormatRecordedCall(1, recording.calls[i]));
    }
    return 0;
}
