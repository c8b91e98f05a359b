// simdevctl: registers the simulated device's COM server and adds, lists and
// removes simulated devices. It manages the simulator only: the library's
// command-line tool (chipctl) is the one that finds and binds devices. Meant
// for scripts: one command per run, exit code 0 on success, 1 on failure, 2
// on a usage error (one line saying what was wrong, and nothing changed);
// messages for people on stderr.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/console_program.h"
#include "common/console_text.h"
#include "common/module_folder.h"
#include "common/win32_owners.h"
#include "common/hex_text.h"
#include "simdevice/devices/device_store.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// A DLL's full path within MAX_PATH.
constexpr size_t kMaxPathLength = MAX_PATH - 1;

constexpr char kUsageHead[] =
    "usage:\n"
    "  simdevctl register [DLL]     register simdevice.dll (default: beside simdevctl.exe)\n"
    "  simdevctl unregister         remove every device and the server's registration\n"
    "  simdevctl add ID --name NAME [options]   add a device, replacing one with this ID\n";
constexpr char kResetEepromUsage[] =
    "      --reset-eeprom          rewrite the EEPROM file with the fresh-product image\n";
constexpr char kUsageTail[] =
    "  simdevctl remove ID | --all  remove a device, or all of them\n"
    "  simdevctl list               list the devices, one per line\n"
    "Numbers in C notation (0x.. hexadecimal). IDs: up to 100 letters, digits, - _ .\n"
    "NAME: up to 259 characters. Full paths: FILE up to 254 characters, DLL up to 259.\n"
    "Finding and binding a device through the library: chipctl.\n";

void PrintUsage(FILE* stream) {
    std::fputs(kUsageHead, stream);
    std::fputs(sim::OptionsUsage().c_str(), stream);
    std::fputs(kResetEepromUsage, stream);
    std::fputs(kUsageTail, stream);
}

void Out(const std::wstring& text) {
    velto1::WriteText(stdout, text);
}
void Err(const std::wstring& text) {
    velto1::WriteText(stderr, text);
}

int Fail(const std::wstring& what, HRESULT status) {
    Err(L"simdevctl: " + what + L" failed: " + sim::StatusText(status) + L"\n");
    return kFailure;
}

// One line, whatever the arguments held.
int Usage(const std::wstring& problem) {
    velto1::RefuseUsage(L"simdevctl", problem);
    return kUsageError;
}

// Registers the way regsvr32 does: load the DLL and call its entry point.
int RegisterDll(const std::wstring& path, bool unregister) {
    HRESULT status;
    {
        const velto1::UniqueModule dll(LoadLibraryW(path.c_str()));
        if (!dll) {
            return Fail(L"loading " + path, HRESULT_FROM_WIN32(GetLastError()));
        }
        using Entry = HRESULT(STDAPICALLTYPE*)();
        const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
        const auto entry =
            reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll.Get(), name)));
        status = entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    if (FAILED(status)) {
        return Fail(unregister ? L"unregister" : L"register", status);
    }
    Out(std::wstring(unregister ? L"unregistered " : L"registered ") + path +
        (sim::RegistersPerUser() ? L" (per user)\n" : L" (class root)\n"));
    return kSuccess;
}

int Register(const std::wstring& command, const std::vector<std::wstring>& words) {
    const velto1::CommandLine line(words, {});
    if (!line.Ok()) {
        return Usage(line.FirstProblem());
    }
    const std::vector<std::wstring>& args = line.Words();
    if (args.size() > 1) {
        return Usage(command + L" takes at most a DLL path");
    }
    std::wstring dll = velto1::ModuleFolder() + L"simdevice.dll";
    if (!args.empty()) {
        const std::optional<std::wstring> full = sim::FullPath(args[0]);
        if (!full || sim::HasControlCharacter(args[0])) {
            return Usage(command + L" needs a DLL path, not " + velto1::Quoted(args[0]));
        }
        if (full->size() > kMaxPathLength) {
            return Usage(command + L": the DLL path is longer than 259 characters");
        }
        dll = *full;
    }
    return RegisterDll(dll, command == L"unregister");
}

// Each option of add is a row of the settings table, which parses it; the
// options are read in the order given (several may be repeated).
int Add(const std::vector<std::wstring>& words) {
    std::vector<velto1::OptionSpec> options = {{L"--reset-eeprom", false}};
    for (const sim::Setting& setting : sim::Settings()) {
        options.push_back({setting.option, setting.argument != nullptr, true});
    }
    const velto1::CommandLine line(words, options);
    if (!line.Ok()) {
        return Usage(line.FirstProblem());
    }
    const std::vector<std::wstring>& args = line.Words();
    if (args.empty()) {
        return Usage(L"add needs a device ID");
    }
    if (!sim::ValidDeviceId(args[0])) {
        return Usage(L"bad device ID " + velto1::Quoted(args[0]) +
                     L": up to 100 letters, digits, - _ .");
    }
    if (args.size() > 1) {
        return Usage(L"add takes one device ID, not also " + velto1::Quoted(args[1]));
    }
    sim::DeviceSettings settings;
    settings.id = args[0];
    for (const velto1::GivenOption& option : line.Given()) {
        if (const sim::Setting* setting = sim::FindSetting(option.name)) {
            const std::wstring problem = setting->form->parse(option.name, option.value, settings);
            if (!problem.empty()) {
                return Usage(problem);
            }
        }
    }
    if (settings.friendlyName.empty()) {
        return Usage(L"add needs --name");
    }
    const HRESULT status = sim::AddDevice(settings, line.Has(L"--reset-eeprom"));
    const std::optional<std::wstring> owner = status == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)
                                                  ? sim::DeviceSharingEepromFile(settings)
                                                  : std::nullopt;
    if (owner) {
        Err(L"simdevctl: add " + settings.id + L" failed: the EEPROM file " +
            velto1::Quoted(settings.eepromFile) + L" is device " + *owner +
            L"'s; each device keeps a file of its own\n");
        return kFailure;
    }
    if (FAILED(status)) {
        return Fail(L"add " + settings.id, status);
    }
    Out(L"added " + settings.id + L"\n");
    return kSuccess;
}

int Remove(const std::vector<std::wstring>& words) {
    const velto1::CommandLine line(words, {{L"--all", false}});
    if (!line.Ok()) {
        return Usage(line.FirstProblem());
    }
    const std::vector<std::wstring>& args = line.Words();
    if (args.size() + (line.Has(L"--all") ? 1 : 0) != 1) {
        return Usage(L"remove needs one device ID or --all");
    }
    if (line.Has(L"--all")) {
        const HRESULT status = sim::RemoveAllDevices();
        return FAILED(status) ? Fail(L"remove --all", status) : kSuccess;
    }
    if (!sim::ValidDeviceId(args[0])) {
        return Usage(L"bad device ID " + velto1::Quoted(args[0]) +
                     L": up to 100 letters, digits, - _ .");
    }
    const HRESULT status = sim::RemoveDevice(args[0]);
    if (FAILED(status)) {
        return Fail(L"remove " + args[0], status);
    }
    if (status == S_FALSE) {
        Err(L"simdevctl: no device " + args[0] + L"\n");
        return kFailure;
    }
    Out(L"removed " + args[0] + L"\n");
    return kSuccess;
}

// id, category, name, then the settings as the table shows them, and the
// option byte of the EEPROM file when it can be read.
std::wstring Describe(const sim::DeviceSettings& settings) {
    std::wstring line = settings.id + L"\t" + sim::CategoryOf(settings.category).name + L"\t\"" +
                        settings.friendlyName + L"\"\t" + sim::ListedSettings(settings);
    sim::EepromImage image;
    if (!settings.eepromFile.empty() &&
        SUCCEEDED(sim::LoadEepromFile(settings.eepromFile, image))) {
        line += L" option-byte=" + sim::Hex(image[sim::kOptionByteOffset]);
    }
    return line + L"\n";
}

int List() {
    for (const sim::DeviceSettings& settings : sim::ListDevices()) {
        Out(Describe(settings));
    }
    return kSuccess;
}

}  // namespace

int main() {
    std::vector<std::wstring> args;
    if (!velto1::StartConsoleProgram(&args)) {
        return kFailure;
    }
    if (args.empty() || args[0] == L"help" || args[0] == L"--help") {
        PrintUsage(args.empty() ? stderr : stdout);
        return args.empty() ? kUsageError : kSuccess;
    }
    const std::wstring command = args[0];
    args.erase(args.begin());
    if (command == L"register" || command == L"unregister") {
        return Register(command, args);
    }
    if (command == L"add") {
        return Add(args);
    }
    if (command == L"remove") {
        return Remove(args);
    }
    if (command == L"list") {
        return args.empty() ? List() : Usage(L"list takes no argument");
    }
    return Usage(L"unknown command " + velto1::Quoted(command));
}
