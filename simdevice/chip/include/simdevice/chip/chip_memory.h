// Where a simulated chip's state lives. The chip of a registered device is
// powered while the device is plugged in, as silicon is: its state is kept in
// a file (the device's state file), which every process that binds the device
// maps, so that all of them work on one chip and each finds it as the last
// call left it, whether or not the program that made that call still runs. A
// named mutex keyed by the device id orders their calls (a ChipCall holds it
// for each). A chip without a device id lives in the process.
//
// Each process calls on a copy of its own; a call's changes become the chip's
// state when the call commits them, whole: the file holds two slots, the new
// state goes to the slot not in use with its checksum, and one word then names
// it. A process killed in the middle of a call leaves the state of the last
// call that committed; the next caller takes the abandoned mutex and goes on
// from there. A file that holds no whole state of this layout (missing, short,
// long, torn or someone else's) is a chip not yet powered on; nothing beyond
// the file's fixed size is ever read.
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
    // The state of the device of this id (letters, digits and -_. only), kept
    // in stateFile, which is created when missing; a file of another size is
    // made a zeroed one of the right size (a chip not yet powered on).
    static HRESULT Shared(const std::wstring& deviceId, const std::wstring& stateFile,
                          std::unique_ptr<ChipMemory>& memory);
    // The mutex that orders the calls on the device's chip, alone.
    static HRESULT OpenCallMutex(const std::wstring& deviceId, velto1::UniqueHandle& mutex);
    ~ChipMemory();
    ChipMemory(const ChipMemory&) = delete;
    ChipMemory& operator=(const ChipMemory&) = delete;

    // The state a call works on (ChipCall).
    ChipState& State() { return *state_; }
    // The mutex that orders the calls on a shared state; null for a private one.
    HANDLE CallMutex() const { return mutex_.Get(); }
    // Whether the file holds a whole state of this layout (a private state
    // always is one). May be asked without the mutex: a commit meanwhile can
    // make it say no, never yes for a state that is not whole.
    bool HoldsState() const;

  private:
    friend class ChipCall;
    ChipMemory() = default;
    // Holding the mutex: State() becomes the state the last commit left.
    void Load();
    // Holding the mutex: State() becomes the chip's state, whole.
    void Commit();

    ChipState* state_ = nullptr;
    std::unique_ptr<ChipState> private_;  // the state, or a shared state's copy
    BYTE* file_ = nullptr;                // the state file's view, when shared
    DWORD seenCommits_ = 0;               // the commit that private_ holds
    bool copyCurrent_ = false;            // private_ is that commit, unchanged
    velto1::UniqueHandle mapping_;
    velto1::UniqueHandle mutex_;
};

// One call on a chip: holds its mutex (waiting at most the given time), with
// State() as the last committed call left it. Commit makes the call's changes
// the chip's state; a call that ends without it changes nothing.
class ChipCall {
  public:
    ChipCall(ChipMemory& memory, DWORD waitMilliseconds)
        : hold_(memory.CallMutex(), waitMilliseconds), memory_(memory) {
        if (hold_.Held()) {
            memory_.Load();
        }
    }
    ChipCall(const ChipCall&) = delete;
    ChipCall& operator=(const ChipCall&) = delete;

    bool Held() const { return hold_.Held(); }
    void Commit() {
        if (hold_.Held()) {
            memory_.Commit();
        }
    }

  private:
    velto1::MutexOwnership hold_;
    ChipMemory& memory_;
};

}  // namespace sim
