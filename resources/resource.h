// Resource identifiers shared by velto1.rc and the code. Plain numbers, so that
// both windres and rc.exe read this file.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The update dialog.
#define IDD_UPDATE 102
