#include "simdevice/chip/chip_memory.h"

#include "common/shared_objects.h"

namespace sim {

namespace {

// Local\: the simulator's devices are shared within one session (a file
// mapping in Global\ needs a privilege that users lack).
constexpr wchar_t kStatePrefix[] = L"Local\\velto1-simchip-state-";
constexpr wchar_t kMutexPrefix[] = L"Local\\velto1-simchip-calls-";

}  // namespace

std::unique_ptr<ChipMemory> ChipMemory::Private() {
    std::unique_ptr<ChipMemory> memory(new ChipMemory());
    memory->private_ = std::make_unique<ChipState>();  // value-initialised: zeroed
    memory->state_ = memory->private_.get();
    return memory;
}

HRESULT ChipMemory::Shared(const std::wstring& deviceId, std::unique_ptr<ChipMemory>& memory) {
    std::unique_ptr<ChipMemory> shared(new ChipMemory());
    shared->mutex_.Reset(velto1::CreateSharedMutex(kMutexPrefix + deviceId));
    if (!shared->mutex_.Valid()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    velto1::SharedObjectSecurity security;
    // A new mapping of the paging file starts zeroed: not yet powered on.
    shared->mapping_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security.Get(), PAGE_READWRITE,
                                              0, sizeof(ChipState),
                                              (kStatePrefix + deviceId).c_str()));
    if (!shared->mapping_.Valid()) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    void* view =
        MapViewOfFile(shared->mapping_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ChipState));
    if (!view) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    shared->state_ = static_cast<ChipState*>(view);
    memory = std::move(shared);
    return S_OK;
}

ChipMemory::~ChipMemory() {
    if (mapping_.Valid() && state_) {
        UnmapViewOfFile(state_);
    }
}

}  // namespace sim
