#include "simdevice/chip/remote_receiver.h"

namespace sim {

namespace {

constexpr BYTE kToggleBit = 0x80;
constexpr BYTE kFrameReceived = 0x01;

BYTE CodeByte(const RemoteFrame& code, bool received, size_t offset) {
    switch (offset) {
        case 0:
            return static_cast<BYTE>((code.toggle ? kToggleBit : 0) |
                                     (received ? kFrameReceived : 0));
        case 1:
            return code.address;
        case 2:
            return code.command;
        case 3:
            return code.byte3;
        default:
            return code.byte4;
    }
}

}  // namespace

void SimRemoteReceiver::Queue(const RemoteCode& code) {
    const DWORD waiting = Waiting();
    if (waiting < kRemoteQueueLength) {
        state_.waiting[(state_.first + waiting) % kRemoteQueueLength] = {
            static_cast<BYTE>(code.toggle ? 1 : 0), code.address, code.command, code.byte3,
            code.byte4};
        state_.count = waiting + 1;
    }
}

DWORD SimRemoteReceiver::Waiting() const {
    return state_.count < kRemoteQueueLength ? state_.count : kRemoteQueueLength;
}

BYTE SimRemoteReceiver::PresentedByte(size_t offset) const {
    return Waiting() == 0
               ? CodeByte(state_.last, false, offset)
               : CodeByte(state_.waiting[state_.first % kRemoteQueueLength], true, offset);
}

void SimRemoteReceiver::TakeOldest() {
    const DWORD waiting = Waiting();
    if (waiting > 0) {
        state_.last = state_.waiting[state_.first % kRemoteQueueLength];
        state_.first = (state_.first + 1) % kRemoteQueueLength;
        state_.count = waiting - 1;
    }
}

bool SimRemoteReceiver::Read(WORD index, BYTE* value) {
    if (chip_.IsNewGeneration()) {
        if (index < kNewCode || index >= kNewCode + kCodeBytes) {
            return false;
        }
        if (index == kNewCode) {
            for (size_t i = 0; i < kCodeBytes; ++i) {
                state_.latch[i] = PresentedByte(i);
            }
            TakeOldest();
        }
        *value = state_.latch[index - kNewCode];
        return true;
    }
    if (index == kOldAcknowledge) {
        *value = static_cast<BYTE>(Waiting());
        TakeOldest();
        return true;
    }
    if (index >= kOldCode && index < kOldCode + kCodeBytes - 1) {
        *value = PresentedByte(index - kOldCode);
        return true;
    }
    return false;
}

// The code registers are read-only; writes to them are dropped.
bool SimRemoteReceiver::Write(WORD index, BYTE /*value*/) {
    if (chip_.IsNewGeneration()) {
        return index >= kNewCode && index < kNewCode + kCodeBytes;
    }
    return index >= kOldAcknowledge && index < kOldCode + kCodeBytes - 1;
}

}  // namespace sim
