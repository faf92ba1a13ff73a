#pragma once

#include <cstdint>
#include <span>

// A dialog template as data: the window's frame and every control with its number, kind,
// position and size in dialog units, caption and styles, in template (tab) order. Each system
// makes its windows from these same tables.

enum class ControlKind {
    PushButton,
    DefPushButton,
    Edit,
    Static,
    StaticIcon,
    GroupBox,
    ComboBox,
};

enum ControlStyle : std::uint32_t {
    STYLE_NONE = 0,
    STYLE_TABSTOP = 1u << 0,
    STYLE_GROUP = 1u << 1,
    STYLE_MULTILINE = 1u << 2,
    STYLE_READONLY = 1u << 3,
    STYLE_BORDER = 1u << 4,
    STYLE_VSCROLL = 1u << 5,
    STYLE_AUTOHSCROLL = 1u << 6,
    STYLE_AUTOVSCROLL = 1u << 7,
    STYLE_WANTRETURN = 1u << 8,
    STYLE_LEFT = 1u << 9,
    STYLE_RIGHT = 1u << 10,
    STYLE_CENTER = 1u << 11,
    STYLE_BLACKFRAME = 1u << 12,
    STYLE_SUNKEN = 1u << 13,
    STYLE_STATICEDGE = 1u << 14,
    STYLE_DROPDOWNLIST = 1u << 15,
    STYLE_SORT = 1u << 16,
    STYLE_NOPREFIX = 1u << 17,
};

constexpr std::uint32_t operator|(ControlStyle a, ControlStyle b)
{
    return static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b);
}
constexpr std::uint32_t operator|(std::uint32_t a, ControlStyle b)
{
    return a | static_cast<std::uint32_t>(b);
}

// Controls without a number of their own carry -1 and are never addressed.
constexpr int CONTROL_UNNUMBERED = -1;

struct ControlTemplate
{
    int id;
    ControlKind kind;
    int x, y, w, h;
    const char *caption;
    std::uint32_t styles;
};

// Every dialog is a popup window with a caption, a system menu and a modal dialog frame.
enum WindowStyle : std::uint32_t {
    WINDOW_NONE = 0,
    WINDOW_MINIMIZEBOX = 1u << 0,
    WINDOW_TASKBAR = 1u << 1,
    // Shown as soon as it is created, not only when it is run.
    WINDOW_VISIBLE = 1u << 2,
};

// The form of the template in the system's resource format: the extended one carries a font
// weight and character set, and a help number and extended styles for every control.
enum class TemplateForm { Plain, Extended };

struct DialogTemplate
{
    int id;
    int w, h;
    const char *caption;
    const char *fontFace;
    const char *fontStandIn;
    int fontPoints;
    std::uint32_t windowStyles;
    TemplateForm form;
    std::span<const ControlTemplate> controls;
};
