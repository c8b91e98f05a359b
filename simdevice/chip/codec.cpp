#include "simdevice/chip/codec.h"

namespace sim {

SimCodec::SimCodec() {
    // Reset values of an AC97 codec: outputs muted, all sections ready.
    registers_[0x02] = 0x8000;  // master volume
    registers_[0x18] = 0x8808;  // PCM out volume
    registers_[0x26] = 0x000F;  // power-down control/status
}

bool SimCodec::Read(WORD index, BYTE* value) {
    switch (index) {
        case kDataLow:
            *value = static_cast<BYTE>(data_);
            return true;
        case kDataHigh:
            *value = static_cast<BYTE>(data_ >> 8);
            return true;
        case kCommand:
            *value = lastCommand_;
            return true;
        case kStatus:
            *value = Busy() ? kBusy : 0;
            if (busyPolls_ > 0) {
                --busyPolls_;
            }
            return true;
        default:
            return false;
    }
}

bool SimCodec::Write(WORD index, BYTE value) {
    switch (index) {
        case kDataLow:
            data_ = static_cast<WORD>((data_ & 0xFF00) | value);
            return true;
        case kDataHigh:
            data_ = static_cast<WORD>((data_ & 0x00FF) | (value << 8));
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
    lastCommand_ = command;
    if (command & kReadRequest) {
        data_ = Register(command);
    } else {
        SetRegister(command, data_);
    }
}

}  // namespace sim
