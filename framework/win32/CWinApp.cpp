#include "framework/CWinApp.h"

#include "framework/win32/WindowsApi.h"

int CWinApp::Run(int, char**) {
    // Version 6 of the common controls, which the manifest asks for: themed controls and the list
    // view of today's Windows.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    StartUp();
    return 0;
}

// The program keeps no settings, so there is nothing to store under the key.
void CWinApp::SetRegistryKey(const char*) {}

// Windows takes the program's name and icon from the executable itself.
void CWinApp::SetDesktopFileName(const char*) {}
