#pragma once

#include <string>

// Points XDG_STATE_HOME at a new temporary folder for the object's life, so that the journals of
// the dialogs a benchmark runs never land in the user's own state folder; the folder goes with it.
class TemporaryStateHome {
public:
    TemporaryStateHome();
    ~TemporaryStateHome();
    TemporaryStateHome(const TemporaryStateHome&) = delete;
    TemporaryStateHome& operator=(const TemporaryStateHome&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
