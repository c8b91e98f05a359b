#include "simdevice/chip/remote_receiver.h"

namespace sim {

namespace {

constexpr BYTE kToggleBit = 0x80;
constexpr BYTE kFrameReceived = 0x01;

BYTE CodeByte(const RemoteCode& code, bool received, size_t offset) {
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

BYTE SimRemoteReceiver::PresentedByte(size_t offset) const {
    return waiting_.empty() ? CodeByte(last_, false, offset)
                            : CodeByte(waiting_.front(), true, offset);
}

void SimRemoteReceiver::TakeOldest() {
    if (!waiting_.empty()) {
        last_ = waiting_.front();
        waiting_.pop_front();
    }
}

bool SimRemoteReceiver::Read(WORD index, BYTE* value) {
    if (chip_.IsNewGeneration()) {
        if (index < kNewCode || index >= kNewCode + kCodeBytes) {
            return false;
        }
        if (index == kNewCode) {
            for (size_t i = 0; i < kCodeBytes; ++i) {
                latch_[i] = PresentedByte(i);
            }
            TakeOldest();
        }
        *value = latch_[index - kNewCode];
        return true;
    }
    if (index == kOldAcknowledge) {
        *value = static_cast<BYTE>(waiting_.size() > 0xFF ? 0xFF : waiting_.size());
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
