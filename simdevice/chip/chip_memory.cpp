#include "simdevice/chip/chip_memory.h"

#include <cstring>
#include <vector>

#include "common/shared_objects.h"

namespace sim {

namespace {

using velto1::UniqueHandle;

// Local\: the simulator's devices are shared within one session.
constexpr wchar_t kMutexPrefix[] = L"Local\\velto1-simchip-calls-";

// The state file: this header, then two slots of one state each. The state
// is in slot commits % 2; a commit fills the other slot and its checksum
// first, and then counts itself.
struct StateFileHeader {
    DWORD magic;
    DWORD layout;     // kChipStateLayout
    DWORD stateSize;  // sizeof(ChipState)
    DWORD commits;
    DWORD checksum[2];  // of each slot
    DWORD unused[10];
};
static_assert(sizeof(StateFileHeader) == 64, "the slots start 64-byte aligned");
constexpr DWORD kStateFileMagic = 0x43536C76;  // "vlSC"
constexpr size_t kSlotSize = (sizeof(ChipState) + 63) / 64 * 64;
constexpr size_t kStateFileSize = sizeof(StateFileHeader) + 2 * kSlotSize;

// A 32-bit checksum of a slot: four FNV-1a lanes over its words, so that a
// commit costs a few microseconds; enough to tell a torn or foreign slot.
DWORD Checksum(const BYTE* bytes) {
    static_assert(sizeof(ChipState) % 16 == 0, "whole groups of four words");
    DWORD lanes[4] = {0x811C9DC5u, 0x811C9DC5u ^ 1, 0x811C9DC5u ^ 2, 0x811C9DC5u ^ 3};
    for (size_t at = 0; at < sizeof(ChipState); at += 16) {
        for (size_t lane = 0; lane < 4; ++lane) {
            DWORD word = 0;
            std::memcpy(&word, bytes + at + 4 * lane, sizeof word);
            lanes[lane] = (lanes[lane] ^ word) * 0x01000193u;
        }
    }
    DWORD sum = 0x811C9DC5u;
    for (DWORD lane : lanes) {
        sum = (sum ^ lane) * 0x01000193u;
        sum ^= sum >> 15;
    }
    return sum;
}

// Whether the slot holds this state. Compared a block of words at a time: the
// C runtime's memcmp under Wine goes byte by byte, and most calls change nothing.
bool Holds(const BYTE* slot, const ChipState& state) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&state);
    for (size_t at = 0; at < sizeof(ChipState); at += 64) {
        DWORD differs = 0;
        for (size_t word = at; word < at + 64 && word < sizeof(ChipState); word += 4) {
            DWORD ours = 0;
            DWORD theirs = 0;
            std::memcpy(&ours, bytes + word, sizeof ours);
            std::memcpy(&theirs, slot + word, sizeof theirs);
            differs |= ours ^ theirs;
        }
        if (differs) {
            return false;
        }
    }
    return true;
}

volatile StateFileHeader& HeaderOf(BYTE* file) {
    return *reinterpret_cast<volatile StateFileHeader*>(file);
}
BYTE* SlotOf(BYTE* file, DWORD commits) {
    return file + sizeof(StateFileHeader) + (commits & 1) * kSlotSize;
}
bool OfThisLayout(const volatile StateFileHeader& header) {
    return header.magic == kStateFileMagic && header.layout == kChipStateLayout &&
           header.stateSize == sizeof(ChipState);
}

HRESULT LastError() {
    return HRESULT_FROM_WIN32(GetLastError());
}

// Makes the file zeros of the state file's size: no state, a chip not yet on.
HRESULT MakeEmpty(HANDLE file) {
    const std::vector<BYTE> zeros(kStateFileSize);
    LARGE_INTEGER start = {};
    DWORD written = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        !WriteFile(file, zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr) ||
        !SetEndOfFile(file)) {
        return LastError();
    }
    return written == zeros.size() ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

LONGLONG SizeOf(HANDLE file) {
    LARGE_INTEGER size = {};
    return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

}  // namespace

std::unique_ptr<ChipMemory> ChipMemory::Private() {
    std::unique_ptr<ChipMemory> memory(new ChipMemory());
    memory->private_ = std::make_unique<ChipState>();  // value-initialised: zeroed
    memory->state_ = memory->private_.get();
    return memory;
}

HRESULT ChipMemory::OpenCallMutex(const std::wstring& deviceId, velto1::UniqueHandle& mutex) {
    mutex.Reset(velto1::CreateSharedMutex(kMutexPrefix + deviceId));
    return mutex.Valid() ? S_OK : LastError();
}

HRESULT ChipMemory::Shared(const std::wstring& deviceId, const std::wstring& stateFile,
                           std::unique_ptr<ChipMemory>& memory) {
    if (stateFile.empty()) {
        return E_INVALIDARG;
    }
    std::unique_ptr<ChipMemory> shared(Private());
    HRESULT status = OpenCallMutex(deviceId, shared->mutex_);
    if (FAILED(status)) {
        return status;
    }
    const UniqueHandle file(CreateFileW(stateFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return LastError();
    }
    if (SizeOf(file.Get()) != static_cast<LONGLONG>(kStateFileSize)) {
        // Written out rather than grown by the mapping, so that the disk holds
        // its blocks before any call stores into them.
        const velto1::MutexOwnership hold(shared->mutex_.Get(), kChipCallWaitMilliseconds);
        if (!hold.Held()) {
            return kChipHeldTooLong;
        }
        if (SizeOf(file.Get()) != static_cast<LONGLONG>(kStateFileSize)) {
            status = MakeEmpty(file.Get());
            if (FAILED(status)) {
                return status;
            }
        }
    }
    shared->mapping_.Reset(
        CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE, 0, kStateFileSize, nullptr));
    if (!shared->mapping_.Valid()) {
        return LastError();
    }
    void* view = MapViewOfFile(shared->mapping_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kStateFileSize);
    if (!view) {
        return LastError();
    }
    shared->file_ = static_cast<BYTE*>(view);
    memory = std::move(shared);
    return S_OK;
}

ChipMemory::~ChipMemory() {
    if (file_) {
        UnmapViewOfFile(file_);
    }
}

bool ChipMemory::HoldsState() const {
    if (!file_) {
        return true;
    }
    const volatile StateFileHeader& header = HeaderOf(file_);
    const DWORD commits = header.commits;
    MemoryBarrier();
    return OfThisLayout(header) && Checksum(SlotOf(file_, commits)) == header.checksum[commits & 1];
}

void ChipMemory::Load() {
    if (!file_) {
        return;
    }
    const DWORD commits = HeaderOf(file_).commits;
    if (!copyCurrent_ || commits != seenCommits_) {
        std::memcpy(private_.get(), SlotOf(file_, commits), sizeof(ChipState));
        seenCommits_ = commits;
    }
    copyCurrent_ = false;  // the call may change it
}

void ChipMemory::Commit() {
    if (!file_) {
        return;
    }
    volatile StateFileHeader& header = HeaderOf(file_);
    const DWORD commits = header.commits;
    // A call that changed nothing (most reads) leaves the file alone.
    if (OfThisLayout(header) && Holds(SlotOf(file_, commits), *private_)) {
        seenCommits_ = commits;
        copyCurrent_ = true;
        return;
    }
    const DWORD next = commits + 1;
    BYTE* slot = SlotOf(file_, next);
    std::memcpy(slot, private_.get(), sizeof(ChipState));
    header.checksum[next & 1] = Checksum(slot);
    header.magic = kStateFileMagic;
    header.layout = kChipStateLayout;
    header.stateSize = sizeof(ChipState);
    MemoryBarrier();  // whoever sees the count sees the slot
    header.commits = next;
    seenCommits_ = next;
    copyCurrent_ = true;
}

}  // namespace sim
