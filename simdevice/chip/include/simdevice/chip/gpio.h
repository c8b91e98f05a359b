// The chip's GPIO port as the driver exposes it in the main register space.
// Older chips put the GPIO register at 0x08 and the input register at 0x09;
// the later generation moved them to 0x80 and 0x84. The pair in use follows
// the chip's identity at the time of each access; the other pair is plain
// memory.
//
// The pins are quasi-bidirectional: a pin whose latch bit is 0 is driven low,
// a pin whose latch bit is 1 is released and follows whatever the board puts
// on it. The input register therefore reads latch AND external level.
#pragma once

#include <windows.h>

#include "simdevice/chip/chip.h"
#include "simdevice/chip/chip_state.h"

namespace sim {

constexpr WORD kOlderGpioRegister = 0x08;
constexpr WORD kOlderGpioInputRegister = 0x09;
constexpr WORD kLaterGpioRegister = 0x80;
constexpr WORD kLaterGpioInputRegister = 0x84;

class SimGpio : public RegisterBlock {
  public:
    SimGpio(const SimChip& chip, GpioState& state) : chip_(chip), state_(state) {}
    // The state after reset: every pin released, none driven by the board.
    static void PowerOn(GpioState& state) { state = {0xFF, 0xFF, 0}; }

    bool Read(WORD index, BYTE* value) override;
    bool Write(WORD index, BYTE value) override;

    BYTE Latch() const { return state_.latch; }
    void SetLatch(BYTE value) { state_.latch = value; }
    // Levels the board drives onto the pins (1 where pulled up and undriven).
    void SetExternalLevels(BYTE levels) { state_.externalLevels = levels; }
    // What the input register reads now.
    BYTE PinLevels() const { return static_cast<BYTE>(state_.latch & state_.externalLevels); }
    // Number of writes to the GPIO register.
    unsigned WriteCount() const { return state_.writeCount; }

  private:
    WORD GpioRegister() const;
    WORD InputRegister() const;

    const SimChip& chip_;
    GpioState& state_;
};

}  // namespace sim
