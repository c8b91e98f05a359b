// The AC97 audio codec behind the bridge chip, reached through four chip
// registers: 0x40 and 0x41 hold the 16-bit data word (low byte at 0x40), a
// write of 0x42 issues a command (codec register index; bit 7 set reads the
// register into the data word, clear writes the data word to it), and bit 0 of
// 0x43 shows the codec busy.
#pragma once

#include <windows.h>

#include "simdevice/chip/chip.h"
#include "simdevice/chip/chip_state.h"

namespace sim {

class SimCodec : public RegisterBlock {
  public:
    static constexpr WORD kDataLow = 0x40;
    static constexpr WORD kDataHigh = 0x41;
    static constexpr WORD kCommand = 0x42;
    static constexpr WORD kStatus = 0x43;
    static constexpr BYTE kReadRequest = 0x80;
    static constexpr BYTE kBusy = 0x01;

    explicit SimCodec(CodecState& state) : state_(state) {}
    // The codec's state after reset.
    static void PowerOn(CodecState& state);

    bool Read(WORD index, BYTE* value) override;
    bool Write(WORD index, BYTE value) override;

    // Codec registers, indexed 0x00 to 0x7F, for set-up and inspection.
    WORD Register(BYTE index) const { return state_.registers[index & 0x7F]; }
    void SetRegister(BYTE index, WORD value) { state_.registers[index & 0x7F] = value; }

    // The next `polls` reads of the status register find the codec busy.
    void HoldBusy(unsigned polls) { state_.busyPolls = polls; }
    // Every read of the status register finds the codec busy.
    void HoldBusyForever() { state_.busyForever = TRUE; }

  private:
    bool Busy() const { return state_.busyForever || state_.busyPolls > 0; }
    void Execute(BYTE command);

    CodecState& state_;
};

}  // namespace sim
