// The calls a simulated driver got, as text that a test compares whole: one
// token per call, blank-separated.
//
// Every call reads "Slot:PROPERTY=word", the word in hexadecimal as the driver
// log holds it (for a Get, the bytes delivered): "Set:I2C_TRANSFER=1A00801",
// "Get:CHIP_ID=24", "Transfer:FF=51", "Invoke=1", "SetDirect:VALUE_103D=CAFE".
// A status other than S_OK follows after "!": "Get:REG_DATA=0!E_FAIL",
// "Get:I2C_DATA=0!3".
//
// In the Transfers form a data transfer reads as the bus sees it, its select
// folded in: "R08=4A" and "W08=4A" for main register 0x08, "RA0:7A=31" and
// "WA0:08=05" for the I2C device 0xA0 at a sub-address ("RA0=..." without
// one). A register select or I2C descriptor followed by its data call is
// left out; any other call keeps its every-call form.
#pragma once

#include <string>
#include <vector>

#include "simdevice/chip/driver.h"

enum class LogForm { EveryCall, Transfers };

std::string DescribeDriverLog(const std::vector<sim::DriverCall>& calls,
                              LogForm form = LogForm::Transfers);
