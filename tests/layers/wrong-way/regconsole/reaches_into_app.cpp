// A fixture for the layer check's own test, never compiled: the console
// reaching into the updater's folder must be refused.
#include "app/main_window.h"
