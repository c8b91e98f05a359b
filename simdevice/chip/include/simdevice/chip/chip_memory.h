// Where a simulated chip's state lives. A chip of a registered device lives in
// a named file mapping keyed by the device id, so every process that binds the
// device works on one chip, as programs share one piece of silicon; a named
// mutex beside it orders their calls (the simulated driver holds it for each
// call). The chip lives while any process holds it, and powers on afresh after
// the last one lets go. A chip without a device id lives in the process.
//
// A process killed in the middle of a call leaves its mutex abandoned: the next
// caller takes it and goes on with the state as it was left, which is always a
// usable one (chip_state.h). The power-on state is marked complete last, so a
// process killed while making it leaves the next one to make it again.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "common/win32_owners.h"
#include "simdevice/chip/chip_state.h"

namespace sim {

// How long a call waits for another process's call on the same chip.
constexpr DWORD kChipCallWaitMilliseconds = 30000;
// What a call answers when that wait runs out.
constexpr HRESULT kChipHeldTooLong = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

class ChipMemory {
  public:
    // The state in this process's memory, zeroed.
    static std::unique_ptr<ChipMemory> Private();
    // The state shared by every process that opens it under this device id
    // (letters, digits and -_. only).
    static HRESULT Shared(const std::wstring& deviceId, std::unique_ptr<ChipMemory>& memory);
    ~ChipMemory();
    ChipMemory(const ChipMemory&) = delete;
    ChipMemory& operator=(const ChipMemory&) = delete;

    ChipState& State() { return *state_; }
    // The mutex that orders the calls on a shared state; null for a private one.
    HANDLE CallMutex() const { return mutex_.Get(); }

  private:
    ChipMemory() = default;

    ChipState* state_ = nullptr;
    std::unique_ptr<ChipState> private_;
    velto1::UniqueHandle mapping_;
    velto1::UniqueHandle mutex_;
};

}  // namespace sim
