// The simulated chip's whole state as plain bytes of a fixed layout, so that
// 32-bit and 64-bit processes can share one copy (chip_memory.h). Every value
// of every field is a state the model can use: indexes are masked or bounded
// where they are read, so that a process killed in the middle of a call
// leaves a chip the next call can work on.
#pragma once

#include <windows.h>

#include <type_traits>

namespace sim {

// The remote-control receiver: frames waiting in arrival order (a ring).
constexpr DWORD kRemoteQueueLength = 64;
struct RemoteFrame {
    BYTE toggle;
    BYTE address;
    BYTE command;
    BYTE byte3;
    BYTE byte4;
};
struct RemoteState {
    RemoteFrame waiting[kRemoteQueueLength];
    RemoteFrame last;  // the last frame taken off
    BYTE latch[5];     // later generation: what 0x51-0x55 show
    DWORD first;       // ring index of the oldest waiting frame
    DWORD count;       // frames waiting
};

struct GpioState {
    BYTE latch;
    BYTE externalLevels;
    DWORD writeCount;  // writes to the GPIO register
};

struct CodecState {
    WORD registers[0x80];
    WORD data;
    BYTE lastCommand;
    DWORD busyPolls;
    DWORD busyForever;
};

struct EepromState {
    BYTE cells[256];
    BYTE pointer;
    DWORD writeCount;       // write transfers that reached the memory
    DWORD cellWrites[256];  // per cell: how often a write transfer stored it
};

struct ChipState {
    DWORD poweredOn;  // kPoweredOn once the power-on state is complete
    BYTE main[0x10000];
    BYTE alt[256];
    DWORD regSelect;
    DWORD altSelect;
    DWORD i2cDescriptor;
    DWORD i2cSelected;
    DWORD values[0x40];  // CPROP_ values 0x1000 to 0x103F
    GpioState gpio;
    CodecState codec;
    RemoteState remote;
    EepromState eeprom;
};
static_assert(std::is_trivially_copyable<ChipState>::value, "shared as plain bytes");

constexpr DWORD kPoweredOn = 0x51C41900;

}  // namespace sim
