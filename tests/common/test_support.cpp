// The test support is header-only; this unit gives the library a source.
#include "tests/common/test_support.h"
