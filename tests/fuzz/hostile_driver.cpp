// The library against a hostile driver: every answer (bytes, how many, status)
// comes from the input, within what the driver's protocol lets a driver move,
// and every public operation runs on buffers of exactly the documented size.
// The calls are recorded, and the recording must read back.
#include "common/call_recording.h"
#include "devctl/call_recorder.h"
#include "devctl/device_control.h"
#include "fuzz_support.h"
#include "common/com_object.h"
#include "simdevice/chip/chip.h"

struct DeviceControlTestAccess {
    static void Attach(DeviceControl& dc, ICustomProperty* driver) { dc.driver = driver; }
};

namespace {

class HostileDriver : public velto1::ComObject<ICustomProperty> {
  public:
    explicit HostileDriver(fuzz::Input& input) : in_(input) {}
    HRESULT STDMETHODCALLTYPE ReservedSlot3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) override {
        if (data) {
            Touch(data, Count(id));
            const HRESULT status = Status();
            DWORD word = 0;
            std::memcpy(&word, data, sizeof word);
            selections_[id] = status >= 0 ? word : selections_[id];
            return status;
        }
        return Status();
    }
    HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) override {
        if (data) {
            const std::string bytes = in_.Bytes(Count(id));
            std::memcpy(data, bytes.data(), bytes.size());
        }
        return Status();
    }
    HRESULT STDMETHODCALLTYPE Invoke(DWORD, DWORD, DWORD) override { return Status(); }
    HRESULT STDMETHODCALLTYPE Transfer(DWORD, DWORD writeLength, const void* writeData,
                                       DWORD readLength, void* readData) override {
        if (writeData) {
            Touch(writeData, writeLength);
        }
        if (readData) {
            const std::string bytes =
                in_.Bytes(in_.Byte() < 200 ? readLength : in_.Word16() % (readLength + 1));
            std::memcpy(readData, bytes.data(), bytes.size());
        }
        return Status();
    }
    HRESULT STDMETHODCALLTYPE SetDirect(DWORD, DWORD) override { return Status(); }

  private:
    // How many bytes a property moves: what the selection this driver holds
    // counts, or (a driver that keeps another program's selection) any count
    // the property's select word can name.
    size_t Count(DWORD id) {
        const std::optional<DWORD> select = sim::SelectionPropertyOf(id);
        if (!select) {
            return sizeof(DWORD);
        }
        const size_t most = id == CPROP_I2C_DATA ? 0xFFFF : 0xFF;
        const BYTE how = in_.Byte();
        return how < 200   ? sim::SelectionCount(*select, selections_[*select])
               : how < 230 ? in_.Byte() % 5
                           : in_.Word16() % (most + 1);
    }
    HRESULT Status() {
        static const HRESULT kStatuses[] = {S_FALSE,
                                            E_FAIL,
                                            DEVCTL_E_UNPLUGGED,
                                            ERROR_NOT_READY,
                                            static_cast<HRESULT>(0x80040E25),
                                            0x7FFFFFFF};
        const BYTE pick = in_.Byte();
        return pick < 192 ? S_OK : kStatuses[pick % std::size(kStatuses)];
    }
    void Touch(const void* data, size_t count) {
        std::vector<BYTE> copy(static_cast<const BYTE*>(data),
                               static_cast<const BYTE*>(data) + count);
    }
    fuzz::Input& in_;
    std::map<DWORD, DWORD> selections_;
};

// A read's buffer: the count and at least a word; a failed read leaves it as it was.
template <typename Read>
void CheckedRead(DWORD count, Read read) {
    fuzz::ExactBuffer buffer(std::max<size_t>(count, 4), 0x5A);
    if (read(buffer.Data()) < 0) {
        for (size_t i = 0; i < buffer.Size(); ++i) {
            FUZZ_CHECK(buffer.Data()[i] == 0x5A);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    CallRecorder recorder("fuzz");
    recorder.SetDevice(in.Bytes(in.Byte() % 24).c_str(), "name");
    DeviceControl dc;
    auto* driver = new HostileDriver(in);
    DeviceControlTestAccess::Attach(dc, driver);
    dc.RecordCalls(&recorder);
    while (!in.Empty()) {
        const BYTE op = in.Byte();
        const DWORD a = in.Dword(), b = in.Dword(),
                    count = in.Word16() % (in.Byte() < 128 ? 9 : 0x10001);
        fuzz::ExactBuffer written(count, in.Byte());
        DWORD d1 = 0, d2 = 0;
        BYTE byte = 0, byte2 = 0;
        WORD word = 0;
        switch (op % 34) {
            case 0:
                CheckedRead(count, [&](BYTE* p) { return dc.ReadRegisters(a, count, p); });
                break;
            case 1:
                dc.WriteRegisters(a, count, written.Data());
                break;
            case 2:
                CheckedRead(count, [&](BYTE* p) { return dc.ReadAltRegisters(a, count, p); });
                break;
            case 3:
                dc.WriteAltRegisters(a, count, written.Data());
                break;
            case 4:
                dc.SelectI2cDevice(a);
                break;
            case 5:
                dc.ProbeI2cDevice(a, &d1);
                break;
            case 6: {
                const DWORD n = sim::DecodeI2cDescriptor(a).count;
                fuzz::ExactBuffer buffer(std::max<size_t>(n, 4));
                dc.TransferI2c(a, buffer.Data(), b & 1);
                break;
            }
            case 7:
                CheckedRead(count, [&](BYTE* p) { return dc.ReadI2cDirect(a, count, p); });
                break;
            case 8:
                dc.WriteI2cDirect(a, count, written.Data());
                break;
            case 9:
                CheckedRead(count, [&](BYTE* p) { return dc.ReadI2c(a, b, count, p); });
                break;
            case 10:
                dc.WriteI2c(a, b, count, written.Data());
                break;
            case 11:
                CheckedRead(count, [&](BYTE* p) { return dc.ReadI2c16(a, b, count, p); });
                break;
            case 12:
                dc.WriteI2c16(a, b, count, written.Data());
                break;
            case 13:
                CheckedRead(count, [&](BYTE* p) { return dc.ReadI2cLong(a, b, count, p); });
                break;
            case 14:
                dc.WriteI2cLong(a, b, count, written.Data());
                break;
            case 15: {
                fuzz::ExactBuffer read(b & 0xFFFF);
                dc.TransferRaw(a, count, written.Data(), static_cast<DWORD>(read.Size()),
                               read.Data());
                break;
            }
            case 16:
                dc.InvokeRaw(a, b, count);
                break;
            case 17:
                dc.SetValue103D(a);
                break;
            case 18:
                dc.SetGpioBits(a);
                break;
            case 19:
                dc.ReadGpio(&byte);
                break;
            case 20:
                byte = static_cast<BYTE>(a);
                dc.WriteGpio(&byte);
                break;
            case 21:
                dc.GetVendorProductIds(&d1, &d2);
                break;
            case 22:
                dc.ReadAc97(a, &word);
                break;
            case 23:
                word = static_cast<WORD>(b);
                dc.WriteAc97(a, &word);
                break;
            case 24:
                dc.ReadRemoteCode(&d1);
                break;
            case 25:
                dc.ReadRemoteKey(&d1);
                break;
            case 26: {
                fuzz::ExactBuffer code(5);
                dc.ReadRemoteCode5(code.Data());
                break;
            }
            case 27: {
                DWORD length = count;
                fuzz::ExactBuffer code(length);
                dc.GetRemoteCode(code.Data(), &length);
                FUZZ_CHECK(length <= code.Size() || length == count);
                break;
            }
            case 28:
                dc.GetBoardInfo(&d1, &d2);
                break;
            case 29:
                dc.ReadRegister04(&byte);
                break;
            case 30:
                dc.SetRegister0D();
                dc.ClearRegister0CBit5();
                break;
            case 31:
                dc.GetConfig103E(&byte, &byte2, &d1, &d2);
                break;
            case 32:
                dc.SetConfig103E(a, b, count, d1);
                break;
            case 33: {
                const DWORD id = CPROP_CHIP_CONFIG + (a & 0x3F);
                fuzz::ExactBuffer property(sim::SelectionPropertyOf(id) ? 0xFFFF : 4);
                (b & 1) ? dc.GetProperty(id, property.Data()) : dc.SetProperty(id, property.Data());
                dc.GetValue1019(), dc.GetValue1034(), dc.GetValue1035(), dc.GetValue103C();
                break;
            }
        }
    }
    dc.Close();
    velto1::Recording recording;
    DWORD line = 0;
    std::string problem;
    if (!velto1::ParseRecording(recorder.Text(), &recording, &line, &problem)) {
        std::fprintf(stderr, "the recording does not read back: line %lu: %s\n",
                     static_cast<unsigned long>(line), problem.c_str());
        FUZZ_CHECK(false);
    }
    FUZZ_CHECK(recording.calls.size() == recorder.CallCount());
    return 0;
}
