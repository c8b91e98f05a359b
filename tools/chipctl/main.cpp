// chipctl: the device library's command-line tool, the counterpart of
// i2cget, i2cset and i2cdump for the bridge chip. One command per run; values
// on stdout, messages on stderr, exit code 0, 1 (device or driver failure)
// or 2 (usage error, nothing sent to the device).
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

#include "common/ansi_text.h"
#include "common/command_line.h"
#include "common/console_program.h"
#include "devctl/device_control.h"
#include "tools/chipctl/arguments.h"
#include "tools/chipctl/commands.h"
#include "tools/chipctl/console_io.h"
#include "tools/chipctl/device_session.h"

namespace {

constexpr char kUsage[] =
    "usage: chipctl [--name NAME] [--record FILE] COMMAND [ARGUMENTS]\n"
    "\n"
    "Finds the capture device through the device library and works on its bridge chip.\n"
    "The device is the first whose friendly name begins with NAME (default: the name in\n"
    "the registry, else \"USB 7450 Device\"), else the first of a known model.\n"
    "\n"
    "  find                          find and bind the device: name=value lines\n"
    "  info                          the chip's identity: name=value lines\n"
    "  reg read [--alt] INDEX [COUNT]\n"
    "                                read COUNT (1-4, default 1) bytes from INDEX\n"
    "  reg write [--alt] [--no-verify] INDEX VALUE [COUNT]\n"
    "                                write VALUE as COUNT bytes, then read them back\n"
    "      --alt: the alternate space (INDEX up to FF); else the main space (up to FFFF)\n"
    "      VALUE and the value read: one number, the byte at INDEX lowest\n"
    "  i2c probe ADDR                the state word of the device at ADDR\n"
    "  i2c read [TRANSFER] ADDR COUNT\n"
    "                                read COUNT bytes: one per line\n"
    "  i2c write [TRANSFER] [--no-verify] ADDR BYTE...\n"
    "                                write the bytes, then read them back (not direct)\n"
    "      TRANSFER: none             direct: no sub-address, COUNT up to FF\n"
    "                --sub SUB         8-bit sub-address SUB, COUNT up to FF\n"
    "                --sub SUB --layout 8|16|long\n"
    "                                  16: SUB up to FFFF, COUNT up to 7F;\n"
    "                                  long: SUB up to FF, COUNT up to FFFF\n"
    "  eeprom dump                   the EEPROM (256 bytes at A0) as i2cdump shows it\n"
    "  codec read INDEX              AC97 codec register INDEX (up to 7F)\n"
    "  remote [--count N]            read N remote-control keys (default 1): key codes,\n"
    "                                0xFE a held key, 0xFF no key; on a later chip, which\n"
    "                                decodes none, the raw code bytes, one code per line\n"
    "  pages                         show the driver's property pages\n"
    "  conformance [--record FILE]   a read-only check of the driver: PASS, WARN or FAIL\n"
    "                                and a reason per check; exit code 1 when one failed\n"
    "  --record FILE                 write every driver call of the command to FILE, a\n"
    "                                recording that simdevctl add --replay plays back\n"
    "  help                          this text\n"
    "\n"
    "Numbers are hexadecimal, with or without 0x; ADDR is the 8-bit bus address\n"
    "(the EEPROM is A0). Values print as 0x and fixed-width hexadecimal, one per line.\n"
    "Exit code: 0 success, 1 device or driver failure (status on stderr), 2 usage error.\n";

struct Command {
    const wchar_t* name;
    int (*run)(const chipctl::WantedName& name, const chipctl::Words& words);
};

constexpr Command kCommands[] = {
    {L"find", chipctl::RunFind},
    {L"info", chipctl::RunInfo},
    {L"reg", chipctl::RunRegister},
    {L"i2c", chipctl::RunI2c},
    {L"eeprom", chipctl::RunEeprom},
    {L"codec", chipctl::RunCodec},
    {L"remote", chipctl::RunRemote},
    {L"pages", chipctl::RunPages},
    {L"conformance", chipctl::RunConformance},
};

}  // namespace

int main() {
    chipctl::Words words;
    if (!velto1::StartConsoleProgram(&words)) {
        return chipctl::kUsageError;
    }

    // --name NAME comes before the command; the command reads its own options.
    const size_t nameWords = !words.empty() && words[0] == L"--name" ? 2 : 0;
    const velto1::CommandLine head(
        chipctl::Words(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(
                                                          std::min(nameWords, words.size()))),
        {{L"--name", true}});
    if (!head.Ok()) {
        return chipctl::UsageError(head.FirstProblem());
    }
    chipctl::WantedName name;
    if (const std::wstring* wanted = head.Value(L"--name")) {
        std::string bytes;
        switch (velto1::ToLibraryName(*wanted, kDeviceNameBufferSize, &bytes)) {
            case velto1::AnsiConversion::Exact:
                break;
            case velto1::AnsiConversion::LacksCharacter:
                return chipctl::UsageError(L"--name has a character the ANSI code page lacks: " +
                                           chipctl::Quoted(*wanted));
            case velto1::AnsiConversion::TooLong:
                return chipctl::UsageError(L"--name is longer than " +
                                           std::to_wstring(kDeviceNameBufferSize - 1) +
                                           L" bytes in the ANSI code page");
        }
        name = bytes;
    }
    size_t next = nameWords;
    // --record FILE may follow: every driver call of the command goes to FILE.
    if (next < words.size() && words[next] == L"--record") {
        if (next + 1 >= words.size() || words[next + 1].empty() ||
            words[next + 1].rfind(L"--", 0) == 0) {
            return chipctl::UsageError(L"--record needs a file");
        }
        chipctl::RecordCallsTo(words[next + 1]);
        next += 2;
    }
    if (next >= words.size()) {
        std::fputs(kUsage, stderr);
        return chipctl::kUsageError;
    }
    const std::wstring& command = words[next];
    if (command == L"help" || command == L"--help") {
        std::fputs(kUsage, stdout);
        return chipctl::kSuccess;
    }
    const chipctl::Words rest(words.begin() + static_cast<std::ptrdiff_t>(next) + 1, words.end());
    for (const Command& known : kCommands) {
        if (command == known.name) {
            return known.run(name, rest);
        }
    }
    return chipctl::UsageError(L"unknown command " + chipctl::Quoted(command));
}
