#pragma once

// The application object. It exists from program load; it holds no window system state until Run
// sets that up, so it can be a static object.
class CWinApp {
public:
    CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp() = default;

    // Sets up the window system for the program, runs StartUp and returns the process exit status.
    int Run(int argc, char** argv);

protected:
    // Returns false when the program is done, as a dialog-based program always is.
    virtual bool StartUp() = 0;

    // The organisation under which settings would be kept; the program keeps none.
    void SetRegistryKey(const char* key);
    // The desktop entry that describes the program, so the desktop shows its name and icon.
    void SetDesktopFileName(const char* name);
};
