#pragma once

#include <optional>
#include <string>

#include "framework/CFileDialog.h"

class CDialog;

// What each platform does for Save As when no test picks the file: framework/CFileDialog.cpp holds
// the seam, the platform's file these.

// Shows the system's Save As dialog: the full path of the file that it confirmed, default extension
// and overwrite question included, or nothing when it was cancelled.
std::optional<std::string> ShowRealFileDialog(const FileDialogRequest& request, CDialog* parent);
// What the system's dialog makes of a name typed into it: the full path in the platform's form, with
// the default extension where the dialog adds it; empty when the path cannot be made whole.
std::string FullPathWithExtension(const std::string& chosen, const std::string& defaultExt);
