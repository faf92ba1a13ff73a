#include "texts.h"

#include <gtest/gtest.h>

namespace {

// Every message and status line, written out as the user must read it. \u3000 is the full-width
// blank; the half-width blanks at the start and the end of a text belong to it.
struct TextCase
{
    const char *name;
    const char *program;
    const char *expected;
};

const TextCase TEXT_CASES[] = {
    {"window title", Strings::MAIN_TITLE, "Orvanta (VER 3.00)   "},
    {"About entry", Strings::ABOUT_MENU, "Orvanta のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    {"open log entry", Strings::OPEN_LOG_MENU, "ログを開く(&O)..."},
    {"open log caption", Strings::OPEN_LOG_CAPTION, "ログを開く"},
    {"log file filter", Strings::LOG_FILE_FILTER, "ログファイル (*.txt);;すべてのファイル (*)"},
    {"viewer title", Strings::VIEWER_TITLE, "%1 - ログ表示"},
    {"reload", Strings::VIEWER_RELOAD, "再読み込み"},
    {"save all as CSV", Strings::VIEWER_SAVE_ALL_CSV, "全体をCSVで保存..."},
    {"save visible as CSV", Strings::VIEWER_SAVE_VISIBLE_CSV, "表示範囲をCSVで保存..."},
    {"save picture", Strings::VIEWER_SAVE_PICTURE, "画像で保存..."},
    {"viewer bit length", Strings::VIEWER_BIT_LENGTH, "データビット長:"},
    {"CSV save caption", Strings::CSV_SAVE_CAPTION, "CSVで保存"},
    {"CSV file filter", Strings::CSV_FILE_FILTER, "CSVファイル (*.csv)"},
    {"picture save caption", Strings::PICTURE_SAVE_CAPTION, "画像で保存"},
    {"picture file filter", Strings::PICTURE_FILE_FILTER, "PNG画像 (*.png)"},
    {"picture cannot write", Strings::PICTURE_CANNOT_WRITE, "画像ファイルに書き込めません"},
    {"reading log", Strings::VIEWER_READING, "読み込んでいます %p%"},
    {"CSV being written", Strings::CSV_WRITING, "CSVファイルに書き込んでいます"},
    {"readout frame", Strings::READOUT_FRAME, "フレーム %1\u3000位置 %2"},
    {"readout channel", Strings::READOUT_CHANNEL, "\u3000%1 %2 (%3)"},
    {"port missing", Strings::PORT_MISSING,
     "指定COMポートが無いのでRS232の通信動作の設定ができません。\n"
     "それ以外のCOMポートを指定してポート設定をしてください。"},
    {"port state unreadable", Strings::PORT_STATE_UNREADABLE,
     " COMポートの制御設定情報が取得できません"},
    {"configuration refused", Strings::PORT_CONFIG_REFUSED, " COMポートの初期設定ができません"},
    {"status no port", Strings::STATUS_NO_PORT, "COMポートが設定されていません"},
    {"status start-up port set", Strings::STATUS_STARTUP_PORT_SET,
     "起動時のCOMポートが設定されました"},
    {"status port set", Strings::STATUS_PORT_SET, "指定のCOMポートが設定されました"},
    {"status port not set", Strings::STATUS_PORT_NOT_SET, "指定のCOMポートが設定されませんでした"},
    {"status data recovered", Strings::STATUS_DATA_RECOVERED, "前回の受信データを回復しました"},
    {"port cannot open", Strings::PORT_CANNOT_OPEN_SUFFIX, "\u3000ポートがオープンできません。"},
    {"settings file unwritable", Strings::SETTINGS_FILE_UNWRITABLE,
     "初期化ファイルがオープンできません"},
    {"send failed", Strings::SEND_FAILED, "送信に失敗しました"},
    {"log cannot open", Strings::LOG_CANNOT_OPEN, "ログファイルがオープンできません"},
    {"log cannot write", Strings::LOG_CANNOT_WRITE, "ログファイルに書き込めません"},
    {"receive error", Strings::RECEIVE_ERROR_TEXT, "エラー"},
    {"log being written", Strings::LOG_WRITING, "ログファイルに書き込んでいます"},
    {"selection too large", Strings::SELECTION_TOO_LARGE,
     "選択範囲が大きすぎるのでコピーできません"},
    {"port lost", Strings::PORT_LOST_SUFFIX, "\u3000の接続が切れました。再接続を待っています"},
    {"port reconnected", Strings::PORT_RECONNECTED_SUFFIX, "\u3000に再接続しました"},
    {"line errors", Strings::LINE_ERRORS,
     "受信エラー\u3000オーバーラン %1\u3000フレーミング %2\u3000パリティ %3\u3000ブレーク %4"},
    {"join group", Strings::OPEN_FAILURE_JOIN_GROUP,
     "デバイスはグループ %1 のメンバーだけが使えます。\n"
     "次のコマンドで参加し、ログインし直してください。\n"
     "sudo adduser \"$USER\" %1"},
    {"log in again", Strings::OPEN_FAILURE_LOG_IN_AGAIN,
     "グループ %1 には参加済みですが、ログインし直すまで有効になりません。"},
    {"busy, holder known", Strings::OPEN_FAILURE_BUSY_BY,
     "%1 (プロセスID %2) がポートを使用中です。"},
    {"busy", Strings::OPEN_FAILURE_BUSY, "他のプログラムがポートを使用中です。"},
    {"device not present", Strings::OPEN_FAILURE_NOT_PRESENT,
     "デバイスが見つかりません。アダプタが接続されているか確認してください。"},
    {"system error", Strings::OPEN_FAILURE_SYSTEM_ERROR, "システムのエラー：%1"},
    {"log unreadable", Strings::LOG_CANNOT_READ, "ログファイルが読み込めません"},
    {"CSV unwritable", Strings::CSV_CANNOT_WRITE, "CSVファイルに書き込めません"},
    {"CSV header", Strings::CSV_HEADER,
     "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値"},
    {"option value missing", Strings::OPTION_VALUE_MISSING, "オプションの値がありません: "},
    {"bit length invalid", Strings::BIT_LENGTH_INVALID,
     "ビット長は 16, 14, 12, 10, 8 のどれかです: "},
    {"usage", Strings::USAGE,
     "使い方: orvanta [オプション]\n"
     "  --list-ports  COMポートの一覧を表示して終了します\n"
     "  --view ファイル\n"
     "                ログを表示するウィンドウだけを開きます\n"
     "  --csv ファイル [--bits 16|14|12|10|8]\n"
     "                ログをCSVにして標準出力に書き、終了します (既定は12ビット)\n"
     "  --help        この説明を表示して終了します\n"
     "  --version     バージョンを表示して終了します\n"},
};

TEST(Texts, EveryMessageAndStatusLineReadsExactly)
{
    for (const TextCase &row : TEXT_CASES)
        EXPECT_STREQ(row.program, row.expected) << row.name;
}

} // namespace
