// The AC97 audio codec behind the bridge chip, reached through four chip
// registers: 0x40 and 0x41 hold the 16-bit data word (low byte at 0x40), a
// write of 0x42 issues a command (codec register index; bit 7 set reads the
// register into the data word, clear writes the data word to it), and bit 0 of
// 0x43 shows the codec busy.
#pragma once

#include <windows.h>

#include <array>

#include "simdevice/chip/chip.h"

namespace sim {

class SimCodec : public RegisterBlock {
  public:
    static constexpr WORD kDataLow = 0x40;
    static constexpr WORD kDataHigh = 0x41;
    static constexpr WORD kCommand = 0x42;
    static constexpr WORD kStatus = 0x43;
    static constexpr BYTE kReadRequest = 0x80;
    static constexpr BYTE kBusy = 0x01;

    SimCodec();

    bool Read(WORD index, BYTE* value) override;
    bool Write(WORD index, BYTE value) override;

    // Codec registers, indexed 0x00 to 0x7F, for set-up and inspection.
    WORD Register(BYTE index) const { return registers_[index & 0x7F]; }
    void SetRegister(BYTE index, WORD value) { registers_[index & 0x7F] = value; }

    // The next `polls` reads of the status register find the codec busy.
    void HoldBusy(unsigned polls) { busyPolls_ = polls; }
    // Every read of the status register finds the codec busy.
    void HoldBusyForever() { busyForever_ = true; }

  private:
    bool Busy() const { return busyForever_ || busyPolls_ > 0; }
    void Execute(BYTE command);

    std::array<WORD, 0x80> registers_{};
    WORD data_ = 0;
    BYTE lastCommand_ = 0;
    unsigned busyPolls_ = 0;
    bool busyForever_ = false;
};

}  // namespace sim
