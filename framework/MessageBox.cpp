#include "framework/MessageBox.h"

#include <utility>

#include "framework/RealMessageBox.h"

namespace {

MessageBoxPresenter& InstalledPresenter() {
    static MessageBoxPresenter presenter;
    return presenter;
}

MessageBoxCloser& InstalledCloser() {
    static MessageBoxCloser closer;
    return closer;
}

}  // namespace

int MessageBox(const std::string& text, const char* caption, UINT style) {
    MessageBoxRequest request{text, caption ? caption : ApplicationName(), style};
    const MessageBoxPresenter& presenter = InstalledPresenter();
    return presenter ? presenter(request) : ShowRealMessageBox(request);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    MessageBoxPresenter previous = std::move(InstalledPresenter());
    InstalledPresenter() = std::move(presenter);
    return previous;
}

void CloseMessageBox(const std::string& text) {
    if (const MessageBoxCloser& closer = InstalledCloser()) {
        closer(text);
        return;
    }
    CloseRealMessageBox(text);
}

MessageBoxCloser SetMessageBoxCloser(MessageBoxCloser closer) {
    MessageBoxCloser previous = std::move(InstalledCloser());
    InstalledCloser() = std::move(closer);
    return previous;
}
