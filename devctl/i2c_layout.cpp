// I2C transfers by layout through DeviceControl.
#include "devctl/i2c_layout.h"

HRESULT TransferI2cByLayout(DeviceControl& device, const I2cTransferMeaning& transfer, void* data,
                            BOOL write) {
    if (!IsI2cWordUnambiguous(transfer, nullptr)) {
        return DEVCTL_S_INVALID_PARAMETER;
    }
    const DWORD a = transfer.address;
    const DWORD s = transfer.subAddress;
    const DWORD n = transfer.count;
    switch (transfer.layout) {
        case I2cLayout::Direct:
            return write ? device.WriteI2cDirect(a, n, data) : device.ReadI2cDirect(a, n, data);
        case I2cLayout::SubAddress8:
            return write ? device.WriteI2c(a, s, n, data) : device.ReadI2c(a, s, n, data);
        case I2cLayout::SubAddress16:
            return write ? device.WriteI2c16(a, s, n, data) : device.ReadI2c16(a, s, n, data);
        case I2cLayout::Long:
            return write ? device.WriteI2cLong(a, s, n, data) : device.ReadI2cLong(a, s, n, data);
    }
    return DEVCTL_S_INVALID_PARAMETER;
}
