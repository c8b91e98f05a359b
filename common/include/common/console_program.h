// The start of a console program that scripts run: its arguments as words,
// and output with plain line feeds so that scripts read the same lines
// everywhere.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace velto1 {

// Sets stdout and stderr to binary (a "\n" stays one byte) and reads the
// command line's arguments after the program name; false when the command
// line can't be split.
inline bool StartConsoleProgram(std::vector<std::wstring>* words) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) {
        return false;
    }
    words->assign(argv + 1, argv + count);
    LocalFree(argv);
    return true;
}

}  // namespace velto1
