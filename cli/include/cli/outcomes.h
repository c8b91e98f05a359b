// velto1cli's exit codes besides the outcomes' own (appcore/outcome_table.h).
// A deployment tool reads 0 as success and anything else as failure; none of
// the codes is one the tools give a meaning of their own (3010 and 1641
// restart, 1618 try again).
#pragma once

namespace cli {

constexpr int kExitSuccess = 0;        // updated or already updated (check: nothing to do)
constexpr int kExitUsage = 2;          // the command line was refused; no device was touched
constexpr int kExitLogNotWritten = 3;  // every device succeeded, but the log missed a line
// report's: some computers need attention or never reported; a file could not
// be read (or the page not written).
constexpr int kExitReportAttention = 30;
constexpr int kExitReportUnreadable = 31;

}  // namespace cli
