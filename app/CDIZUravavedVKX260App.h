#pragma once

#include "framework/CWinApp.h"

// The application: runs the main dialog modally; the process ends with it.
class CDIZUravavedVKX260App : public CWinApp {
protected:
    bool StartUp() override;
};
