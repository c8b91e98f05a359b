// The driver as a recording DeviceControl sees it: an ICustomProperty that
// passes every call to the driver and adds it to a CallRecorder.
#pragma once

#include "devctl/custom_property.h"

class CallRecorder;

// Puts driver (whose reference is taken over) behind a recorder; returns the
// interface to use in its place. When recorder is null, or driver already
// records, only the recorder changes (null: calls pass unrecorded). Out of
// memory, the driver itself comes back: a recording never costs the device.
ICustomProperty* RecordDriverCalls(ICustomProperty* driver, CallRecorder* recorder);
