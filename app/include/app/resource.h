// Resource identifiers shared by velto1.rc and the code: plain numbers, read
// by windres and rc.exe alike.
#ifndef VELTO1_RESOURCE_H
#define VELTO1_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs.
#define IDD_ABOUTBOX 101
#define IDD_UPDATE 102

// Strings.
#define IDS_APP_TITLE 103
#define IDS_HELLO 106

// Menu commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105

// The program icon; 108, the small icon the window class asks for, does not exist.
#define IDI_VELTO1 107
#define IDI_SMALL 108

// The menu, the accelerator table and the window class name string share 109.
#define IDC_VELTO1 109

// The icon control of the About box.
#define IDC_ABOUT_ICON 2

#endif
