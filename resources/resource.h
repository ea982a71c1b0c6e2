// Resource ids of SETUP.EXE, grouped by kind.
#pragma once

// Dialogs ("TextInputDiaBox" is named, not numbered)
#define IDD_SPLASH 119

// Icons
#define IDI_SETUP 117

// Controls of "TextInputDiaBox"
#define IDC_USER_NAME 203
#define IDC_ORGANISATION 204
#define IDC_DEPARTMENT 1020
#define IDC_INSTALL_DIR 1022
#define IDC_INSTALL_SAMPLES 1023
