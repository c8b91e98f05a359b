#include "simdevice/chip/gpio.h"

namespace sim {

WORD SimGpio::GpioRegister() const {
    return chip_.IsNewGeneration() ? kLaterGpioRegister : kOlderGpioRegister;
}

WORD SimGpio::InputRegister() const {
    return chip_.IsNewGeneration() ? kLaterGpioInputRegister : kOlderGpioInputRegister;
}

bool SimGpio::Read(WORD index, BYTE* value) {
    if (index == GpioRegister()) {
        *value = state_.latch;
        return true;
    }
    if (index == InputRegister()) {
        *value = PinLevels();
        return true;
    }
    return false;
}

bool SimGpio::Write(WORD index, BYTE value) {
    if (index == GpioRegister()) {
        state_.latch = value;
        ++state_.writeCount;
        return true;
    }
    // The input register is read-only: a write to it is swallowed.
    return index == InputRegister();
}

}  // namespace sim
