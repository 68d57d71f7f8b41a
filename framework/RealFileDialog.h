#pragma once

#include <optional>
#include <string>

#include "framework/CFileDialog.h"

class CDialog;

// What each platform does for Save As when no test picks the file: framework/CFileDialog.cpp holds
// the seam, the platform's file these.

// Shows the system's Save As dialog; the path chosen, or nothing when it was cancelled.
std::optional<std::string> ShowRealFileDialog(const FileDialogRequest& request, CDialog* parent);
// The chosen file's full path in the platform's form, a name without an extension given the default
// one; empty when the path cannot be made whole.
std::string FullPathWithExtension(const std::string& chosen, const std::string& defaultExt);
