// The text form of a recording of driver calls: what the library's recorder
// writes and the simulated device replays. Line-based, one call a line:
//
//   velto1-recording 1
//   program velto1cli 1.0.0 x64
//   device USB 7450 Device
//   found-by name
//   date 2026-12-08T09:41:07Z
//   windows 10.0.19045
//   call 1 Set id=0x00001007 sent=01a07a01 status=0x00000000 us=12
//   call 2 Get id=0x00001008 returned=31000000 status=0x00000000 us=9
//   end 2
//
// Each call is its request (slot and arguments, bytes sent) followed by the
// driver's answer (bytes returned, status, elapsed microseconds). Bytes are
// lower-case hexadecimal pairs, "-" for none, "null" for a null pointer.
// Header texts escape backslashes and control characters as \xNN. The last
// line counts the calls, so that a cut file is told from a short run.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/hex_text.h"

namespace velto1 {

constexpr char kRecordingMagic[] = "velto1-recording";
constexpr DWORD kRecordingVersion = 1;
// The header's lines after the first, in this order.
constexpr const char* kRecordingHeaderKeys[] = {"program", "device", "found-by", "date", "windows"};
constexpr size_t kRecordingHeaderCount = sizeof kRecordingHeaderKeys / sizeof *kRecordingHeaderKeys;
// A call that took longer than this is not believed.
constexpr DWORD kMaxRecordedMicros = 60 * 1000 * 1000;
// A refusal quotes at most this many characters of a field.
constexpr size_t kQuotedFieldCharacters = 40;

enum class CallSlot { Set, Get, Invoke, Transfer, SetDirect };

struct CallBytes {
    bool null = false;
    std::vector<BYTE> bytes;
    bool operator==(const CallBytes& other) const {
        return null == other.null && bytes == other.bytes;
    }
};

// The size bytes at data, or a null pointer as the driver was handed one.
inline CallBytes CallBytesAt(const void* data, size_t size) {
    CallBytes bytes;
    bytes.null = data == nullptr;
    if (data) {
        const auto* first = static_cast<const BYTE*>(data);
        bytes.bytes.assign(first, first + size);
    }
    return bytes;
}

struct RecordedCall {
    CallSlot slot = CallSlot::Set;
    DWORD id = 0;          // the property id; Transfer: the target; Invoke: 0
    DWORD values[3] = {};  // Invoke's three values; SetDirect's value first
    DWORD readLength = 0;  // Transfer: the bytes asked for
    CallBytes sent;        // Set and Transfer
    CallBytes returned;    // Get and Transfer
    HRESULT status = S_OK;
    DWORD micros = 0;
};

inline const char* CallSlotName(CallSlot slot) {
    switch (slot) {
        case CallSlot::Set:
            return "Set";
        case CallSlot::Get:
            return "Get";
        case CallSlot::Invoke:
            return "Invoke";
        case CallSlot::Transfer:
            return "Transfer";
        case CallSlot::SetDirect:
            return "SetDirect";
    }
    return "?";
}

inline std::string RecordingHex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(value));
    return text;
}

inline std::string RecordingBytes(const CallBytes& data) {
    if (data.null) {
        return "null";
    }
    if (data.bytes.empty()) {
        return "-";
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(data.bytes.size() * 2);
    for (const BYTE b : data.bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

// The request part of a call: "Set id=0x00001007 sent=01a07a01". It is what
// a replay compares, and what it shows for the call it expected and the one
// that came.
inline std::string DescribeCallRequest(const RecordedCall& call) {
    std::string text = CallSlotName(call.slot);
    switch (call.slot) {
        case CallSlot::Set:
            return text + " id=" + RecordingHex(call.id) + " sent=" + RecordingBytes(call.sent);
        case CallSlot::Get:
            return text + " id=" + RecordingHex(call.id);
        case CallSlot::Invoke:
            return text + " first=" + RecordingHex(call.values[0]) +
                   " second=" + RecordingHex(call.values[1]) +
                   " third=" + RecordingHex(call.values[2]);
        case CallSlot::Transfer:
            return text + " target=" + RecordingHex(call.id) +
                   " sent=" + RecordingBytes(call.sent) +
                   " read=" + std::to_string(call.readLength);
        case CallSlot::SetDirect:
            return text + " id=" + RecordingHex(call.id) + " value=" + RecordingHex(call.values[0]);
    }
    return text;
}

inline bool SameCallRequest(const RecordedCall& a, const RecordedCall& b) {
    return DescribeCallRequest(a) == DescribeCallRequest(b);
}

inline std::string FormatRecordedCall(DWORD number, const RecordedCall& call) {
    std::string line = "call " + std::to_string(number) + " " + DescribeCallRequest(call);
    if (call.slot == CallSlot::Get || call.slot == CallSlot::Transfer) {
        line += " returned=" + RecordingBytes(call.returned);
    }
    return line + " status=" + RecordingHex(static_cast<DWORD>(call.status)) +
           " us=" + std::to_string(call.micros) + "\n";
}

// A header value on one line: backslashes and control characters as \xNN,
// and a space that ends it (a reader drops the blanks that end a line).
inline std::string EscapeRecordingText(const std::string& text) {
    std::string escaped;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\' || (c == ' ' && i + 1 == text.size())) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// A recording read back: the header's values in kRecordingHeaderKeys order,
// and the calls in order.
struct Recording {
    std::vector<std::string> header;
    std::vector<RecordedCall> calls;
};

namespace recording_detail {

// Lower-case digits only: a recording has one spelling, so that it diffs.
inline int HexValue(char c) {
    return c >= 'A' && c <= 'F' ? -1 : HexDigitValue(c);
}

// "0x" and exactly eight lower-case digits.
inline bool ParseWord(const std::string& text, DWORD* value) {
    if (text.size() != 10 || text[0] != '0' || text[1] != 'x') {
        return false;
    }
    DWORD number = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0) {
            return false;
        }
        number = number << 4 | static_cast<DWORD>(digit);
    }
    *value = number;
    return true;
}

inline bool ParseBytes(const std::string& text, CallBytes* data) {
    *data = CallBytes();
    if (text == "null") {
        data->null = true;
        return true;
    }
    if (text == "-") {
        return true;
    }
    if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * 0xFFFF) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        data->bytes.push_back(static_cast<BYTE>(high << 4 | low));
    }
    return true;
}

// A field of the file in quotes, for a refusal: its first characters (a
// UTF-8 sequence whole or not at all), control characters as '?', and "..."
// when cut.
inline std::string QuotedField(const std::string& text) {
    std::string shown = "\"";
    size_t characters = 0;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        size_t end = at + 1;
        while (lead >= 0xC0 && end < text.size() && end - at < 4 &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
        if (++characters > kQuotedFieldCharacters) {
            return shown + "...\"";
        }
        shown += lead < 0x20 || lead == 0x7F ? std::string("?") : text.substr(at, end - at);
        at = end;
    }
    return shown + "\"";
}

// What a field of each key holds, for a refusal that names it.
inline std::string FieldForm(const std::string& key) {
    if (key == "sent" || key == "returned") {
        return "lower-case hexadecimal byte pairs, at most 65535 bytes, \"-\" or \"null\"";
    }
    if (key == "read") {
        return "a decimal number up to 65535";
    }
    if (key == "us") {
        return "a decimal number of microseconds up to " + std::to_string(kMaxRecordedMicros);
    }
    return "0x and eight lower-case hexadecimal digits";
}

inline std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        const size_t space = line.find(' ', start);
        const size_t end = space == std::string::npos ? line.size() : space;
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// The call's words after "call N": the slot, then key=value in the order
// FormatRecordedCall writes them.
inline bool ParseCallWords(const std::vector<std::string>& words, RecordedCall* call,
                           std::string* problem) {
    static const CallSlot kSlots[] = {CallSlot::Set, CallSlot::Get, CallSlot::Invoke,
                                      CallSlot::Transfer, CallSlot::SetDirect};
    bool known = false;
    for (const CallSlot slot : kSlots) {
        if (words[2] == CallSlotName(slot)) {
            call->slot = slot;
            known = true;
        }
    }
    if (!known) {
        *problem = "unknown slot " + QuotedField(words[2]);
        return false;
    }
    std::vector<std::string> keys;
    switch (call->slot) {
        case CallSlot::Set:
            keys = {"id", "sent"};
            break;
        case CallSlot::Get:
            keys = {"id", "returned"};
            break;
        case CallSlot::Invoke:
            keys = {"first", "second", "third"};
            break;
        case CallSlot::Transfer:
            keys = {"target", "sent", "read", "returned"};
            break;
        case CallSlot::SetDirect:
            keys = {"id", "value"};
            break;
    }
    keys.push_back("status");
    keys.push_back("us");
    if (words.size() != 3 + keys.size()) {
        *problem = std::string(CallSlotName(call->slot)) + " takes " + std::to_string(keys.size()) +
                   " fields, the line has " + std::to_string(words.size() - 3);
        return false;
    }
    DWORD status = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& word = words[3 + i];
        const std::string& key = keys[i];
        if (word.compare(0, key.size() + 1, key + "=") != 0) {
            *problem = "expected " + key + "= where the line has " + QuotedField(word);
            return false;
        }
        const std::string value = word.substr(key.size() + 1);
        bool ok = true;
        if (key == "id" || key == "target") {
            ok = ParseWord(value, &call->id);
        } else if (key == "first" || key == "value") {
            ok = ParseWord(value, &call->values[0]);
        } else if (key == "second") {
            ok = ParseWord(value, &call->values[1]);
        } else if (key == "third") {
            ok = ParseWord(value, &call->values[2]);
        } else if (key == "sent") {
            ok = ParseBytes(value, &call->sent);
        } else if (key == "returned") {
            ok = ParseBytes(value, &call->returned);
        } else if (key == "read") {
            ok = velto1::ParseDecimalNumber(value, 0xFFFF, &call->readLength);
        } else if (key == "status") {
            ok = ParseWord(value, &status);
        } else if (key == "us") {
            ok = velto1::ParseDecimalNumber(value, kMaxRecordedMicros, &call->micros);
        }
        if (!ok) {
            *problem = "unreadable " + key + " " + QuotedField(value) + ": " + FieldForm(key);
            return false;
        }
    }
    call->status = static_cast<HRESULT>(status);
    if (call->slot == CallSlot::Transfer && !call->returned.null &&
        call->returned.bytes.size() != call->readLength) {
        *problem = "Transfer returned " + std::to_string(call->returned.bytes.size()) +
                   " bytes, not the " + std::to_string(call->readLength) + " read";
        return false;
    }
    return true;
}

}  // namespace recording_detail

// The longest line a call can make: a Transfer that sends and returns 65535
// bytes, as hexadecimal pairs, and its other fields.
constexpr size_t kMaxRecordingLineBytes = 4 * 0xFFFF + 256;
// More calls than any program's run makes; a recording holds no more.
constexpr DWORD kMaxRecordedCalls = 1000000;

// Reads a recording as its bytes come, a line at a time: what it keeps is the
// calls read so far and one unfinished line, whatever the file holds, and it
// stops at the first line it refuses.
class RecordingReader {
  public:
    explicit RecordingReader(Recording* recording) : recording_(*recording) {
        recording_ = Recording();
    }
    // The next bytes of the file; false once the recording is refused.
    bool Add(const char* bytes, size_t size) {
        for (size_t at = 0; at < size && problem_.empty();) {
            const void* found = std::memchr(bytes + at, '\n', size - at);
            const size_t end =
                found ? static_cast<size_t>(static_cast<const char*>(found) - bytes) : size;
            const size_t take = std::min(end - at, kMaxRecordingLineBytes + 1 - pending_.size());
            pending_.append(bytes + at, take);
            pendingBytes_ = true;
            if (pending_.size() > kMaxRecordingLineBytes) {
                Refuse(lines_ + 1, "a line longer than any call's (" +
                                       std::to_string(kMaxRecordingLineBytes) + " bytes)");
            } else if (found) {
                Line();
            }
            at = found ? end + 1 : size;
        }
        return problem_.empty();
    }
    // After the last bytes: whether the recording is whole. On refusal,
    // LineNumber() (from 1) and Problem() tell where and why.
    bool Finish() {
        if (problem_.empty() && pendingBytes_) {
            Line();  // a last line without its line end
        }
        if (!problem_.empty()) {
            return false;
        }
        if (lines_ == 0) {
            return Refuse(1, NotARecording());
        }
        if (lines_ <= kRecordingHeaderCount) {
            return Refuse(lines_, "the recording ends inside its header");
        }
        return ended_ || Refuse(lines_, "the recording is cut short: no end line");
    }
    DWORD LineNumber() const { return lineNumber_; }
    const std::string& Problem() const { return problem_; }

  private:
    static std::string NotARecording() {
        return std::string("not a recording: the first line is not \"") + kRecordingMagic +
               " VERSION\"";
    }
    bool Refuse(uint64_t line, const std::string& reason) {
        lineNumber_ = static_cast<DWORD>(line);
        problem_ = reason;
        return false;
    }
    // The line in pending_, its line end gone.
    void Line() {
        std::string line;
        line.swap(pending_);
        pendingBytes_ = false;
        // An editor's byte-order mark, and the blanks it may leave at a line's end, are no text.
        const std::string bom = "\xEF\xBB\xBF";
        if (lines_ == 0 && line.compare(0, bom.size(), bom) == 0) {
            line.erase(0, bom.size());
        }
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.pop_back();
        }
        const uint64_t number = ++lines_;
        if (ended_) {
            Refuse(number, "text after the end line");
        } else if (number == 1) {
            FirstLine(line);
        } else if (number <= kRecordingHeaderCount + 1) {
            HeaderLine(kRecordingHeaderKeys[number - 2], line);
        } else {
            CallLine(number, line);
        }
    }
    void FirstLine(const std::string& line) {
        const std::string first = std::string(kRecordingMagic) + " ";
        DWORD version = 0;
        if (line.compare(0, first.size(), first) != 0) {
            Refuse(1, NotARecording());
        } else if (!ParseDecimalNumber(line.substr(first.size()), 0xFFFF, &version) ||
                   version != kRecordingVersion) {
            Refuse(1, "format version " + recording_detail::QuotedField(line.substr(first.size())) +
                          "; this program reads version " + std::to_string(kRecordingVersion));
        }
    }
    void HeaderLine(const std::string& key, const std::string& line) {
        // An empty value lost its space with the line's ending blanks.
        if (line.compare(0, key.size(), key) != 0 ||
            (line.size() > key.size() && line[key.size()] != ' ')) {
            Refuse(lines_, "expected the header line \"" + key + " ...\"");
            return;
        }
        recording_.header.push_back(line.size() > key.size() ? line.substr(key.size() + 1) : "");
    }
    void CallLine(uint64_t number, const std::string& line) {
        using namespace recording_detail;
        const std::vector<std::string> words = Words(line);
        const size_t calls = recording_.calls.size();
        DWORD counted = 0;
        if (words[0] == "end") {
            if (words.size() != 2 || !ParseDecimalNumber(words[1], 0xFFFFFFFF, &counted) ||
                counted != calls) {
                Refuse(number,
                       "the end line does not count the " + std::to_string(calls) + " calls");
            }
            ended_ = true;
            return;
        }
        if (words[0] != "call" || words.size() < 3) {
            Refuse(number, "expected \"call N SLOT ...\" or \"end N\"");
            return;
        }
        if (!ParseDecimalNumber(words[1], 0xFFFFFFFF, &counted) || counted != calls + 1) {
            Refuse(number, "expected call " + std::to_string(calls + 1));
            return;
        }
        if (calls == kMaxRecordedCalls) {
            Refuse(number, "more than " + std::to_string(kMaxRecordedCalls) + " calls");
            return;
        }
        RecordedCall call;
        std::string reason;
        if (!ParseCallWords(words, &call, &reason)) {
            Refuse(number, reason);
            return;
        }
        recording_.calls.push_back(std::move(call));
    }

    Recording& recording_;
    std::string pending_;        // the line so far
    bool pendingBytes_ = false;  // whether a line has begun since the last line end
    uint64_t lines_ = 0;
    bool ended_ = false;
    DWORD lineNumber_ = 0;
    std::string problem_;
};

// Reads a whole recording held in memory. On refusal returns false with the
// line number (from 1) and the reason; nothing of the recording is to be used then.
inline bool ParseRecording(const std::string& text, Recording* recording, DWORD* lineNumber,
                           std::string* problem) {
    RecordingReader reader(recording);
    if (reader.Add(text.data(), text.size()) && reader.Finish()) {
        return true;
    }
    *lineNumber = reader.LineNumber();
    *problem = reader.Problem();
    return false;
}

}  // namespace velto1
