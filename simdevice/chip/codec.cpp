#include "simdevice/chip/codec.h"

namespace sim {

void SimCodec::PowerOn(CodecState& state) {
    state = {};
    // Reset values of an AC97 codec: outputs muted, all sections ready.
    state.registers[0x02] = 0x8000;  // master volume
    state.registers[0x18] = 0x8808;  // PCM out volume
    state.registers[0x26] = 0x000F;  // power-down control/status
}

bool SimCodec::Read(WORD index, BYTE* value) {
    switch (index) {
        case kDataLow:
            *value = static_cast<BYTE>(state_.data);
            return true;
        case kDataHigh:
            *value = static_cast<BYTE>(state_.data >> 8);
            return true;
        case kCommand:
            *value = state_.lastCommand;
            return true;
        case kStatus:
            *value = Busy() ? kBusy : 0;
            if (state_.busyPolls > 0) {
                --state_.busyPolls;
            }
            return true;
        default:
            return false;
    }
}

bool SimCodec::Write(WORD index, BYTE value) {
    switch (index) {
        case kDataLow:
            state_.data = static_cast<WORD>((state_.data & 0xFF00) | value);
            return true;
        case kDataHigh:
            state_.data = static_cast<WORD>((state_.data & 0x00FF) | (value << 8));
            return true;
        case kCommand:
            Execute(value);
            return true;
        case kStatus:
            return true;  // read-only
        default:
            return false;
    }
}

void SimCodec::Execute(BYTE command) {
    state_.lastCommand = command;
    if (command & kReadRequest) {
        state_.data = Register(command);
    } else {
        SetRegister(command, state_.data);
    }
}

}  // namespace sim
