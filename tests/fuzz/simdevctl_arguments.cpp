// simdevctl add's command line: the settings table reads every option, a
// --replay FILE recording included (one word a line of the input).
#include "common/command_line.h"
#include "fuzz_support.h"
#include "simdevice/devices/settings_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<velto1::OptionSpec> options = {{L"--reset-eeprom", false}};
    for (const sim::Setting& setting : sim::Settings()) {
        options.push_back({setting.option, setting.argument != nullptr, true});
    }
    const velto1::CommandLine line(fuzz::Words(fuzz::Text(data, size)), options);
    if (!line.Ok() || line.Words().empty() || !sim::ValidDeviceId(line.Words()[0])) {
        return 0;
    }
    sim::DeviceSettings settings;
    for (const velto1::GivenOption& option : line.Given()) {
        if (const sim::Setting* setting = sim::FindSetting(option.name)) {
            if (!setting->form->parse(option.name, option.value, settings).empty()) {
                return 0;
            }
        }
    }
    sim::ListedSettings(settings);
    return 0;
}
