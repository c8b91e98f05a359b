// DeviceControl: access to a USB video-capture bridge chip through its capture
// driver's private interface (ICustomProperty).
//
// Every operation that talks to the driver returns a status word: negative is
// a failure reported by the driver (DEVCTL_E_UNPLUGGED when the device is
// gone), zero or positive is success. The library adds its own positive codes
// below. The Try forms record the status and return TRUE when it is not
// negative. Nothing throws; the object is used from one thread.
#pragma once

#include <windows.h>

#include "devctl/custom_property.h"

struct IBaseFilter;
struct IMoniker;
class CallRecorder;
namespace devctl_internal {
class DeviceLock;
}

// The library's own status codes: positive, so they pass a not-negative test.
constexpr HRESULT DEVCTL_S_BUSY = ERROR_ACCESS_DENIED;           // 5: codec busy, GPIO input bit
constexpr HRESULT DEVCTL_S_NOT_BOUND = ERROR_INVALID_HANDLE;     // 6: no driver interface held
constexpr HRESULT DEVCTL_S_OUT_OF_RANGE = ERROR_INVALID_DATA;    // 13: argument out of range
constexpr HRESULT DEVCTL_S_NOT_READY = ERROR_NOT_READY;          // 21: I2C device not ready
constexpr HRESULT DEVCTL_S_NOT_SUPPORTED = ERROR_NOT_SUPPORTED;  // 50: not on this chip generation
constexpr HRESULT DEVCTL_S_BUFFER_SMALL = ERROR_INVALID_PARAMETER;  // 87: caller buffer too small
// 87 too: a transfer word that would also mean another transfer; nothing is sent.
constexpr HRESULT DEVCTL_S_INVALID_PARAMETER = ERROR_INVALID_PARAMETER;

// Another program held the device longer than the wait allows; nothing was
// sent. Negative, so that no not-negative test takes it for success.
constexpr HRESULT DEVCTL_E_DEVICE_BUSY = static_cast<HRESULT>(0x800705B4);  // ERROR_TIMEOUT
// A read answered success but the driver delivered none of its bytes (or not
// all): the buffer still showed the library's fill. Negative, so no caller takes
// it for data; the caller's buffer is left as after a failed read.
constexpr HRESULT DEVCTL_E_NOT_DELIVERED = static_cast<HRESULT>(0x8007001E);  // ERROR_READ_FAULT
// How long a sequence waits for the device by default: longer than an update
// holds it (four pauses of 500 ms and its transfers).
constexpr DWORD kDeviceWaitMilliseconds = 10000;
// The byte a read's buffer holds before the driver's Get (see DeviceControl's
// data buffers): none of the values an update reads or expects.
constexpr BYTE kUndeliveredFill = 0xC3;

// The library's name buffers: a device name of up to 259 bytes (characters,
// for wide names) and its terminator. Every name output takes at least this.
constexpr size_t kDeviceNameBufferSize = 260;

// Registry names with defaults (8-bit outputs of at least kDeviceNameBufferSize
// bytes, wide outputs of at least that many characters; each output is optional).
BOOL ReadAudioDeviceName(char* name, wchar_t* wideName);
void GetAudioDeviceName(char* name);
BOOL ReadCaptureDeviceName(char* name, wchar_t* wideName);
void GetCaptureDeviceName(char* name);

// Whether the other registry view (the 32-bit one for a 64-bit program, the
// 64-bit one for a 32-bit program on 64-bit Windows) registers a capture
// device whose friendly name begins with wantedName or a known model's name:
// a device whose driver serves the other bitness's programs only, which this
// program's search does not see. FALSE on 32-bit Windows, which has one view.
BOOL TryFindCaptureDeviceOfOtherBitness(const wchar_t* wantedName);

// Whether a chip code (the low byte of CPROP_CHIP_ID) is of the later
// generation, whose GPIO and remote-control registers sit elsewhere.
BOOL IsNewGenerationChip(DWORD chipCode);

// ReadRemoteKey's answers besides a key code (0 to 253).
constexpr DWORD kRemoteKeyHeld = 254;  // the key pressed last is still held
constexpr DWORD kRemoteNoKey = 255;    // no key, or another remote control's code

class DeviceControl {
  public:
    DeviceControl();
    // Releases nothing: call Close (and ReleaseAudioFilters) first.
    ~DeviceControl();
    DeviceControl(const DeviceControl&) = delete;
    DeviceControl& operator=(const DeviceControl&) = delete;

    // Lifetime and state. Close also lets go of every hold of the device.
    void Close();
    void ReleaseAudioFilters();
    HRESULT GetLastResult() const;

    // Records every driver call of this object in recorder (devctl/call_recorder.h)
    // from now on, or from the next binding when not bound; null stops. The
    // recorder stays the caller's and must outlive the recording.
    void RecordCalls(CallRecorder* recorder);

    // Property channel. GetProperty and SetProperty hand data to the driver
    // as it is: for the three data properties the driver moves as many bytes
    // as the selection it holds counts (up to 255 for register data, 0xFFFF
    // for I2C data), and that may be another program's selection. Use the
    // register and I2C operations below for data; they move it through a
    // buffer of the library's own.
    HRESULT GetProperty(DWORD id, void* data);
    HRESULT SetProperty(DWORD id, const void* data);
    DWORD GetValue1019();
    DWORD GetValue1034();
    DWORD GetValue1035();
    DWORD GetValue103C();

    // The device lock. Every select + data (+ reset) sequence of this library
    // holds the device, so that no other program's sequence that uses the
    // library lands between its select and its data: one lock per device (by
    // its moniker's display name, not its friendly name), shared by every
    // session and bitness; a device bound without a known identity (see
    // BindFilter) is held against every device's holders. A
    // sequence that waits longer than the wait time for it fails with
    // DEVCTL_E_DEVICE_BUSY (recorded) and sends nothing; a holder that ended
    // without letting go does not block (the next holder proceeds).
    //
    // HoldDevice holds it across several sequences, e.g. a write and its
    // read-back: S_OK, DEVCTL_E_DEVICE_BUSY or DEVCTL_S_NOT_BOUND (recorded).
    // Holds nest; each successful HoldDevice needs one ReleaseDevice. The
    // lock belongs to the calling thread. Programs that drive the driver
    // without this library (GetProperty and SetProperty included) can still
    // come between two calls: the data moves through the library's own
    // buffers all the same, and a read-back tells what was stored. The
    // operations below that take several sequences (SetGpioBits, ReadGpio,
    // GetVendorProductIds, the codec's, the remote control's code and key
    // reads, ClearRegister0CBit5) hold the device for all of them, and
    // TransferRaw holds it for its one call, a selection and its data to the
    // driver (DEVCTL_E_DEVICE_BUSY as a sequence gives it).
    HRESULT HoldDevice();
    void ReleaseDevice();
    // The wait for the device, kDeviceWaitMilliseconds until set.
    void SetDeviceWaitTime(DWORD milliseconds);
    DWORD GetDeviceWaitTime() const;

    // Data buffers of the register and I2C operations. A read's data holds at
    // least the count and at least 4 bytes: it receives the counted bytes, and
    // for counts of 1 to 4 the whole 32-bit word the driver delivered (the
    // bytes past the count keep what the buffer held unless the driver wrote
    // them). A write's data holds at least the count; nothing past it is read.
    // Whatever selection the driver holds, nothing outside these bytes is
    // written or read. A failed read leaves the caller's data as it was.
    //
    // A read proves its bytes are the driver's: the driver's Get says success
    // but not how many bytes it wrote. The library fills its buffer with
    // kUndeliveredFill first; where a counted byte comes back equal to it, it
    // reads once more over kUndeliveredFill's complement, and a byte that
    // followed the fill both times was not delivered: DEVCTL_E_NOT_DELIVERED
    // (recorded), and the selection is reset as after any failure. A read
    // whose bytes equal those of the sequence before it on the same kind of
    // selection, under another selection word, may be that selection still in
    // force (a select that answered success without acting): it selects again
    // and reads once more. A normal run, whose bytes are neither, makes no
    // extra call. The reads with an effect of their own (the codec's answer,
    // the remote control's code and acknowledge) are never read twice: they
    // are judged by their first answer alone, and count as not delivered only
    // when every counted byte still shows the fill.

    // Chip registers: main space (16-bit index) and alternate space (8-bit index)
    HRESULT ReadRegisters(DWORD index, DWORD count, void* data);
    HRESULT WriteRegisters(DWORD index, DWORD count, const void* data);
    HRESULT ReadAltRegisters(DWORD index, DWORD count, void* data);
    HRESULT WriteAltRegisters(DWORD index, DWORD count, const void* data);

    // I2C; addresses are 8-bit bus addresses (the EEPROM is 0xA0). TransferI2c
    // takes the count from the descriptor in the order drivers check its
    // layouts: top byte 1 (8-bit sub-address), bit 7 (16-bit), top byte and
    // bits 15-8 zero (direct), else long. ReadI2c16 and WriteI2c16 refuse the
    // sub-addresses 0x0100 to 0x01FF with DEVCTL_S_INVALID_PARAMETER (recorded)
    // and send nothing: their word is also an 8-bit sub-address transfer of
    // 0x80 + count bytes.
    HRESULT SelectI2cDevice(DWORD address);
    HRESULT ProbeI2cDevice(DWORD address, DWORD* state);
    HRESULT TransferI2c(DWORD descriptor, void* data, DWORD direction);
    HRESULT ReadI2cDirect(DWORD address, DWORD count, void* data);
    HRESULT WriteI2cDirect(DWORD address, DWORD count, const void* data);
    HRESULT ReadI2c(DWORD address, DWORD subAddress, DWORD count, void* data);
    HRESULT WriteI2c(DWORD address, DWORD subAddress, DWORD count, const void* data);
    HRESULT ReadI2c16(DWORD address, DWORD subAddress, DWORD count, void* data);
    HRESULT WriteI2c16(DWORD address, DWORD subAddress, DWORD count, const void* data);
    HRESULT ReadI2cLong(DWORD address, DWORD subAddress, DWORD length, void* data);
    HRESULT WriteI2cLong(DWORD address, DWORD subAddress, DWORD length, const void* data);

    // Pass-throughs to the driver's further slots. TransferRaw holds the
    // device (see the device lock above); InvokeRaw and SetValue103D pass
    // their call as it is, as GetProperty and SetProperty do.
    HRESULT TransferRaw(DWORD target, DWORD writeLength, const void* writeData, DWORD readLength,
                        void* readData);
    HRESULT InvokeRaw(DWORD first, DWORD second, DWORD third);
    HRESULT SetValue103D(DWORD value);

    // Boolean forms
    BOOL TryGetProperty(DWORD id, void* data);
    BOOL TrySetProperty(DWORD id, const void* data);
    BOOL TryReadRegisters(DWORD index, DWORD count, void* data);
    BOOL TryWriteRegisters(DWORD index, DWORD count, const void* data);
    BOOL TrySelectI2cDevice(DWORD address);
    BOOL TryReadI2cDirect(DWORD address, DWORD count, void* data);
    BOOL TryWriteI2cDirect(DWORD address, DWORD count, const void* data);
    BOOL TryReadI2c(DWORD address, DWORD subAddress, DWORD count, void* data);
    BOOL TryWriteI2c(DWORD address, DWORD subAddress, DWORD count, const void* data);
    BOOL TryReadI2c16(DWORD address, DWORD subAddress, DWORD count, void* data);
    BOOL TryWriteI2c16(DWORD address, DWORD subAddress, DWORD count, const void* data);
    BOOL TryReadI2cLong(DWORD address, DWORD subAddress, DWORD length, void* data);
    BOOL TryWriteI2cLong(DWORD address, DWORD subAddress, DWORD length, const void* data);

    // Binding to a capture filter the caller already holds: queries it for
    // ICustomProperty into the object and reads the chip identity, holding the
    // device for the reads. Returns the held interface (no extra reference) or
    // null; null with DEVCTL_E_DEVICE_BUSY recorded when another program held
    // the device longer than the wait time (nothing was sent). A driver already
    // held is released first. The filter stays the caller's.
    //
    // The device lock is the device's own when the library knows which device
    // the filter is: the filter FindCaptureDevice last returned on this object,
    // or one that a search (ForEachCaptureFilter, ForEachCaptureDeviceW) is
    // handing to a callback on this thread. Any other filter, such as one the
    // caller's own DirectShow enumeration made, tells no identity of its own:
    // it is bound to a lock that every device's holders exclude, so that its
    // sequences and those of every other program keep apart, on every device.
    ICustomProperty* BindFilter(IBaseFilter* filter);
    // The same with the moniker the caller made the filter from (its
    // IMoniker::BindToObject): the device lock is the device's own, named by
    // the moniker's display name, as the library's own searches name it. A null
    // moniker, or one without a display name, binds as BindFilter(filter).
    ICustomProperty* BindFilter(IBaseFilter* filter, IMoniker* device);

    // Discovery and binding. The optional foundName (at least kDeviceNameBufferSize bytes)
    // receives the found device's friendly name in the ANSI code page.
    IBaseFilter* FindFilter(GUID category, const char* wantedName, char* foundName = nullptr);
    IBaseFilter* FindCaptureFilterByName(const char* wantedName, char* foundName = nullptr);
    IBaseFilter* FindKnownCaptureFilter(char* foundName = nullptr);
    IBaseFilter* FindCaptureFilter();
    ICustomProperty* Bind(const char* wantedName);
    ICustomProperty* Open();
    BOOL CanBind(const char* wantedName);
    BOOL IsDevicePresent();
    void ShowPropertyPagesByName(HWND owner, const char* wantedName);
    void ShowPropertyPages(HWND owner);
    BOOL OpenAudioFilters(char* audioDeviceName, IBaseFilter** audioCaptureFilterOut,
                          IBaseFilter** audioDeviceFilterOut, IBaseFilter** audioRendererFilterOut);

    // The capture device the updater binds: the first whose friendly name
    // begins with wantedName (video input, then BDA receiver), else the first
    // of a known model. Returns its filter (the caller's reference) or null;
    // foundName (optional, at least kDeviceNameBufferSize bytes) receives its
    // friendly name and match (optional) how it was found. Bind(wantedName)
    // binds this device. The object keeps a reference of its own to the
    // filter, so that BindFilter knows its device, until it binds a filter or
    // Close.
    enum CaptureMatch : DWORD { kMatchedByName = 0, kMatchedKnownModel = 1 };
    // How a device was found in one word, as recordings and tools print it:
    // "name" or "known-model".
    static const char* CaptureMatchWord(DWORD match) {
        return match == kMatchedKnownModel ? "known-model" : "name";
    }
    IBaseFilter* FindCaptureDevice(const char* wantedName, char* foundName, DWORD* match);

    // Every capture device, not only the first: those whose friendly name
    // begins with wantedName, then those of each known model in list order;
    // for each name the video input category, then the BDA receiver one; each
    // device once. For every device whose filter binds, in that order, calls
    // found with the filter (the callback's for the call: AddRef to keep it),
    // its friendly name (ANSI code page) and how it matched; FALSE from found
    // ends the search. The first device handed out is the one Bind(wantedName)
    // binds. Returns the number of devices handed out.
    typedef BOOL(__stdcall* CaptureFilterFound)(void* context, IBaseFilter* filter,
                                                const char* friendlyName, DWORD match);
    DWORD ForEachCaptureFilter(const char* wantedName, CaptureFilterFound found, void* context);
    // The same search with names as Unicode text, as the registry holds them
    // (any length, any code page), that also hands out every matching device
    // whose filter could not be created: with a null filter and the status of
    // creating it (filter is null exactly when bindStatus is negative).
    typedef BOOL(__stdcall* CaptureDeviceFoundW)(void* context, IBaseFilter* filter,
                                                 HRESULT bindStatus, const wchar_t* friendlyName,
                                                 DWORD match);
    DWORD ForEachCaptureDeviceW(const wchar_t* wantedName, CaptureDeviceFoundW found,
                                void* context);

    // GPIO and identification. Typed outputs (the BYTE of ReadGpio and
    // ReadRegister04, the WORD of ReadAc97) receive exactly their own size.
    HRESULT SetGpioBits(DWORD mask);
    HRESULT ReadGpio(BYTE* data);
    HRESULT WriteGpio(const BYTE* data);
    BOOL TryReadGpio(BYTE* data);
    BOOL TryWriteGpio(const BYTE* data);
    HRESULT GetVendorProductIds(DWORD* vendor, DWORD* product);

    // Codec, remote control, board information and configuration
    HRESULT ReadAc97(DWORD index, WORD* value);
    HRESULT WriteAc97(DWORD index, const WORD* value);
    HRESULT ReadRemoteCode(DWORD* code);
    HRESULT ReadRemoteKey(DWORD* key);
    HRESULT ReadRemoteCode5(void* buffer);
    HRESULT GetRemoteCode(void* buffer, DWORD* length);
    HRESULT GetBoardInfo(DWORD* boardType, DWORD* codeLength);
    HRESULT ReadRegister04(BYTE* data);
    HRESULT WriteRegister04(const BYTE* data);
    HRESULT SetRegister0D();
    BOOL ClearRegister0CBit5();
    HRESULT GetConfig103E(BYTE* mode, BYTE* value, DWORD* firstFlag, DWORD* secondFlag);
    HRESULT SetConfig103E(DWORD mode, DWORD value, DWORD firstFlag, DWORD secondFlag);

  private:
    friend struct DeviceControlTestAccess;

    HRESULT Record(HRESULT status) { return lastResult = status; }
    // The searches with the moniker of the device found (the caller's
    // reference; device may be null).
    IBaseFilter* FindFilterOf(GUID category, const char* wantedName, char* foundName,
                              IMoniker** device);
    IBaseFilter* FindCaptureFilterByNameOf(const char* wantedName, char* foundName,
                                           IMoniker** device);
    IBaseFilter* FindKnownCaptureFilterOf(char* foundName, IMoniker** device);
    IBaseFilter* FindCaptureDeviceOf(const char* wantedName, char* foundName, DWORD* match,
                                     IMoniker** device);
    // BindFilter for the device of that display name (empty or null: not known).
    ICustomProperty* BindFilterAs(IBaseFilter* filter, const wchar_t* displayName);
    void ForgetFoundDevice();
    enum class DataMove { Write, Read, ReadWithEffect };
    HRESULT AccessData(DWORD selectId, DWORD dataId, DWORD selectWord, DWORD count, size_t capacity,
                       void* data, DataMove move);
    HRESULT ReadDelivered(DWORD selectId, DWORD dataId, DWORD selectWord, DWORD count,
                          BYTE* staging, size_t callerBytes, const void* callerData, DataMove move);
    HRESULT ReadRegistersWithEffect(DWORD index, DWORD count, void* data);
    HRESULT TransferI2cCounted(DWORD descriptor, DWORD count, void* data, DWORD direction);
    DWORD GetRecordedValue(DWORD id);
    BOOL Succeeded(HRESULT status) { return Record(status) >= 0; }
    // A read at the remote-control receiver's I2C address is answered with its key.
    bool IsRemoteKeyAddress(DWORD address) const {
        return remoteI2cAddress != 0 && address == remoteI2cAddress;
    }
    HRESULT ReadRemoteKeyInto(DWORD count, void* data);
    HRESULT WaitForCodec();
    HRESULT ReadRemoteCodeRegister(DWORD index, BYTE* code);

    ICustomProperty* driver;
    // Owned with the driver: made by BindFilter, deleted by Close.
    devctl_internal::DeviceLock* deviceLock;
    // The filter FindCaptureDevice returned last (a reference of this object's,
    // so that its address names it) and its device's display name
    // (CoTaskMemAlloc); both null when none. BindFilter and Close let go of them.
    IUnknown* foundFilter;
    wchar_t* foundDevice;
    DWORD deviceWaitMilliseconds;
    IBaseFilter* audioCaptureFilter;
    IBaseFilter* audioDeviceFilter;
    IBaseFilter* audioRendererFilter;
    DWORD gpioInputMask;
    HRESULT lastResult;
    DWORD remoteToggle;
    DWORD boardConfig;
    DWORD remoteAddress;
    DWORD remoteI2cAddress;
    DWORD chipId;
    DWORD newGeneration;
    CallRecorder* callRecorder;  // not owned; null: the driver's calls go straight to it
    // The last sequence of each kind of selection (main registers, alternate
    // registers, I2C): its word and the first of the bytes it moved.
    static constexpr size_t kRecentBytes = 16;
    struct RecentSequence {
        DWORD selectWord;
        DWORD length;  // bytes kept in bytes, 0: none known
        BYTE bytes[kRecentBytes];
    };
    RecentSequence recentSequences[3];
    RecentSequence& RecentSequenceOf(DWORD selectId);
};

// Holds the device for one scope (DeviceControl::HoldDevice); Status() tells
// whether it is held (S_OK).
class DeviceHold {
  public:
    explicit DeviceHold(DeviceControl& device) : device_(device), status_(device.HoldDevice()) {}
    ~DeviceHold() {
        if (status_ == S_OK) {
            device_.ReleaseDevice();
        }
    }
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;
    HRESULT Status() const { return status_; }

  private:
    DeviceControl& device_;
    HRESULT status_;
};
