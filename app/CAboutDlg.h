#pragma once

#include "framework/CDialog.h"

// The About box: program name, version and copyright, ended by OK, Enter, Escape or the close box.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
