#include "dialogresource.h"

#include "templates.h"

#include <string_view>

namespace {

// The window and control styles of the dialog resource format, as the system defines them.
namespace Win {
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t WS_EX_STATICEDGE = 0x00020000;
constexpr std::uint32_t DS_SETFONT = 0x40;
constexpr std::uint32_t DS_MODALFRAME = 0x80;
constexpr std::uint32_t DS_CENTER = 0x0800;
constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr std::uint32_t BS_GROUPBOX = 0x7;
constexpr std::uint32_t BS_CENTER = 0x300;
constexpr std::uint32_t ES_CENTER = 0x1;
constexpr std::uint32_t ES_RIGHT = 0x2;
constexpr std::uint32_t ES_MULTILINE = 0x4;
constexpr std::uint32_t ES_AUTOVSCROLL = 0x40;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x80;
constexpr std::uint32_t ES_READONLY = 0x800;
constexpr std::uint32_t ES_WANTRETURN = 0x1000;
constexpr std::uint32_t SS_CENTER = 0x1;
constexpr std::uint32_t SS_RIGHT = 0x2;
constexpr std::uint32_t SS_ICON = 0x3;
constexpr std::uint32_t SS_BLACKFRAME = 0x7;
constexpr std::uint32_t SS_NOPREFIX = 0x80;
constexpr std::uint32_t SS_SUNKEN = 0x1000;
constexpr std::uint32_t CBS_DROPDOWNLIST = 0x3;
constexpr std::uint32_t CBS_SORT = 0x100;
constexpr std::uint16_t FW_NORMAL = 400;
constexpr std::uint8_t DEFAULT_CHARSET = 1;
// The atoms of the predefined control classes.
constexpr std::uint16_t BUTTON_CLASS = 0x0080;
constexpr std::uint16_t EDIT_CLASS = 0x0081;
constexpr std::uint16_t STATIC_CLASS = 0x0082;
constexpr std::uint16_t COMBOBOX_CLASS = 0x0085;
} // namespace Win

// Marks a number where a name could stand (a class atom, a resource number).
constexpr std::uint16_t ORDINAL = 0xFFFF;

class CResourceWriter
{
public:
    void Word(std::uint16_t value)
    {
        m_bytes.push_back(static_cast<std::uint8_t>(value));
        m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Dword(std::uint32_t value)
    {
        Word(static_cast<std::uint16_t>(value));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Byte(std::uint8_t value) { m_bytes.push_back(value); }
    // Null-terminated UTF-16 from UTF-8, which the tables hold.
    void Text(std::string_view utf8);
    void AlignToDword()
    {
        while (m_bytes.size() % 4 != 0)
            m_bytes.push_back(0);
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

void CResourceWriter::Text(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (code < 0x10000) {
            Word(static_cast<std::uint16_t>(code));
        } else {
            code -= 0x10000;
            Word(static_cast<std::uint16_t>(0xD800 + (code >> 10)));
            Word(static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF)));
        }
    }
    Word(0);
}

bool Has(std::uint32_t styles, ControlStyle style)
{
    return (styles & style) != 0;
}

std::uint16_t ClassAtom(ControlKind kind)
{
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::GroupBox:
        return Win::BUTTON_CLASS;
    case ControlKind::Edit:
        return Win::EDIT_CLASS;
    case ControlKind::ComboBox:
        return Win::COMBOBOX_CLASS;
    case ControlKind::Static:
    case ControlKind::StaticIcon:
        break;
    }
    return Win::STATIC_CLASS;
}

// What each kind of control makes of the table's styles; left alignment is each class's default.
std::uint32_t KindStyle(ControlKind kind, std::uint32_t styles)
{
    switch (kind) {
    case ControlKind::PushButton:
        return Win::BS_PUSHBUTTON;
    case ControlKind::DefPushButton:
        return Win::BS_DEFPUSHBUTTON;
    case ControlKind::GroupBox:
        return Win::BS_GROUPBOX | (Has(styles, STYLE_CENTER) ? Win::BS_CENTER : 0);
    case ControlKind::Edit:
        return (Has(styles, STYLE_CENTER) ? Win::ES_CENTER : 0)
            | (Has(styles, STYLE_RIGHT) ? Win::ES_RIGHT : 0)
            | (Has(styles, STYLE_MULTILINE) ? Win::ES_MULTILINE : 0)
            | (Has(styles, STYLE_AUTOVSCROLL) ? Win::ES_AUTOVSCROLL : 0)
            | (Has(styles, STYLE_AUTOHSCROLL) ? Win::ES_AUTOHSCROLL : 0)
            | (Has(styles, STYLE_READONLY) ? Win::ES_READONLY : 0)
            | (Has(styles, STYLE_WANTRETURN) ? Win::ES_WANTRETURN : 0);
    case ControlKind::ComboBox:
        return (Has(styles, STYLE_DROPDOWNLIST) ? Win::CBS_DROPDOWNLIST : 0)
            | (Has(styles, STYLE_SORT) ? Win::CBS_SORT : 0);
    case ControlKind::StaticIcon:
        return Win::SS_ICON;
    case ControlKind::Static:
        break;
    }
    return (Has(styles, STYLE_CENTER) ? Win::SS_CENTER : 0)
        | (Has(styles, STYLE_RIGHT) ? Win::SS_RIGHT : 0)
        | (Has(styles, STYLE_BLACKFRAME) ? Win::SS_BLACKFRAME : 0)
        | (Has(styles, STYLE_NOPREFIX) ? Win::SS_NOPREFIX : 0)
        | (Has(styles, STYLE_SUNKEN) ? Win::SS_SUNKEN : 0);
}

std::uint32_t ControlStyles(const ControlTemplate &control)
{
    return Win::WS_CHILD | Win::WS_VISIBLE | KindStyle(control.kind, control.styles)
        | (Has(control.styles, STYLE_TABSTOP) ? Win::WS_TABSTOP : 0)
        | (Has(control.styles, STYLE_GROUP) ? Win::WS_GROUP : 0)
        | (Has(control.styles, STYLE_BORDER) ? Win::WS_BORDER : 0)
        | (Has(control.styles, STYLE_VSCROLL) ? Win::WS_VSCROLL : 0);
}

std::uint32_t ControlExtendedStyles(const ControlTemplate &control)
{
    return Has(control.styles, STYLE_STATICEDGE) ? Win::WS_EX_STATICEDGE : 0;
}

// Centred on the screen, as a dialog without a parent is best placed.
std::uint32_t DialogStyles(const DialogTemplate &dialog)
{
    return Win::WS_POPUP | Win::WS_CAPTION | Win::WS_SYSMENU | Win::DS_MODALFRAME | Win::DS_SETFONT
        | Win::DS_CENTER | (dialog.windowStyles & WINDOW_MINIMIZEBOX ? Win::WS_MINIMIZEBOX : 0)
        | (dialog.windowStyles & WINDOW_VISIBLE ? Win::WS_VISIBLE : 0);
}

std::uint32_t DialogExtendedStyles(const DialogTemplate &dialog)
{
    return dialog.windowStyles & WINDOW_TASKBAR ? Win::WS_EX_APPWINDOW : 0;
}

void WriteControl(CResourceWriter &out, const ControlTemplate &control, bool extended)
{
    out.AlignToDword();
    if (extended) {
        out.Dword(0);
        out.Dword(ControlExtendedStyles(control));
        out.Dword(ControlStyles(control));
    } else {
        out.Dword(ControlStyles(control));
        out.Dword(ControlExtendedStyles(control));
    }
    for (const int value : {control.x, control.y, control.w, control.h})
        out.Word(static_cast<std::uint16_t>(value));
    // -1 is 0xFFFF in a word and 0xFFFFFFFF in a double word.
    if (extended)
        out.Dword(static_cast<std::uint32_t>(control.id));
    else
        out.Word(static_cast<std::uint16_t>(control.id));
    out.Word(ORDINAL);
    out.Word(ClassAtom(control.kind));
    if (control.kind == ControlKind::StaticIcon) {
        out.Word(ORDINAL);
        out.Word(MAIN_ICON);
    } else {
        out.Text(control.caption);
    }
    // No creation data.
    out.Word(0);
}

} // namespace

std::vector<std::uint8_t> DialogResource(const DialogTemplate &dialog)
{
    const bool extended = dialog.form == TemplateForm::Extended;
    CResourceWriter out;
    if (extended) {
        out.Word(1);
        out.Word(0xFFFF);
        out.Dword(0);
        out.Dword(DialogExtendedStyles(dialog));
        out.Dword(DialogStyles(dialog));
    } else {
        out.Dword(DialogStyles(dialog));
        out.Dword(DialogExtendedStyles(dialog));
    }
    out.Word(static_cast<std::uint16_t>(dialog.controls.size()));
    for (const int value : {0, 0, dialog.w, dialog.h})
        out.Word(static_cast<std::uint16_t>(value));
    // No menu; the standard dialog class.
    out.Word(0);
    out.Word(0);
    out.Text(dialog.caption);
    out.Word(static_cast<std::uint16_t>(dialog.fontPoints));
    if (extended) {
        out.Word(Win::FW_NORMAL);
        out.Byte(0);
        out.Byte(Win::DEFAULT_CHARSET);
    }
    out.Text(dialog.fontFace);
    for (const ControlTemplate &control : dialog.controls)
        WriteControl(out, control, extended);
    return out.Take();
}
