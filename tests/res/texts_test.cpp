#include "texts.h"

#include <gtest/gtest.h>

namespace {

// The messages and status lines whose wording is fixed word for word, written out as the user
// must read them. \u3000 is the full-width blank; the half-width blanks at the start and the
// end of a text belong to it.
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
};

TEST(Texts, GivenMessagesAndStatusLinesReadExactly)
{
    for (const TextCase &row : TEXT_CASES)
        EXPECT_STREQ(row.program, row.expected) << row.name;
}

} // namespace
