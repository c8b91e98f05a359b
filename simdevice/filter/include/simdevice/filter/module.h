// What the objects of simdevice.dll know of their module: its instance
// handle, and the count of their live objects that lets it unload.
#pragma once

#include <windows.h>

namespace sim {

void ModuleObjectCreated();
void ModuleObjectDestroyed();
HINSTANCE ModuleInstance();

}  // namespace sim
