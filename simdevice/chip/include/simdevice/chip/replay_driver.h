// ReplayDriver: a simulated driver that answers every call from a recording
// made by the library's recorder (common/call_recording.h), in order. A call
// that is not the one recorded next (slot, property or target, bytes sent),
// or one made after the recording's end, fails with kReplayDiverged, and so
// does every call after it; the first divergence is kept and reported.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "common/call_recording.h"
#include "devctl/custom_property.h"
#include "common/com_object.h"

namespace sim {

// The replayed driver's status for a call the recording does not hold.
constexpr HRESULT kReplayDiverged = static_cast<HRESULT>(0x80040E25);

// Reads and checks a recording file. On refusal returns false with the
// reason, which names the line ("line 7: ...").
bool LoadRecording(const std::wstring& path, velto1::Recording* recording, std::wstring* problem);

// Where a device's replay stands: shared by the drivers of one device in a
// process, so that a program that binds twice goes on where it was.
class ReplaySession {
  public:
    // onDivergence gets the first divergence's text, once.
    ReplaySession(velto1::Recording recording,
                  std::function<void(const std::wstring&)> onDivergence)
        : recording_(std::move(recording)), onDivergence_(std::move(onDivergence)) {}

    // The recorded call that answers request, or null after a divergence.
    const velto1::RecordedCall* Answer(const velto1::RecordedCall& request);
    // "call 12: expected Set id=0x00001007 sent=01a00801, came Get id=0x00001008";
    // empty while the replay holds.
    const std::wstring& Divergence() const { return divergence_; }
    size_t Position() const { return next_; }

  private:
    velto1::Recording recording_;
    std::function<void(const std::wstring&)> onDivergence_;
    size_t next_ = 0;
    std::wstring divergence_;
};

class ReplayDriver : public velto1::ComObject<ICustomProperty> {
  public:
    explicit ReplayDriver(std::shared_ptr<ReplaySession> session) : session_(std::move(session)) {}

    HRESULT STDMETHODCALLTYPE ReservedSlot3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) override;
    HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) override;
    HRESULT STDMETHODCALLTYPE Invoke(DWORD first, DWORD second, DWORD third) override;
    HRESULT STDMETHODCALLTYPE Transfer(DWORD target, DWORD writeLength, const void* writeData,
                                       DWORD readLength, void* readData) override;
    HRESULT STDMETHODCALLTYPE SetDirect(DWORD id, DWORD value) override;

  private:
    ~ReplayDriver() override = default;
    // The bytes a property moves: one word, or for a data property the count
    // of the selection this replay last accepted.
    size_t DataSize(DWORD id) const;
    // Answers request; copies the recorded returned bytes to out (at most
    // capacity) and waits as long as the recorded call took.
    HRESULT Play(const velto1::RecordedCall& request, void* out, size_t capacity);

    std::shared_ptr<ReplaySession> session_;
    DWORD registerSelect_ = 0;
    DWORD altSelect_ = 0;
    DWORD i2cDescriptor_ = 0;
};

}  // namespace sim
