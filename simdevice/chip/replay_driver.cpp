#include "simdevice/chip/replay_driver.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/console_text.h"
#include "common/win32_owners.h"
#include "simdevice/chip/chip.h"

namespace sim {

namespace {

// A recording file larger than this is not one program's run.
constexpr DWORD kMaxRecordingBytes = 64 * 1024 * 1024;

// A refusal quotes the file's own bytes: UTF-8, or shown as U+FFFD where they are not.
std::wstring Widen(const std::string& text) {
    return velto1::WidenUtf8(text);
}

// A Get never returns more bytes than the selection in force counts (one
// word for any other property), so that a replay writes only where the
// recorded program's buffer was.
bool CheckReturnedSizes(const velto1::Recording& recording, DWORD* callNumber,
                        std::string* problem) {
    HeldSelections held;
    for (size_t i = 0; i < recording.calls.size(); ++i) {
        const velto1::RecordedCall& call = recording.calls[i];
        if (call.slot == velto1::CallSlot::Set && call.status >= 0 && !call.sent.null &&
            call.sent.bytes.size() == sizeof(DWORD)) {
            held.Keep(call.id, call.sent.bytes.data());
        }
        if (call.slot != velto1::CallSlot::Get) {
            continue;
        }
        const size_t most = held.DataBytes(call.id, DecodeI2cDescriptor(held.i2cTransfer).count);
        if (call.returned.bytes.size() > most) {
            *callNumber = static_cast<DWORD>(i + 1);
            *problem = "Get returned " + std::to_string(call.returned.bytes.size()) +
                       " bytes where the selection moves " + std::to_string(most);
            return false;
        }
    }
    return true;
}

}  // namespace

bool LoadRecording(const std::wstring& path, velto1::Recording* recording, std::wstring* problem) {
    velto1::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) {
        *problem = L"can't read the recording (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    if (size.QuadPart > kMaxRecordingBytes) {
        *problem = L"the recording is larger than 64 MB";
        return false;
    }
    // Read a chunk at a time: the reader keeps the calls, not the file, and
    // the first line it refuses ends the reading.
    velto1::RecordingReader reader(recording);
    std::vector<char> chunk(64 * 1024);
    for (bool more = true; more;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) {
            *problem = L"can't read the recording (error " + std::to_wstring(GetLastError()) + L")";
            return false;
        }
        more = read > 0 && reader.Add(chunk.data(), read);
    }
    if (!reader.Finish()) {
        *problem =
            L"line " + std::to_wstring(reader.LineNumber()) + L": " + Widen(reader.Problem());
        return false;
    }
    std::string reason;
    DWORD call = 0;
    if (!CheckReturnedSizes(*recording, &call, &reason)) {
        *problem = L"line " + std::to_wstring(call + velto1::kRecordingHeaderCount + 1) + L": " +
                   Widen(reason);
        return false;
    }
    return true;
}

const velto1::RecordedCall* ReplaySession::Answer(const velto1::RecordedCall& request) {
    if (!divergence_.empty()) {
        return nullptr;
    }
    const size_t number = next_ + 1;
    if (next_ < recording_.calls.size() &&
        velto1::SameCallRequest(recording_.calls[next_], request)) {
        return &recording_.calls[next_++];
    }
    const std::string expected =
        next_ < recording_.calls.size()
            ? velto1::DescribeCallRequest(recording_.calls[next_])
            : "the end of the recording (" + std::to_string(recording_.calls.size()) + " calls)";
    divergence_ = L"call " + std::to_wstring(number) + L": expected " + Widen(expected) +
                  L", came " + Widen(velto1::DescribeCallRequest(request));
    if (onDivergence_) {
        onDivergence_(divergence_);
    }
    return nullptr;
}

size_t ReplayDriver::DataSize(DWORD id) const {
    return selections_.DataBytes(id, DecodeI2cDescriptor(selections_.i2cTransfer).count);
}

HRESULT ReplayDriver::Play(const velto1::RecordedCall& request, void* out, size_t capacity) {
    const velto1::RecordedCall* answer = session_->Answer(request);
    if (!answer) {
        return kReplayDiverged;
    }
    // A call that returned no bytes copies none (and has no bytes to copy from).
    if (out && !answer->returned.null && !answer->returned.bytes.empty()) {
        std::memcpy(out, answer->returned.bytes.data(),
                    std::min(capacity, answer->returned.bytes.size()));
    }
    if (answer->micros >= 1000) {
        Sleep(answer->micros / 1000);
    }
    return answer->status;
}

HRESULT ReplayDriver::Set(DWORD id, const void* data) {
    velto1::RecordedCall request;
    request.slot = velto1::CallSlot::Set;
    request.id = id;
    request.sent = velto1::CallBytesAt(data, DataSize(id));
    const HRESULT status = Play(request, nullptr, 0);
    if (status >= 0) {
        selections_.Keep(id, data);
    }
    return status;
}

HRESULT ReplayDriver::Get(DWORD id, void* data) {
    velto1::RecordedCall request;
    request.slot = velto1::CallSlot::Get;
    request.id = id;
    return Play(request, data, DataSize(id));
}

HRESULT ReplayDriver::Invoke(DWORD first, DWORD second, DWORD third) {
    velto1::RecordedCall request;
    request.slot = velto1::CallSlot::Invoke;
    request.values[0] = first;
    request.values[1] = second;
    request.values[2] = third;
    return Play(request, nullptr, 0);
}

HRESULT ReplayDriver::Transfer(DWORD target, DWORD writeLength, const void* writeData,
                               DWORD readLength, void* readData) {
    velto1::RecordedCall request;
    request.slot = velto1::CallSlot::Transfer;
    request.id = target;
    request.readLength = readLength;
    request.sent = velto1::CallBytesAt(writeData, writeLength);
    return Play(request, readData, readLength);
}

HRESULT ReplayDriver::SetDirect(DWORD id, DWORD value) {
    velto1::RecordedCall request;
    request.slot = velto1::CallSlot::SetDirect;
    request.id = id;
    request.values[0] = value;
    return Play(request, nullptr, 0);
}

}  // namespace sim
