#include "dialogresource.h"

#include "templates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const std::vector<std::uint8_t> &bytes)
{
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", byte);
        hex += two;
    }
    return hex;
}

// The bytes below are laid out by hand from the system's description of the dialog resource
// formats (DLGTEMPLATEEX with DLGITEMTEMPLATEEX, and DLGTEMPLATE with DLGITEMTEMPLATE).
TEST(DialogResource, WritesTheExtendedFormatWithItsFontAndAlignedControls)
{
    const ControlTemplate controls[] = {
        {5, ControlKind::PushButton, 1, 2, 30, 14, "OK", STYLE_TABSTOP | STYLE_STATICEDGE},
    };
    const std::uint32_t styles = WINDOW_MINIMIZEBOX | WINDOW_TASKBAR | WINDOW_VISIBLE;
    const DialogTemplate dialog
        = {7, 100, 50, "😀", "明", "", 9, styles, TemplateForm::Extended, controls};
    const std::vector<std::uint8_t> expected = {
        0x01, 0x00, 0xFF, 0xFF, // version 1, extended
        0x00, 0x00, 0x00, 0x00, // help number
        0x00, 0x00, 0x04, 0x00, // WS_EX_APPWINDOW
        0xC0, 0x08, 0xCA, 0x90, // popup, caption, menu, minimise box, visible, frame, font; centred
        0x01, 0x00, // one control
        0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00, // 0, 0, 100 x 50
        0x00, 0x00, 0x00, 0x00, // no menu, the dialog class
        0x3D, 0xD8, 0x00, 0xDE, 0x00, 0x00, // caption: a surrogate pair
        0x09, 0x00, 0x90, 0x01, 0x00, 0x01, // 9 points, weight 400, upright, default set
        0x0E, 0x66, 0x00, 0x00, // font face
        0x00, 0x00, // up to a 4-byte boundary
        0x00, 0x00, 0x00, 0x00, // help number
        0x00, 0x00, 0x02, 0x00, // WS_EX_STATICEDGE
        0x00, 0x00, 0x01, 0x50, // child, visible, tab stop, push button
        0x01, 0x00, 0x02, 0x00, 0x1E, 0x00, 0x0E, 0x00, // 1, 2, 30 x 14
        0x05, 0x00, 0x00, 0x00, // control number, a double word
        0xFF, 0xFF, 0x80, 0x00, // the button class
        0x4F, 0x00, 0x4B, 0x00, 0x00, 0x00, // "OK"
        0x00, 0x00, // no creation data
    };
    EXPECT_EQ(Hex(DialogResource(dialog)), Hex(expected));
}

TEST(DialogResource, WritesThePlainFormatWithAnIconAndUnnumberedControls)
{
    const ControlTemplate controls[] = {
        {CONTROL_UNNUMBERED, ControlKind::StaticIcon, 11, 17, 20, 20, "", STYLE_NONE},
        {CONTROL_UNNUMBERED, ControlKind::Static, 40, 10, 119, 8, "x",
         STYLE_LEFT | STYLE_NOPREFIX | STYLE_GROUP},
    };
    const DialogTemplate dialog
        = {100, 235, 55, "A", "B", "", 9, WINDOW_NONE, TemplateForm::Plain, controls};
    const std::vector<std::uint8_t> expected = {
        0xC0, 0x08, 0xC8, 0x80, // popup, caption, menu, frame, font; centred
        0x00, 0x00, 0x00, 0x00, // no extended styles
        0x02, 0x00, // two controls
        0x00, 0x00, 0x00, 0x00, 0xEB, 0x00, 0x37, 0x00, // 0, 0, 235 x 55
        0x00, 0x00, 0x00, 0x00, // no menu, the dialog class
        0x41, 0x00, 0x00, 0x00, // "A"
        0x09, 0x00, 0x42, 0x00, 0x00, 0x00, // 9 points, "B", on a boundary
        0x03, 0x00, 0x00, 0x50, // child, visible, icon
        0x00, 0x00, 0x00, 0x00, // no extended styles
        0x0B, 0x00, 0x11, 0x00, 0x14, 0x00, 0x14, 0x00, // 11, 17, 20 x 20
        0xFF, 0xFF, // unnumbered, a word
        0xFF, 0xFF, 0x82, 0x00, // the static class
        0xFF, 0xFF, 0x80, 0x00, // icon resource 128
        0x00, 0x00, // no creation data
        0x80, 0x00, 0x02, 0x50, // child, visible, group, no prefix
        0x00, 0x00, 0x00, 0x00, // no extended styles
        0x28, 0x00, 0x0A, 0x00, 0x77, 0x00, 0x08, 0x00, // 40, 10, 119 x 8
        0xFF, 0xFF, // unnumbered
        0xFF, 0xFF, 0x82, 0x00, // the static class
        0x78, 0x00, 0x00, 0x00, // "x"
        0x00, 0x00, // no creation data
    };
    EXPECT_EQ(Hex(DialogResource(dialog)), Hex(expected));
}

} // namespace
