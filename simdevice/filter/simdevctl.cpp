// simdevctl: registers the simulated device's COM server and adds, lists and
// removes simulated devices; `find` runs the device library's discovery
// against them, `remote` and `codec` read the bound device's remote-control
// keys and codec registers through the library. Meant for scripts: one command
// per run, exit code 0 on success, 1 on failure, 2 on a usage error (one line
// saying what was wrong, and nothing changed); messages for people on stderr.
#include <windows.h>
#include <dshow.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwctype>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "devctl/device_control.h"
#include "simdevice/filter/sim_device_ids.h"
#include "simdevice/filter/sim_registration.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// The library takes device names as 8-bit text of up to 259 bytes (its
// buffers hold 260 with the terminator).
constexpr size_t kMaxLibraryNameBytes = 259;
// A friendly name that the device's property page shows whole.
constexpr size_t kMaxFriendlyNameLength = 259;
// Full paths within MAX_PATH; the EEPROM file's with room for the lock file
// beside it.
constexpr size_t kMaxPathLength = MAX_PATH - 1;
constexpr size_t kMaxEepromPathLength = kMaxPathLength - (std::size(sim::kEepromLockSuffix) - 1);

constexpr char kUsage[] =
    "usage:\n"
    "  simdevctl register [DLL]     register simdevice.dll (default: beside simdevctl.exe)\n"
    "  simdevctl unregister         remove every device and the server's registration\n"
    "  simdevctl add ID --name NAME [options]   add a device, replacing one with this ID\n"
    "      --category video|bda|audio|ksaudio|renderer   device category (video)\n"
    "      --chip-id N --chip-config N --board-config N\n"
    "      --remote-address N --remote-i2c-address N      what the driver reports\n"
    "      --eeprom FILE          EEPROM backing file, 256 bytes, created fresh when\n"
    "                             missing: every EEPROM read and write goes to it\n"
    "      --reset-eeprom         rewrite the file with the fresh-product image\n"
    "      --no-custom-property   the filter does not offer the driver interface\n"
    "      --fail-call N=STATUS   the Nth driver call returns STATUS (repeatable)\n"
    "      --fail-property ID=STATUS   every call on property ID returns STATUS\n"
    "      --unplug-from N        from the Nth driver call on: device unplugged\n"
    "      --fail-bind STATUS     binding the device's filter fails with STATUS\n"
    "      --remote-code T:A:C    a remote-control frame waiting to be read: toggle bit\n"
    "                             0|1, address, command (repeatable, read in order)\n"
    "      --codec-busy N|forever the codec reads busy for N polls, or always\n"
    "      --ac97 INDEX=VALUE     initial value of an AC97 codec register (repeatable)\n"
    "      --config-103e N        initial configuration word (property 0x103E)\n"
    "  simdevctl remove ID | --all  remove a device, or all of them\n"
    "  simdevctl list               list the devices, one per line\n"
    "  simdevctl find [--name NAME] run the library's discovery and binding\n"
    "  simdevctl pages [--name NAME]  show the capture device's property pages\n"
    "  simdevctl remote [--name NAME] [--count N]   read N remote-control keys (1)\n"
    "  simdevctl codec INDEX [--name NAME]          read an AC97 codec register\n"
    "Numbers in C notation (0x.. hexadecimal). IDs: up to 100 letters, digits, - _ .\n"
    "NAME: up to 259 characters for add; for the other commands, the name the library\n"
    "searches for: up to 259 bytes in the ANSI code page, with no character it lacks.\n"
    "Full paths: FILE up to 254 characters, DLL up to 259.\n";

void Write(FILE* stream, const std::wstring& text) {
    const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : CP_ACP;
    const int size =
        WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
        std::string bytes(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(codePage, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
        std::fputs(bytes.c_str(), stream);
    }
}

void Out(const std::wstring& text) {
    Write(stdout, text);
}
void Err(const std::wstring& text) {
    Write(stderr, text);
}

std::wstring Hex(DWORD number) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%lX", static_cast<unsigned long>(number));
    return text;
}

std::wstring Status(HRESULT status) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(status));
    return text;
}

int Fail(const std::wstring& what, HRESULT status) {
    Err(L"simdevctl: " + what + L" failed: " + Status(status) + L"\n");
    return kFailure;
}

// One line, whatever the arguments held.
int Usage(const std::wstring& problem) {
    Err(L"simdevctl: " + problem + L" (simdevctl help shows the usage)\n");
    return kUsageError;
}

bool HasControlCharacter(const std::wstring& text) {
    for (wchar_t c : text) {
        if (std::iswcntrl(c)) {
            return true;
        }
    }
    return false;
}

// An argument as a message quotes it: control characters as '?', and cut
// short when long, so that the message stays one short line.
std::wstring Shown(const std::wstring& text) {
    constexpr size_t kShownLength = 40;
    std::wstring shown = L"\"";
    for (size_t i = 0; i < text.size() && i < kShownLength; ++i) {
        shown += std::iswcntrl(text[i]) ? L'?' : text[i];
    }
    return shown + (text.size() > kShownLength ? L"...\"" : L"\"");
}

// The name in the ANSI code page, as the library takes it; a problem when a
// character has no exact form there (it would turn into '?' or a look-alike
// and search for another name) or when it is longer than the library takes.
std::wstring LibraryName(const std::wstring& name, std::string& bytes) {
    const UINT codePage = GetACP();
    const bool utf8 = codePage == CP_UTF8;  // no default character there: invalid text fails
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(codePage, flags, name.c_str(), -1, nullptr, 0, nullptr,
                                         utf8 ? nullptr : &lossy);
    if (size <= 0 || lossy) {
        return L"--name has a character the ANSI code page lacks: " + Shown(name);
    }
    if (static_cast<size_t>(size) - 1 > kMaxLibraryNameBytes) {
        return L"--name is longer than 259 bytes in the ANSI code page";
    }
    std::string converted(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, name.c_str(), -1, &converted[0], size, nullptr,
                            utf8 ? nullptr : &lossy) != size ||
        lossy) {
        return L"--name has a character the ANSI code page lacks: " + Shown(name);
    }
    converted.resize(static_cast<size_t>(size) - 1);
    bytes = converted;
    return L"";
}

// This program's folder; empty when the system can't tell.
std::wstring ModuleDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            return L"";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 0x8000) {
            return L"";
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

// The full form of a path; nothing when it is empty or the system refuses it.
std::optional<std::wstring> FullPath(const std::wstring& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    return full;
}

// Registers the way regsvr32 does: load the DLL and call its entry point.
int RegisterDll(const std::wstring& path, bool unregister) {
    const HMODULE dll = LoadLibraryW(path.c_str());
    if (!dll) {
        return Fail(L"loading " + path, HRESULT_FROM_WIN32(GetLastError()));
    }
    using Entry = HRESULT(STDAPICALLTYPE*)();
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    const HRESULT status = entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(dll);
    if (FAILED(status)) {
        return Fail(unregister ? L"unregister" : L"register", status);
    }
    Out(std::wstring(unregister ? L"unregistered " : L"registered ") + path +
        (sim::RegistersPerUser() ? L" (per user)\n" : L" (class root)\n"));
    return kSuccess;
}

// Parses "N=STATUS" into one entry of a fault map.
bool AddFault(const std::wstring& text, std::map<DWORD, HRESULT>& faults) {
    std::map<DWORD, HRESULT> one;
    if (!sim::ParseFaults(text, one) || one.size() != 1) {
        return false;
    }
    faults.insert(one.begin(), one.end());
    return true;
}

// The options of add that take a value.
bool TakesValue(const std::wstring& option) {
    static const wchar_t* const options[] = {
        L"--name",
        L"--category",
        L"--chip-id",
        L"--chip-config",
        L"--board-config",
        L"--remote-address",
        L"--remote-i2c-address",
        L"--config-103e",
        L"--eeprom",
        L"--fail-call",
        L"--fail-property",
        L"--unplug-from",
        L"--fail-bind",
        L"--remote-code",
        L"--codec-busy",
        L"--ac97",
    };
    for (const wchar_t* known : options) {
        if (option == known) {
            return true;
        }
    }
    return false;
}

std::wstring FriendlyNameProblem(const std::wstring& name) {
    if (name.empty()) {
        return L"--name needs a name";
    }
    if (name.size() > kMaxFriendlyNameLength) {
        return L"--name is longer than 259 characters";
    }
    if (HasControlCharacter(name)) {
        return L"--name holds a control character: " + Shown(name);
    }
    return L"";
}

// The EEPROM file's full path, or a problem.
std::wstring EepromPath(const std::wstring& path, std::wstring& full) {
    const std::optional<std::wstring> made = FullPath(path);
    if (!made || HasControlCharacter(path)) {
        return L"--eeprom needs a file path, not " + Shown(path);
    }
    if (made->size() > kMaxEepromPathLength) {
        return L"--eeprom path is longer than 254 characters: " + Shown(*made);
    }
    full = *made;
    return L"";
}

int Add(const std::vector<std::wstring>& args) {
    if (args.empty() || args[0].rfind(L"--", 0) == 0) {
        return Usage(L"add needs a device ID");
    }
    if (!sim::ValidDeviceId(args[0])) {
        return Usage(L"bad device ID " + Shown(args[0]) + L": up to 100 letters, digits, - _ .");
    }
    sim::DeviceSettings settings;
    settings.id = args[0];
    bool resetEeprom = false;
    std::map<DWORD, HRESULT> failAtCall;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (option == L"--reset-eeprom") {
            resetEeprom = true;
            continue;
        }
        if (option == L"--no-custom-property") {
            settings.offersCustomProperty = false;
            continue;
        }
        if (!TakesValue(option)) {
            return Usage(L"unknown option: " + Shown(option));
        }
        if (i + 1 >= args.size()) {
            return Usage(option + L" needs a value");
        }
        const std::wstring& value = args[++i];
        DWORD number = 0;
        const bool isNumber = sim::ParseNumber(value, number);
        struct NumberOption {
            const wchar_t* name;
            DWORD* field;
        };
        const NumberOption numberOptions[] = {
            {L"--chip-id", &settings.identity.chipId},
            {L"--chip-config", &settings.identity.chipConfig},
            {L"--board-config", &settings.identity.boardConfig},
            {L"--remote-address", &settings.identity.remoteAddress},
            {L"--remote-i2c-address", &settings.identity.remoteI2cAddress},
            {L"--config-103e", &settings.config103E},
        };
        bool handled = false;
        for (const NumberOption& numberOption : numberOptions) {
            if (option == numberOption.name) {
                if (!isNumber) {
                    return Usage(option + L" needs a number, not " + Shown(value));
                }
                *numberOption.field = number;
                handled = true;
            }
        }
        if (handled) {
            continue;
        }
        if (option == L"--name") {
            const std::wstring problem = FriendlyNameProblem(value);
            if (!problem.empty()) {
                return Usage(problem);
            }
            settings.friendlyName = value;
        } else if (option == L"--category") {
            const sim::CategoryInfo* category = sim::FindCategory(value);
            if (!category) {
                return Usage(L"unknown category: " + Shown(value));
            }
            settings.category = category->category;
        } else if (option == L"--eeprom") {
            const std::wstring problem = EepromPath(value, settings.eepromFile);
            if (!problem.empty()) {
                return Usage(problem);
            }
        } else if (option == L"--fail-call") {
            if (!AddFault(value, failAtCall)) {
                return Usage(L"--fail-call needs N=STATUS, not " + Shown(value));
            }
        } else if (option == L"--fail-property") {
            if (!AddFault(value, settings.failOnProperty)) {
                return Usage(L"--fail-property needs ID=STATUS, not " + Shown(value));
            }
        } else if (option == L"--unplug-from") {
            if (!isNumber || number == 0) {
                return Usage(L"--unplug-from needs a call number from 1, not " + Shown(value));
            }
            settings.unplugFromCall = number;
        } else if (option == L"--fail-bind") {
            if (!isNumber || !FAILED(static_cast<HRESULT>(number))) {
                return Usage(L"--fail-bind needs a failure status, not " + Shown(value));
            }
            settings.bindStatus = static_cast<HRESULT>(number);
        } else if (option == L"--remote-code") {
            std::vector<sim::RemoteCode> code;
            if (!sim::ParseRemoteCodes(value, code) || code.size() != 1) {
                return Usage(L"--remote-code needs TOGGLE:ADDRESS:COMMAND, not " + Shown(value));
            }
            settings.remoteCodes.push_back(code[0]);
        } else if (option == L"--codec-busy") {
            if (value == L"forever") {
                settings.codecBusyPolls = sim::kCodecBusyForever;
            } else if (isNumber && number != sim::kCodecBusyForever) {
                settings.codecBusyPolls = number;
            } else {
                return Usage(L"--codec-busy needs a number of polls or forever, not " +
                             Shown(value));
            }
        } else if (option == L"--ac97") {
            std::map<BYTE, WORD> one;
            if (!sim::ParseAc97Registers(value, one) || one.size() != 1) {
                return Usage(L"--ac97 needs INDEX=VALUE (index up to 0x7F), not " + Shown(value));
            }
            settings.ac97Registers[one.begin()->first] = one.begin()->second;
        }
    }
    if (settings.friendlyName.empty()) {
        return Usage(L"add needs --name");
    }
    for (const auto& [call, status] : failAtCall) {
        settings.failAtCall[call] = status;
    }
    const HRESULT status = sim::AddDevice(settings, resetEeprom);
    if (FAILED(status)) {
        return Fail(L"add " + settings.id, status);
    }
    Out(L"added " + settings.id + L"\n");
    return kSuccess;
}

int Remove(const std::vector<std::wstring>& args) {
    if (args.size() != 1) {
        return Usage(L"remove needs one device ID or --all");
    }
    if (args[0] == L"--all") {
        const HRESULT status = sim::RemoveAllDevices();
        return FAILED(status) ? Fail(L"remove --all", status) : kSuccess;
    }
    if (!sim::ValidDeviceId(args[0])) {
        return Usage(L"bad device ID " + Shown(args[0]) + L": up to 100 letters, digits, - _ .");
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

std::wstring Describe(const sim::DeviceSettings& settings) {
    std::wstring line = settings.id + L"\t" + sim::CategoryOf(settings.category).name + L"\t\"" +
                        settings.friendlyName + L"\"\tchip-id=" + Hex(settings.identity.chipId) +
                        L" chip-config=" + Hex(settings.identity.chipConfig) + L" board-config=" +
                        Hex(settings.identity.boardConfig) + L" remote-address=" +
                        Hex(settings.identity.remoteAddress) + L" remote-i2c-address=" +
                        Hex(settings.identity.remoteI2cAddress) + L" custom-property=" +
                        (settings.offersCustomProperty ? L"yes" : L"no");
    std::map<DWORD, HRESULT> atCall(settings.failAtCall.begin(), settings.failAtCall.end());
    if (!atCall.empty()) {
        line += L" fail-call=" + sim::FormatFaults(atCall);
    }
    if (!settings.failOnProperty.empty()) {
        line += L" fail-property=" + sim::FormatFaults(settings.failOnProperty);
    }
    if (settings.unplugFromCall) {
        line += L" unplug-from=" + std::to_wstring(settings.unplugFromCall);
    }
    if (FAILED(settings.bindStatus)) {
        line += L" fail-bind=" + Status(settings.bindStatus);
    }
    if (!settings.remoteCodes.empty()) {
        line += L" remote-code=" + sim::FormatRemoteCodes(settings.remoteCodes);
    }
    if (settings.codecBusyPolls == sim::kCodecBusyForever) {
        line += L" codec-busy=forever";
    } else if (settings.codecBusyPolls != 0) {
        line += L" codec-busy=" + std::to_wstring(settings.codecBusyPolls);
    }
    if (!settings.ac97Registers.empty()) {
        line += L" ac97=" + sim::FormatAc97Registers(settings.ac97Registers);
    }
    if (settings.config103E != 0) {
        line += L" config-103e=" + Hex(settings.config103E);
    }
    if (settings.eepromFile.empty()) {
        return line + L" eeprom=(memory)\n";
    }
    line += L" eeprom=\"" + settings.eepromFile + L"\"";
    sim::EepromImage image;
    if (SUCCEEDED(sim::LoadEepromFile(settings.eepromFile, image))) {
        line += L" option-byte=" + Hex(image[sim::kOptionByteOffset]);
    }
    return line + L"\n";
}

int List() {
    for (const sim::DeviceSettings& settings : sim::ListDevices()) {
        Out(Describe(settings));
    }
    return kSuccess;
}

std::wstring Widen(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0) {
        return L"";
    }
    std::wstring wide(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], size) != size) {
        return L"";
    }
    wide.resize(static_cast<size_t>(size) - 1);
    return wide;
}

// Parses "--name NAME" and, where the command takes it, "--count N"; an empty
// text when they parse, else what is wrong.
std::wstring ParseDeviceOptions(const std::vector<std::wstring>& args, size_t first,
                                std::optional<std::string>& name, DWORD* count) {
    for (size_t i = first; i < args.size(); i += 2) {
        const std::wstring& option = args[i];
        if (option != L"--name" && (!count || option != L"--count")) {
            return L"unknown option or argument: " + Shown(option);
        }
        if (i + 1 >= args.size()) {
            return option + L" needs a value";
        }
        const std::wstring& value = args[i + 1];
        if (option == L"--name") {
            std::string bytes;
            const std::wstring problem = LibraryName(value, bytes);
            if (!problem.empty()) {
                return problem;
            }
            name = bytes;
        } else if (!sim::ParseNumber(value, *count) || *count == 0) {
            return L"--count needs a number from 1, not " + Shown(value);
        }
    }
    return L"";
}

std::wstring FilterName(IBaseFilter* filter) {
    ComPtr<ISimDeviceInfo> info;
    sim::SimDeviceSnapshot snapshot = {};
    if (FAILED(filter->QueryInterface(IID_PPV_ARGS(&info))) ||
        FAILED(info->GetSnapshot(&snapshot))) {
        return L"(a filter of another driver)";
    }
    return L"\"" + std::wstring(snapshot.friendlyName) + L"\" [" + snapshot.id + L"]";
}

// What velto1 does at start-up, step by step, with what each step found.
int Find(const std::vector<std::wstring>& args) {
    std::optional<std::string> name;
    const std::wstring problem = ParseDeviceOptions(args, 0, name, nullptr);
    if (!problem.empty()) {
        return Usage(L"find: " + problem);
    }
    std::string wanted = name.value_or("");
    if (FAILED(CoInitialize(nullptr))) {
        return Fail(L"CoInitialize", E_FAIL);
    }
    int result = kFailure;
    {
        DeviceControl device;
        if (!name) {
            char registryName[260] = {};  // the library's buffer size for these names
            const bool fromRegistry = ReadCaptureDeviceName(registryName, nullptr) != FALSE;
            GetCaptureDeviceName(registryName);
            wanted = registryName;
            Out(L"capture device name: \"" + Widen(registryName) +
                (fromRegistry ? L"\" (registry)\n" : L"\" (default)\n"));
        }
        IBaseFilter* filter = device.FindCaptureFilterByName(wanted.c_str());
        const wchar_t* how = L"by name";
        if (!filter) {
            filter = device.FindKnownCaptureFilter();
            how = L"by the known-model list";
        }
        if (filter) {
            Out(L"found " + std::wstring(how) + L": " + FilterName(filter) + L"\n");
            filter->Release();
        } else {
            Out(L"found: nothing\n");
        }
        if (device.Bind(wanted.c_str())) {
            DWORD chipId = 0;
            device.GetProperty(CPROP_CHIP_ID, &chipId);
            BYTE option = 0;
            const HRESULT read = device.ReadI2c(0xA0, 0x08, 1, &option);
            Out(L"bound: chip id " + Hex(chipId) + L", EEPROM option byte " +
                (read == S_OK ? Hex(option) : L"unreadable (" + Status(read) + L")") + L"\n");
            result = kSuccess;
        } else {
            Out(L"not bound: last result " + Status(device.GetLastResult()) + L"\n");
        }
        device.Close();
    }
    CoUninitialize();
    return result;
}

// The property frame of the capture device, as the library shows it.
int Pages(const std::vector<std::wstring>& args) {
    std::optional<std::string> name;
    const std::wstring problem = ParseDeviceOptions(args, 0, name, nullptr);
    if (!problem.empty()) {
        return Usage(L"pages: " + problem);
    }
    if (FAILED(CoInitialize(nullptr))) {
        return Fail(L"CoInitialize", E_FAIL);
    }
    {
        DeviceControl device;
        if (name) {
            device.ShowPropertyPagesByName(nullptr, name->c_str());
        } else {
            device.ShowPropertyPages(nullptr);
        }
    }
    CoUninitialize();
    return kSuccess;
}

// Binds the capture device as the updater does (Open), or the one of the
// given name, and runs the work on it; without a device, exit 1.
int OnBoundDevice(const std::optional<std::string>& name,
                  const std::function<int(DeviceControl&)>& work) {
    if (FAILED(CoInitialize(nullptr))) {
        return Fail(L"CoInitialize", E_FAIL);
    }
    int result = kFailure;
    {
        DeviceControl device;
        const bool bound = (name ? device.Bind(name->c_str()) : device.Open()) != nullptr;
        if (bound) {
            DWORD chipId = 0;
            device.GetProperty(CPROP_CHIP_ID, &chipId);
            Out(L"bound: chip id " + Hex(chipId) + L"\n");
            result = work(device);
        } else {
            Out(L"not bound: last result " + Status(device.GetLastResult()) + L"\n");
        }
        device.Close();
    }
    CoUninitialize();
    return result;
}

std::wstring KeyText(DWORD key) {
    constexpr DWORD kKeyHeld = 254;
    constexpr DWORD kNoKey = 255;
    if (key == kKeyHeld) {
        return L"key held";
    }
    if (key == kNoKey) {
        return L"no key";
    }
    wchar_t text[16];
    swprintf(text, 16, L"key 0x%02lX", static_cast<unsigned long>(key));
    return text;
}

// The code bytes, and the frame they hold: byte 0 has the toggle in bit 7 and
// bits 6-0 set for a received frame; address and command follow.
std::wstring CodeText(const BYTE* code, DWORD length) {
    std::wstring text = L"code";
    wchar_t item[48];
    for (DWORD i = 0; i < length; ++i) {
        swprintf(item, 48, L" %02X", static_cast<unsigned>(code[i]));
        text += item;
    }
    if ((code[0] & 0x7F) == 0) {
        return text + L" (nothing received)";
    }
    swprintf(item, 48, L" (toggle %d, address 0x%02X, command 0x%02X)", (code[0] & 0x80) ? 1 : 0,
             static_cast<unsigned>(code[1]), static_cast<unsigned>(code[2]));
    return text + item;
}

// Reads remote-control input as a tool on the library would: decoded keys
// from ReadRemoteKey; where the chip generation has none (status 50), the
// raw codes from GetRemoteCode, as long as the board's codes are.
int Remote(const std::vector<std::wstring>& args) {
    std::optional<std::string> name;
    DWORD count = 1;
    const std::wstring problem = ParseDeviceOptions(args, 0, name, &count);
    if (!problem.empty()) {
        return Usage(L"remote: " + problem);
    }
    return OnBoundDevice(name, [count](DeviceControl& device) {
        DWORD boardType = 0;
        DWORD codeLength = 0;
        device.GetBoardInfo(&boardType, &codeLength);
        bool codes = false;
        for (DWORD read = 0; read < count; ++read) {
            HRESULT status = S_OK;
            if (!codes) {
                DWORD key = 0;
                status = device.ReadRemoteKey(&key);
                if (status != DEVCTL_S_NOT_SUPPORTED) {
                    if (FAILED(status)) {
                        return Fail(L"ReadRemoteKey", status);
                    }
                    Out(KeyText(key) + L"\n");
                    continue;
                }
                codes = true;
            }
            DWORD length = codeLength;
            BYTE code[8] = {};
            status = device.GetRemoteCode(code, &length);
            if (FAILED(status)) {
                return Fail(L"GetRemoteCode", status);
            }
            Out(CodeText(code, length) + L"\n");
        }
        return kSuccess;
    });
}

int Codec(const std::vector<std::wstring>& args) {
    DWORD index = 0;
    if (args.empty() || !sim::ParseNumber(args[0], index) || index > 0x7F) {
        return Usage(L"codec needs a register index from 0 to 0x7F" +
                     (args.empty() ? std::wstring() : L", not " + Shown(args[0])));
    }
    std::optional<std::string> name;
    const std::wstring problem = ParseDeviceOptions(args, 1, name, nullptr);
    if (!problem.empty()) {
        return Usage(L"codec: " + problem);
    }
    return OnBoundDevice(name, [index](DeviceControl& device) {
        WORD value = 0;
        const HRESULT status = device.ReadAc97(index, &value);
        if (status == DEVCTL_S_BUSY) {
            Out(L"codec not ready (status 5): nothing read\n");
            return kFailure;
        }
        if (FAILED(status)) {
            return Fail(L"ReadAc97", status);
        }
        wchar_t text[48];
        swprintf(text, 48, L"AC97 register 0x%02lX: 0x%04X\n", static_cast<unsigned long>(index),
                 static_cast<unsigned>(value));
        Out(text);
        return kSuccess;
    });
}

}  // namespace

int main() {
    // Plain "\n" line ends, so that scripts read the same lines everywhere.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) {
        return kFailure;
    }
    std::vector<std::wstring> args(argv + 1, argv + count);
    LocalFree(argv);
    if (args.empty() || args[0] == L"help" || args[0] == L"--help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? kUsageError : kSuccess;
    }
    const std::wstring command = args[0];
    args.erase(args.begin());
    if (command == L"register" || command == L"unregister") {
        if (args.size() > 1) {
            return Usage(command + L" takes at most a DLL path");
        }
        std::wstring dll = ModuleDirectory() + L"\\simdevice.dll";
        if (!args.empty()) {
            const std::optional<std::wstring> full = FullPath(args[0]);
            if (!full || HasControlCharacter(args[0])) {
                return Usage(command + L" needs a DLL path, not " + Shown(args[0]));
            }
            if (full->size() > kMaxPathLength) {
                return Usage(command + L": the DLL path is longer than 259 characters");
            }
            dll = *full;
        }
        return RegisterDll(dll, command == L"unregister");
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
    if (command == L"find") {
        return Find(args);
    }
    if (command == L"pages") {
        return Pages(args);
    }
    if (command == L"remote") {
        return Remote(args);
    }
    if (command == L"codec") {
        return Codec(args);
    }
    return Usage(L"unknown command: " + Shown(command));
}
