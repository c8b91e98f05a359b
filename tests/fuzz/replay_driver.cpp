// The replay driver: a recording loaded from a file, then a session that makes
// the recorded calls with the library's buffers (a word, or the most a data
// property can move), and sessions that diverge.
#include "fuzz_support.h"
#include "simdevice/chip/chip.h"
#include "simdevice/chip/replay_driver.h"

namespace {

size_t LibraryBufferBytes(DWORD id) {
    return id == CPROP_I2C_DATA ? 0xFFFF : sim::SelectionPropertyOf(id) ? 0xFF : sizeof(DWORD);
}

HRESULT Make(ICustomProperty* driver, const velto1::RecordedCall& call) {
    fuzz::ExactBuffer buffer(LibraryBufferBytes(call.id));
    switch (call.slot) {
        case velto1::CallSlot::Set:
            std::copy_n(call.sent.bytes.begin(), std::min(buffer.Size(), call.sent.bytes.size()),
                        buffer.Data());
            return driver->Set(call.id, call.sent.null ? nullptr : buffer.Data());
        case velto1::CallSlot::Get:
            return driver->Get(call.id, call.returned.null ? nullptr : buffer.Data());
        case velto1::CallSlot::Invoke:
            return driver->Invoke(call.values[0], call.values[1], call.values[2]);
        case velto1::CallSlot::Transfer: {
            fuzz::ExactBuffer sent(call.sent.bytes.size()), read(call.readLength);
            std::copy(call.sent.bytes.begin(), call.sent.bytes.end(), sent.Data());
            return driver->Transfer(call.id, static_cast<DWORD>(sent.Size()),
                                    call.sent.null ? nullptr : sent.Data(), call.readLength,
                                    call.returned.null ? nullptr : read.Data());
        }
        case velto1::CallSlot::SetDirect:
            return driver->SetDirect(call.id, call.values[0]);
    }
    return S_OK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velto1::Recording recording;
    std::wstring problem;
    if (!sim::LoadRecording(fuzz::FileHolding(fuzz::Text(data, size)), &recording, &problem)) {
        FUZZ_CHECK(problem.compare(0, 5, L"line ") == 0 ||
                   problem.find(L"larger") != std::wstring::npos);
        return 0;
    }
    // Once every call as recorded, then a session that turns away at one call
    // (the input's length picks which) and goes on past the divergence.
    for (const size_t turn : {recording.calls.size(), size % (recording.calls.size() + 1)}) {
        std::wstring divergence;
        auto session = std::make_shared<sim::ReplaySession>(
            recording, [&](const std::wstring& text) { divergence = text; });
        auto* driver = new sim::ReplayDriver(session);
        for (size_t i = 0; i < recording.calls.size(); ++i) {
            velto1::RecordedCall call = recording.calls[i];
            if (i == turn) {
                call.slot = velto1::CallSlot::Invoke;
                call.values[0] = ~call.values[0];
            }
            const HRESULT status = Make(driver, call);
            // Before the turn a call may diverge too: a recording's bytes need not fit its
            // selections.
            FUZZ_CHECK(i < turn ? status == recording.calls[i].status || !divergence.empty()
                                : status == sim::kReplayDiverged);
        }
        FUZZ_CHECK(Make(driver, velto1::RecordedCall()) == sim::kReplayDiverged &&
                   !divergence.empty());
        driver->Release();
    }
    return 0;
}
