#include "framework/win32/DialogTemplateEx.h"

#include <cstring>
#include <string>

#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"
#include "res/Templates.h"

namespace {

// The predefined control classes, named in a template by atom.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kOrdinalMark = 0xFFFF;
constexpr WORD kExtendedSignature = 0xFFFF;
constexpr WORD kExtendedVersion = 1;

// Appends little-endian fields to the template, as the dialog manager reads them.
class TemplateWriter {
public:
    void Word(WORD value) { Append(&value, sizeof value); }
    void DWord(DWORD value) { Append(&value, sizeof value); }
    void Short(short value) { Append(&value, sizeof value); }
    void Byte(BYTE value) { Append(&value, sizeof value); }
    // A zero-terminated UTF-16 string.
    void Text(const char* utf8) {
        const std::wstring text = Utf8ToWide(utf8 ? utf8 : "");
        Append(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    void AlignToDWord() {
        while (m_bytes.size() % sizeof(DWORD) != 0) {
            m_bytes.push_back(0);
        }
    }
    std::vector<uint32_t> Finish() {
        AlignToDWord();
        std::vector<uint32_t> words(m_bytes.size() / sizeof(uint32_t));
        std::memcpy(words.data(), m_bytes.data(), m_bytes.size());
        return words;
    }

private:
    void Append(const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    }

    std::vector<unsigned char> m_bytes;
};

DWORD DialogStyle(const res::DialogTemplate& dialogTemplate) {
    // Visible, so that the window shows as soon as it is initialised, modal or not.
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_SHELLFONT | DS_CENTER;
    if (dialogTemplate.minimizeBox) {
        style |= WS_MINIMIZEBOX;
    }
    return style;
}

DWORD ControlStyle(const res::ControlTemplate& control) {
    namespace style = res::style;
    DWORD windowStyle = WS_CHILD;
    if (control.styles & style::kVisible) windowStyle |= WS_VISIBLE;
    if (control.styles & style::kTabStop) windowStyle |= WS_TABSTOP;
    if (control.styles & style::kGroup) windowStyle |= WS_GROUP;
    if (control.styles & style::kBorder) windowStyle |= WS_BORDER;
    switch (control.kind) {
        case res::ControlKind::PushButton:
            return windowStyle |
                   ((control.styles & style::kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        case res::ControlKind::StaticText:
            return windowStyle | ((control.styles & style::kCenter) ? SS_CENTER : SS_LEFT) |
                   ((control.styles & style::kNoPrefix) ? SS_NOPREFIX : 0);
        case res::ControlKind::StaticBitmap:
            return windowStyle | SS_BITMAP;
        case res::ControlKind::StaticIcon:
            return windowStyle | SS_ICON;
        case res::ControlKind::ListView:
            // The rows live in the program, not in the control: a virtual list.
            return windowStyle | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA;
        case res::ControlKind::GroupBox:
            return windowStyle | BS_GROUPBOX;
    }
    return windowStyle;
}

void WriteControlClass(TemplateWriter& writer, res::ControlKind kind) {
    switch (kind) {
        case res::ControlKind::PushButton:
        case res::ControlKind::GroupBox:
            writer.Word(kOrdinalMark);
            writer.Word(kButtonAtom);
            return;
        case res::ControlKind::StaticText:
        case res::ControlKind::StaticBitmap:
        case res::ControlKind::StaticIcon:
            writer.Word(kOrdinalMark);
            writer.Word(kStaticAtom);
            return;
        case res::ControlKind::ListView:
            writer.Text("SysListView32");
            return;
    }
}

}  // namespace

std::vector<uint32_t> BuildDialogTemplateEx(const res::DialogTemplate& dialogTemplate) {
    TemplateWriter writer;
    writer.Word(kExtendedVersion);
    writer.Word(kExtendedSignature);
    writer.DWord(0);  // help ID
    writer.DWord(dialogTemplate.minimizeBox ? WS_EX_APPWINDOW : 0);
    writer.DWord(DialogStyle(dialogTemplate));
    writer.Word(static_cast<WORD>(dialogTemplate.controls.size()));
    writer.Short(0);
    writer.Short(0);
    writer.Short(static_cast<short>(dialogTemplate.width));
    writer.Short(static_cast<short>(dialogTemplate.height));
    writer.Word(0);  // no menu
    writer.Word(0);  // the dialog class
    writer.Text(dialogTemplate.caption);
    writer.Word(static_cast<WORD>(dialogTemplate.fontPointSize));
    writer.Word(FW_NORMAL);
    writer.Byte(FALSE);  // not italic
    writer.Byte(DEFAULT_CHARSET);
    writer.Text(dialogTemplate.fontFamily);

    for (const res::ControlTemplate& control : dialogTemplate.controls) {
        writer.AlignToDWord();
        writer.DWord(0);  // help ID
        writer.DWord(0);  // extended style
        writer.DWord(ControlStyle(control));
        writer.Short(static_cast<short>(control.x));
        writer.Short(static_cast<short>(control.y));
        writer.Short(static_cast<short>(control.width));
        writer.Short(static_cast<short>(control.height));
        writer.DWord(static_cast<DWORD>(control.id));
        WriteControlClass(writer, control.kind);
        // Pictures get their image once the window exists, from the program's kept resources.
        writer.Text(control.kind == res::ControlKind::StaticBitmap ||
                            control.kind == res::ControlKind::StaticIcon
                        ? ""
                        : control.text);
        writer.Word(0);  // no creation data
    }
    return writer.Finish();
}
