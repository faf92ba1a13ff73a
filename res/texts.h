#pragma once

// The program's own texts: captions, messages and status lines, exactly as the user sees them
// (UTF-8 here; blanks, half-width and full-width letters are part of each text).

namespace Strings {

inline constexpr const char *APP_NAME = "orvanta";
inline constexpr const char *MAIN_TITLE = "Orvanta (VER 3.00)   ";
inline constexpr const char *ABOUT_MENU = "Orvanta のﾊﾞｰｼﾞｮﾝ情報(&A)...";
// The maker's notice under the version line of the About box, short enough for its one line.
inline constexpr const char *ABOUT_NOTICE = "© 2026 Orvanta 制作チーム";

// Opening a log to look back at it: the main window's menu entry, the file dialogs, the viewer's
// window and its controls. %1 in the title is the file's name.
inline constexpr const char *OPEN_LOG_MENU = "ログを開く(&O)...";
inline constexpr const char *OPEN_LOG_CAPTION = "ログを開く";
inline constexpr const char *LOG_FILE_FILTER = "ログファイル (*.txt);;すべてのファイル (*)";
inline constexpr const char *VIEWER_TITLE = "%1 - ログ表示";
inline constexpr const char *VIEWER_RELOAD = "再読み込み";
inline constexpr const char *VIEWER_SAVE_ALL_CSV = "全体をCSVで保存...";
inline constexpr const char *VIEWER_SAVE_VISIBLE_CSV = "表示範囲をCSVで保存...";
inline constexpr const char *VIEWER_SAVE_PICTURE = "画像で保存...";
inline constexpr const char *VIEWER_BIT_LENGTH = "データビット長:";
inline constexpr const char *CSV_SAVE_CAPTION = "CSVで保存";
inline constexpr const char *CSV_FILE_FILTER = "CSVファイル (*.csv)";
inline constexpr const char *PICTURE_SAVE_CAPTION = "画像で保存";
inline constexpr const char *PICTURE_FILE_FILTER = "PNG画像 (*.png)";
inline constexpr const char *PICTURE_CANNOT_WRITE = "画像ファイルに書き込めません";
// In the bars that show how far the reading of the log and the writing of a CSV file are; %p is
// the percentage.
inline constexpr const char *VIEWER_READING = "読み込んでいます %p%";
inline constexpr const char *CSV_WRITING = "CSVファイルに書き込んでいます";
// The frame under the pointer: its number and byte position, then for each channel it carries
// the channel's letter, its four digits as in the file and its plot value.
inline constexpr const char *READOUT_FRAME = "フレーム %1　位置 %2";
inline constexpr const char *READOUT_CHANNEL = "　%1 %2 (%3)";

inline constexpr const char *PORT_MISSING
    = "指定COMポートが無いのでRS232の通信動作の設定ができません。\n"
      "それ以外のCOMポートを指定してポート設定をしてください。";
inline constexpr const char *PORT_STATE_UNREADABLE = " COMポートの制御設定情報が取得できません";
inline constexpr const char *PORT_CONFIG_REFUSED = " COMポートの初期設定ができません";
inline constexpr const char *STATUS_NO_PORT = "COMポートが設定されていません";
inline constexpr const char *STATUS_STARTUP_PORT_SET = "起動時のCOMポートが設定されました";
// Started with --demo: no port, a demo device sends instead until the user selects a port.
inline constexpr const char *STATUS_DEMO
    = "デモ中です。装置につなぐときは「ポート選択」を押してください";
inline constexpr const char *DEMO_PORT_INFO = " デモ：装置の代わりに模擬データ (毎秒100フレーム)";
inline constexpr const char *STATUS_PORT_SET = "指定のCOMポートが設定されました";
inline constexpr const char *STATUS_PORT_NOT_SET = "指定のCOMポートが設定されませんでした";
inline constexpr const char *STATUS_DATA_RECOVERED = "前回の受信データを回復しました";
// The journal could not write received bytes (a full disk) and holds them in memory until it can.
inline constexpr const char *STATUS_JOURNAL_BEHIND = "受信データをディスクに書き込めません";
inline constexpr const char *STATUS_JOURNAL_CAUGHT_UP
    = "受信データのディスクへの書き込みが回復しました";
// A journal left behind that cannot be put into a log (a folder or file that cannot be written).
inline constexpr const char *STATUS_DATA_NOT_RECOVERED = "前回の受信データを回復できませんでした";
inline constexpr const char *PORT_CANNOT_OPEN_SUFFIX = "　ポートがオープンできません。";
inline constexpr const char *SETTINGS_FILE_UNWRITABLE = "初期化ファイルがオープンできません";
inline constexpr const char *SEND_FAILED = "送信に失敗しました";
inline constexpr const char *LOG_CANNOT_OPEN = "ログファイルがオープンできません";
inline constexpr const char *LOG_CANNOT_WRITE = "ログファイルに書き込めません";
inline constexpr const char *RECEIVE_ERROR_TEXT = "エラー";
// The received-data box's own menu.
inline constexpr const char *COPY_MENU = "コピー(&C)";
inline constexpr const char *SELECT_ALL_MENU = "すべて選択(&A)";
// A copy of more than the clipboard should take.
inline constexpr const char *SELECTION_TOO_LARGE = "選択範囲が大きすぎるのでコピーできません";
// Beside the bar that shows how much of a long log write is done.
inline constexpr const char *LOG_WRITING = "ログファイルに書き込んでいます";

// Looking back at a log file, and its export as CSV. The header names the columns: frame
// number, byte position, each channel's four digits as they stand, each channel's plot value.
inline constexpr const char *LOG_CANNOT_READ = "ログファイルが読み込めません";
// Why a FIFO, a device or anything else that is not a plain file is not opened as a log.
inline constexpr const char *LOG_NOT_A_FILE = "通常のファイルではありません";
inline constexpr const char *CSV_CANNOT_WRITE = "CSVファイルに書き込めません";
inline constexpr const char *CSV_HEADER
    = "フレーム番号,バイト位置,X 16進,Y 16進,Z 16進,X 値,Y 値,Z 値";

// After the port's name: its device hung up (an unplugged adapter), and it is reopened by itself.
inline constexpr const char *PORT_LOST_SUFFIX = "　の接続が切れました。再接続を待っています";
inline constexpr const char *PORT_RECONNECTED_SUFFIX = "　に再接続しました";
// The driver's counts since the port opened: overruns, framing and parity errors, breaks.
inline constexpr const char *LINE_ERRORS
    = "受信エラー　オーバーラン %1　フレーミング %2　パリティ %3　ブレーク %4";

// What each port name reaches, in the port list's tooltips and in orvanta --list-ports.
inline constexpr const char *PORT_WORK_FOLDER_LINK = "作業フォルダのリンク";
inline constexpr const char *PORT_ON_BOARD = "オンボードのポート";
inline constexpr const char *PORT_NOT_CONNECTED = "接続されていません";
inline constexpr const char *PORT_NUMBERS_EXHAUSTED = "COM番号の空きがありません";
// Before the ports folder and the system's reason: an adapter's number that lasts for this run.
inline constexpr const char *PORT_NUMBER_NOT_KEPT = "今回限りの番号です。保存できません：";
// Before a device that Windows numbered beyond COM16; Device Manager gives it another number.
inline constexpr const char *PORT_BEYOND_SIXTEEN = "COM16 より後の番号のため選べません";
// A port that the system lists with no description of its device.
inline constexpr const char *PORT_UNDESCRIBED = "説明のないポート";
inline constexpr const char *PORT_PRESENT = "あり";
inline constexpr const char *PORT_ABSENT = "なし";

inline constexpr const char *USAGE
    = "使い方: orvanta [オプション]\n"
      "  --list-ports  COMポートの一覧を表示して終了します\n"
      "  --view ファイル\n"
      "                ログを表示するウィンドウだけを開きます\n"
      "  --demo        装置の代わりに模擬データを受信して動きを見せます\n"
      "  --csv ファイル [--bits 16|14|12|10|8]\n"
      "                ログをCSVにして標準出力に書き、終了します (既定は12ビット)\n"
      "  --help        この説明を表示して終了します\n"
      "  --version     バージョンを表示して終了します\n";
inline constexpr const char *UNKNOWN_OPTION = "不明なオプションです: ";
inline constexpr const char *OPTION_VALUE_MISSING = "オプションの値がありません: ";
inline constexpr const char *BIT_LENGTH_INVALID = "ビット長は 16, 14, 12, 10, 8 のどれかです: ";

// Why a port did not open, the paragraph under PORT_CANNOT_OPEN_SUFFIX or PORT_MISSING. %1 and
// %2 stand for the variable parts.
inline constexpr const char *OPEN_FAILURE_JOIN_GROUP
    = "デバイスはグループ %1 のメンバーだけが使えます。\n"
      "次のコマンドで参加し、ログインし直してください。\n"
      "sudo adduser \"$USER\" %1";
inline constexpr const char *OPEN_FAILURE_LOG_IN_AGAIN
    = "グループ %1 には参加済みですが、ログインし直すまで有効になりません。";
inline constexpr const char *OPEN_FAILURE_BUSY_BY = "%1 (プロセスID %2) がポートを使用中です。";
inline constexpr const char *OPEN_FAILURE_BUSY = "他のプログラムがポートを使用中です。";
// This program's own earlier connection to the port still waits for its output to drain.
inline constexpr const char *OPEN_FAILURE_STILL_CLOSING = "前の接続がまだ閉じられていません。";
inline constexpr const char *OPEN_FAILURE_NOT_PRESENT
    = "デバイスが見つかりません。アダプタが接続されているか確認してください。";
inline constexpr const char *OPEN_FAILURE_SYSTEM_ERROR = "システムのエラー：%1";

} // namespace Strings
