#pragma once

#include <functional>
#include <string>

#include "framework/WinTypes.h"

// A modal message box. Without a caption it shows the application's name. Returns the answer:
// IDOK, IDYES, IDNO or IDCANCEL.
int MessageBox(const std::string& text, const char* caption = nullptr, UINT style = MB_OK);

struct MessageBoxRequest {
    std::string text;
    std::string caption;  // already defaulted to the application's name
    UINT style = MB_OK;
};

// Whoever answers message boxes: the user through a real box, or a test.
using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;

// Installs a presenter and returns the one it replaces; an empty presenter restores the real box.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Closes the open box that shows this text as its escape button would, so that the call that
// showed it returns; nothing when no such box is open. Other boxes stay open.
void CloseMessageBox(const std::string& text);

// Whoever closes boxes for a presenter: a test records the request.
using MessageBoxCloser = std::function<void(const std::string& text)>;

// Installs a closer and returns the one it replaces; an empty closer closes the real boxes.
MessageBoxCloser SetMessageBoxCloser(MessageBoxCloser closer);
