// The bridge chip's remote-control receiver. Frames received from a remote
// control wait in arrival order; the oldest is presented in the code
// registers, byte 0 first:
//   byte 0  bit 7: the frame's toggle bit; bits 6-0: 1 for a received frame,
//           0 when nothing is waiting (the last toggle stays in bit 7)
//   byte 1  address of the sending remote control
//   byte 2  command (the key code)
//   bytes 3-4  further code bytes of long frames
// Older generation: 0x45-0x48 show the oldest frame, and a read of 0x44 takes
// it off. Later generation: a read of 0x51 takes the oldest frame off into a
// latch that 0x51-0x55 show, so that one read of five bytes sees one frame.
// Bytes 1 to 4 keep the last frame's values while nothing is waiting.
#pragma once

#include <windows.h>

#include "simdevice/chip/chip.h"
#include "simdevice/chip/chip_state.h"

namespace sim {

struct RemoteCode {
    bool toggle = false;  // flipped by the remote control at each new key press
    BYTE address = 0;
    BYTE command = 0;
    BYTE byte3 = 0;
    BYTE byte4 = 0;
};

class SimRemoteReceiver : public RegisterBlock {
  public:
    static constexpr WORD kOldAcknowledge = 0x44;
    static constexpr WORD kOldCode = 0x45;
    static constexpr WORD kNewCode = 0x51;
    static constexpr WORD kCodeBytes = 5;

    SimRemoteReceiver(const SimChip& chip, RemoteState& state) : chip_(chip), state_(state) {}

    bool Read(WORD index, BYTE* value) override;
    bool Write(WORD index, BYTE value) override;

    // Adds a frame after those waiting; a full queue (kRemoteQueueLength)
    // drops it, as a receiver's buffer would.
    void Queue(const RemoteCode& code);

  private:
    DWORD Waiting() const;
    // The code bytes of the oldest waiting frame, or of the idle receiver.
    BYTE PresentedByte(size_t offset) const;
    void TakeOldest();

    const SimChip& chip_;
    RemoteState& state_;
};

}  // namespace sim
