#include <gtest/gtest.h>
#include "tests/common/test_support.h"
TEST(Smoke, Runs) { DeviceControl dc; EXPECT_EQ(dc.GetLastResult(), 0); }
