// ICustomProperty: the capture driver's private COM interface, reached by
// QueryInterface on the device's DirectShow capture filter. The slot order is
// the driver's binary interface and must not change.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstring>

// {846A4C4E-76D8-42EC-A333-121F365A4DA8}
MIDL_INTERFACE("846A4C4E-76D8-42EC-A333-121F365A4DA8")
ICustomProperty : public IUnknown {
  public:
    // Slot 3 exists in the driver's table but is never called; it has no name.
    virtual HRESULT STDMETHODCALLTYPE ReservedSlot3() = 0;
    // Slot 4: sets a property from the data at the pointer.
    virtual HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) = 0;
    // Slot 5: gets a property into the buffer at the pointer.
    virtual HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) = 0;
    // Slot 6: a driver operation taking three 32-bit values.
    virtual HRESULT STDMETHODCALLTYPE Invoke(DWORD first, DWORD second, DWORD third) = 0;
    // Slot 7: writes writeLength bytes to target, then reads readLength bytes.
    virtual HRESULT STDMETHODCALLTYPE Transfer(DWORD target, DWORD writeLength,
                                               const void* writeData, DWORD readLength,
                                               void* readData) = 0;
    // Slot 8: sets a property from a value passed by value.
    virtual HRESULT STDMETHODCALLTYPE SetDirect(DWORD id, DWORD value) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ICustomProperty, 0x846a4c4e, 0x76d8, 0x42ec, 0xa3, 0x33, 0x12, 0x1f, 0x36, 0x5a,
                0x4d, 0xa8)
#endif

// Property identifiers understood by the driver.
enum : DWORD {
    CPROP_CHIP_CONFIG = 0x1000,
    CPROP_REG_SELECT = 0x1005,
    CPROP_REG_DATA = 0x1006,
    CPROP_I2C_TRANSFER = 0x1007,
    CPROP_I2C_DATA = 0x1008,
    CPROP_I2C_DEVICE = 0x100B,
    CPROP_I2C_DEVICE_STATE = 0x1013,
    CPROP_I2C_DEVICE_READY = 0x1014,
    CPROP_VALUE_1019 = 0x1019,
    CPROP_CHIP_ID = 0x101C,
    CPROP_REMOTE_ADDRESS = 0x1027,
    CPROP_REMOTE_I2C_ADDRESS = 0x1028,
    CPROP_ALT_REG_SELECT = 0x1029,
    CPROP_ALT_REG_DATA = 0x102A,
    CPROP_VALUE_1034 = 0x1034,
    CPROP_VALUE_1035 = 0x1035,
    CPROP_BOARD_CONFIG = 0x103B,
    CPROP_VALUE_103C = 0x103C,
    CPROP_VALUE_103D = 0x103D,
    CPROP_CONFIG_103E = 0x103E,
};

// The selections a driver holds between a select and its data, as a program
// between the library and the driver keeps them (the library's recorder, a
// replay): the word of each select property that the driver last accepted,
// and so how many bytes a Get or Set of each property moves.
struct HeldSelections {
    DWORD registerSelect = 0;
    DWORD altRegisterSelect = 0;
    DWORD i2cTransfer = 0;

    // A Set of the property that the driver accepted; data may be null.
    void Keep(DWORD id, const void* data) {
        DWORD* held = id == CPROP_REG_SELECT       ? &registerSelect
                      : id == CPROP_ALT_REG_SELECT ? &altRegisterSelect
                      : id == CPROP_I2C_TRANSFER   ? &i2cTransfer
                                                   : nullptr;
        if (held && data) {
            std::memcpy(held, data, sizeof *held);
        }
    }
    // A register selection counts in its low byte; i2cCount is the count of
    // the I2C transfer word as the caller's driver reads it. Any other
    // property is one DWORD.
    size_t DataBytes(DWORD id, size_t i2cCount) const {
        switch (id) {
            case CPROP_REG_DATA:
                return registerSelect & 0xFF;
            case CPROP_ALT_REG_DATA:
                return altRegisterSelect & 0xFF;
            case CPROP_I2C_DATA:
                return i2cCount;
            default:
                return sizeof(DWORD);
        }
    }
};

// The driver's status for a device that has been unplugged.
constexpr HRESULT DEVCTL_E_UNPLUGGED = static_cast<HRESULT>(0x80070001);
