// The console's log: one line per operation with its arguments and status,
// newest last, as a support engineer asks a user to send it. Also the hex
// formatting that the log and the fields share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace regconsole {

// value in upper-case hex with at least digits digits and no prefix.
std::string Hex(DWORD value, int digits = 2);
// A status as eight hex digits with its meaning where the library names one,
// e.g. "0x80070001 (device unplugged)".
std::string StatusText(HRESULT status);
// Bytes shown as the number they form, lowest byte last: {0x34, 0x12} is
// "1234". This is how the value and data fields are typed.
std::string BytesAsNumber(const std::vector<BYTE>& bytes);

class ConsoleLog {
  public:
    void Add(const std::string& line) { lines_.push_back(line); }
    // operation: "what (arguments)"; the line ends with the status.
    void AddResult(const std::string& operation, HRESULT status);
    const std::vector<std::string>& Lines() const { return lines_; }
    // The lines joined with CR LF, for an edit control or the clipboard.
    std::string Text() const;

  private:
    std::vector<std::string> lines_;
};

}  // namespace regconsole
