#include "templates.h"

#include "texts.h"

const char *const RECEIVE_FORMAT_LINE
    = "受信データ書式：　XYZ Data Format:X07FFY0801Z0ABC(cr)(lf),   XY  Data "
      "Format:X07FFY0801(cr)(lf),   X   Data Format:X07FF(cr)(lf)";

namespace {

using K = ControlKind;
constexpr int N = CONTROL_UNNUMBERED;

// Static texts, each of which starts a group of controls.
constexpr std::uint32_t LABEL = STYLE_LEFT | STYLE_GROUP;

const ControlTemplate MAIN_CONTROLS[] = {
    {IDC_CANCEL, K::PushButton, 606, 2, 29, 14, "ｷｬﾝｾﾙ", STYLE_TABSTOP},
    {IDC_RECEIVED, K::Edit, 2, 79, 83, 343, "",
     STYLE_MULTILINE | STYLE_READONLY | STYLE_BORDER | STYLE_VSCROLL | STYLE_AUTOHSCROLL
         | STYLE_TABSTOP},
    {IDC_BYTE_COUNT, K::Edit, 2, 440, 40, 14, "",
     STYLE_READONLY | STYLE_BORDER | STYLE_RIGHT | STYLE_TABSTOP},
    {IDC_PLOT, K::Static, 93, 77, 542, 354, "", STYLE_BLACKFRAME | STYLE_SUNKEN},
    {IDC_STATUS, K::Edit, 95, 441, 540, 12, "", STYLE_READONLY | STYLE_LEFT | STYLE_TABSTOP},
    {N, K::GroupBox, 3, 1, 307, 30, "RS232 ポートステイタス", STYLE_CENTER},
    {N, K::Static, 8, 55, 46, 8, "受信データ", LABEL},
    {N, K::Static, 4, 65, 92, 8, " X ch  Y ch  Z ch", LABEL},
    {N, K::Static, 2, 430, 46, 8, "受信文字数", LABEL},
    {N, K::Static, 47, 446, 32, 8, "Bytes", LABEL},
    {IDC_DISPLAY_CLEAR, K::PushButton, 585, 60, 50, 14, "表示クリア", STYLE_TABSTOP},
    {N, K::Static, 136, 62, 53, 8, "データ表示色:", LABEL},
    {IDC_BIT_LENGTH, K::ComboBox, 521, 58, 40, 189, "",
     STYLE_DROPDOWNLIST | STYLE_SORT | STYLE_VSCROLL | STYLE_TABSTOP},
    {N, K::Static, 457, 61, 64, 8, "データビット長:", LABEL},
    {N, K::Static, 3, 38, 537, 10, RECEIVE_FORMAT_LINE, STYLE_CENTER | STYLE_SUNKEN | STYLE_GROUP},
    {IDC_LEGEND_X, K::Static, 197, 59, 63, 13, "", STYLE_BLACKFRAME},
    {IDC_LEGEND_Y, K::Static, 282, 59, 65, 13, "", STYLE_BLACKFRAME},
    {IDC_LEGEND_Z, K::Static, 370, 59, 73, 13, "", STYLE_BLACKFRAME},
    {IDC_PORT_SELECT, K::PushButton, 585, 43, 50, 14, "ポート選択", STYLE_TABSTOP},
    {IDC_PORT_INFO, K::Edit, 11, 14, 295, 12, "",
     STYLE_READONLY | STYLE_CENTER | STYLE_AUTOHSCROLL | STYLE_TABSTOP},
    {IDC_SEND, K::PushButton, 585, 19, 50, 14, "送信", STYLE_TABSTOP},
    {IDC_SEND_TEXT, K::Edit, 376, 4, 204, 29, "",
     STYLE_MULTILINE | STYLE_WANTRETURN | STYLE_AUTOHSCROLL | STYLE_AUTOVSCROLL | STYLE_BORDER
         | STYLE_STATICEDGE | STYLE_TABSTOP},
    {N, K::Static, 323, 6, 48, 8, "送信データ：", LABEL},
    {IDC_SEND_CLEAR, K::PushButton, 321, 19, 47, 14, "送信クリア", STYLE_TABSTOP},
};

const ControlTemplate ABOUT_CONTROLS[] = {
    {N, K::StaticIcon, 11, 17, 20, 20, "", STYLE_NONE},
    {N, K::Static, 40, 10, 119, 8, "Orvanta Version 1.0",
     STYLE_LEFT | STYLE_NOPREFIX | STYLE_GROUP},
    {N, K::Static, 40, 25, 119, 8, Strings::ABOUT_NOTICE, LABEL},
    {IDC_ABOUT_OK, K::DefPushButton, 178, 7, 50, 14, "OK", STYLE_GROUP | STYLE_TABSTOP},
};

constexpr std::uint32_t SETTINGS_LIST = STYLE_DROPDOWNLIST | STYLE_VSCROLL | STYLE_TABSTOP;

const ControlTemplate PORT_SETTINGS_CONTROLS[] = {
    {IDC_SETTINGS_OK, K::DefPushButton, 83, 130, 34, 14, "OK", STYLE_TABSTOP},
    {N, K::Static, 5, 10, 60, 8, "COMポート", STYLE_LEFT},
    {N, K::Static, 5, 30, 60, 8, "ビット／秒（B）", STYLE_LEFT},
    {N, K::Static, 5, 50, 60, 8, "データ ビット（D）", STYLE_LEFT},
    {N, K::Static, 5, 70, 60, 8, "パリティ（P）", STYLE_LEFT},
    {N, K::Static, 5, 90, 60, 8, "ストップ ビット（S）", STYLE_LEFT},
    {N, K::Static, 5, 110, 60, 8, "フロー制御（F）", STYLE_LEFT},
    {IDC_COMBO_SPEED, K::ComboBox, 72, 30, 45, 186, "", SETTINGS_LIST},
    {IDC_COMBO_DATA_BITS, K::ComboBox, 72, 50, 45, 181, "", SETTINGS_LIST},
    {IDC_COMBO_PARITY, K::ComboBox, 72, 70, 45, 184, "", SETTINGS_LIST},
    {IDC_COMBO_STOP_BITS, K::ComboBox, 72, 90, 45, 184, "", SETTINGS_LIST},
    {IDC_COMBO_FLOW, K::ComboBox, 72, 110, 45, 169, "", SETTINGS_LIST},
    {IDC_COMBO_PORT, K::ComboBox, 72, 10, 45, 174, "", SETTINGS_LIST},
};

} // namespace

const DialogTemplate MAIN_TEMPLATE
    = {.id = 102,
       .w = 638,
       .h = 457,
       .caption = "Orvanta",
       .fontFace = "ＭＳ 明朝",
       .fontStandIn = "IPAMincho",
       .fontPoints = 9,
       .windowStyles = WINDOW_MINIMIZEBOX | WINDOW_TASKBAR | WINDOW_VISIBLE,
       .form = TemplateForm::Extended,
       .controls = MAIN_CONTROLS};

const DialogTemplate ABOUT_TEMPLATE = {.id = 100,
                                       .w = 235,
                                       .h = 55,
                                       .caption = "Orvantaのﾊﾞｰｼﾞｮﾝ情報",
                                       .fontFace = "ＭＳ Ｐゴシック",
                                       .fontStandIn = "IPAPGothic",
                                       .fontPoints = 9,
                                       .windowStyles = WINDOW_NONE,
                                       .form = TemplateForm::Plain,
                                       .controls = ABOUT_CONTROLS};

const DialogTemplate PORT_SETTINGS_TEMPLATE = {.id = 104,
                                               .w = 118,
                                               .h = 149,
                                               .caption = "ポートの設定",
                                               .fontFace = "ＭＳ Ｐ明朝",
                                               .fontStandIn = "IPAPMincho",
                                               .fontPoints = 9,
                                               .windowStyles = WINDOW_NONE,
                                               .form = TemplateForm::Extended,
                                               .controls = PORT_SETTINGS_CONTROLS};
