#pragma once

#include <string>

#include "framework/MessageBox.h"

// What each platform does for the message boxes when no test answers them: framework/MessageBox.cpp
// holds the seams, the platform's file these.

// The application's name, the caption of a box given none.
std::string ApplicationName();
// Shows the box modally and returns the answer.
int ShowRealMessageBox(const MessageBoxRequest& request);
// Closes the open box that shows this text as its escape button would; nothing when none does.
void CloseRealMessageBox(const std::string& text);
