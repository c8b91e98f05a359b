// Resource identifiers shared by velto1.rc and the code: plain numbers, read
// by windres and rc.exe alike.
#ifndef VELTO1_RESOURCE_H
#define VELTO1_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The update dialog.
#define IDD_UPDATE 102

#endif
