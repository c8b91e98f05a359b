// chipctl's commands. Each takes the words after its name, reads and checks
// all of them before it touches the device, and returns the exit code.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace chipctl {

using Words = std::vector<std::wstring>;
// The wanted device name from --name, in the ANSI code page; none: the registry's.
using WantedName = std::optional<std::string>;

int RunFind(const WantedName& name, const Words& words);
int RunInfo(const WantedName& name, const Words& words);
int RunPages(const WantedName& name, const Words& words);
int RunRegister(const WantedName& name, const Words& words);
int RunCodec(const WantedName& name, const Words& words);
int RunRemote(const WantedName& name, const Words& words);
int RunI2c(const WantedName& name, const Words& words);
int RunEeprom(const WantedName& name, const Words& words);
int RunConformance(const WantedName& name, const Words& words);

}  // namespace chipctl
