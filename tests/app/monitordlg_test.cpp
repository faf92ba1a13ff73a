#include "monitordlg.h"
#include "monitorwindowtest.h"
#include "portsettings.h"
#include "pseudoterminal.h"
#include "reader.h"
#include "receivemessages.h"
#include "dialogtemplate.h"
#include "templates.h"
#include "texts.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

// The device, linked as COM1 in the working directory. It holds the port's end too, so that the
// bytes no reader has taken yet can be counted.
class CDevice : public CPseudoTerminal
{
public:
    CDevice()
        : CPseudoTerminal(OtherEnd::HeldInProcess)
    {
        LinkAs("COM1");
    }
};

// Waits without running the event loop, so that posted events stay queued.
template<typename Predicate> bool WaitWithoutEvents(Predicate predicate)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class CPaintCounter : public QObject
{
public:
    CPaintCounter() { m_clock.start(); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            paintTimesNs.push_back(m_clock.nsecsElapsed());
        }
        return false;
    }

    int paints = 0;
    std::vector<qint64> paintTimesNs;

private:
    QElapsedTimer m_clock;
};

const char *const DEFAULT_PORT_INFO = " COM1 ,   9600 BPS , 8 BITS , No PARITY , 1 STOP , No FLOW";

TEST_F(MonitorWindow, RunsWithoutPortWhenThePortIsMissing)
{
    ASSERT_EQ(::symlink("no-such-device", "COM1"), 0);
    CMonitorDlg dialog;
    EXPECT_TRUE(dialog.Monitor().OnInitDialog());
    EXPECT_FALSE(dialog.Monitor().EndedAtStartup());
    EXPECT_EQ(m_messages, QStringList {Text(Strings::PORT_MISSING)});
    EXPECT_EQ(m_informativeTexts,
              QStringList {
                  Text("デバイスが見つかりません。アダプタが接続されているか確認してください。")});
    EXPECT_EQ(dialog.windowTitle(), Text("Orvanta (VER 3.00)   "));
    EXPECT_EQ(Shown(dialog.Monitor().PortInfoText()), Text(DEFAULT_PORT_INFO));
    EXPECT_EQ(Shown(dialog.Monitor().StatusText()), Text(Strings::STATUS_NO_PORT));
    EXPECT_FALSE(dialog.Monitor().RedrawTimerRunning());
    EXPECT_FALSE(dialog.Monitor().Reader().Running());
    EXPECT_EQ(g_settingsLoaded, 1);

    // The close sequence runs whole: the (empty) log and the settings file are written.
    dialog.Monitor().OnCancel();
    EXPECT_EQ(LogFiles().size(), 1);
    EXPECT_EQ(QFileInfo("rs232c.ini").size(), 124);
    EXPECT_EQ(m_messages.size(), 1);
    ::unlink("COM1");
}

TEST_F(MonitorWindow, StartsOnTheDeviceAndKeepsEveryByteToTheLog)
{
    CDevice device;
    CMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
    EXPECT_EQ(Shown(dialog.Monitor().StatusText()), Text(Strings::STATUS_STARTUP_PORT_SET));
    EXPECT_TRUE(dialog.Monitor().RedrawTimerRunning());
    EXPECT_TRUE(dialog.Monitor().Reader().Running());

    device.Send("X07FFY0801Z0ABC\r\nX0100\r\n");
    ASSERT_TRUE(WaitFor([&] { return dialog.Monitor().Samples().writeIndex == 2; }));
    EXPECT_EQ(dialog.Monitor().Samples().z[0], 335);
    EXPECT_EQ(Shown(dialog.Monitor().ByteCountText()), Text("24"));
    EXPECT_EQ(dialog.Monitor().TracesShown(), 1);

    dialog.Monitor().OnCancel();
    EXPECT_FALSE(dialog.Monitor().Reader().Running());
    EXPECT_FALSE(dialog.Monitor().RedrawTimerRunning());
    EXPECT_EQ(dialog.Monitor().TracesShown(), 0);
    EXPECT_EQ(LogBytes(), QByteArray("X07FFY0801Z0ABC\r\nX0100\r\n"));
    EXPECT_EQ(QFileInfo("rs232c.ini").size(), 124);
}

// The redraw timer that runs while the port is open, found by its period.
int RedrawTimerId(const CMonitorDlg &dialog)
{
    for (const auto &timer : QAbstractEventDispatcher::instance()->registeredTimers(
             const_cast<CMonitorDlg *>(&dialog))) {
        if (timer.interval == 2000)
            return timer.timerId;
    }
    return 0;
}

TEST_F(MonitorWindow, RedrawsTheLegendsAndTheGraphAtEveryTickOfTheRedrawTimer)
{
    CDevice device;
    CMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    const int timerId = RedrawTimerId(dialog);
    ASSERT_NE(timerId, 0);
    std::vector<std::unique_ptr<CPaintCounter>> counters;
    for (const int id : {IDC_LEGEND_X, IDC_LEGEND_Y, IDC_LEGEND_Z, IDC_PLOT}) {
        counters.push_back(std::make_unique<CPaintCounter>());
        FindControl(dialog, id)->installEventFilter(counters.back().get());
    }
    dialog.show();
    const auto everyOnePainted = [&counters] {
        return std::ranges::all_of(counters,
                                   [](const auto &counter) { return counter->paints > 0; });
    };
    ASSERT_TRUE(WaitFor(everyOnePainted));
    for (const auto &counter : counters)
        counter->paints = 0;

    QTimerEvent tick(timerId);
    QCoreApplication::sendEvent(&dialog, &tick);
    EXPECT_TRUE(WaitFor(everyOnePainted));
    dialog.Monitor().OnCancel();
}

TEST_F(MonitorWindow, LogsTheChunksTheReaderHandedOverBeforeItStopped)
{
    CDevice device;
    CMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    const std::uint64_t wakeUps = dialog.Monitor().Reader().WakeCount();
    device.Send("X07FFY0801Z0ABC\r\nX0100\r\n");
    // The reader has woken for the bytes and taken them; its chunk is posted, or is when the
    // stop wakes it, and the close runs before the event loop could deliver it.
    ASSERT_TRUE(WaitWithoutEvents([&] {
        return dialog.Monitor().Reader().WakeCount() > wakeUps
            && device.BytesWaitingForReader() == 0;
    }));
    dialog.Monitor().OnCancel();
    EXPECT_EQ(LogBytes(), QByteArray("X07FFY0801Z0ABC\r\nX0100\r\n"));
}

TEST_F(MonitorWindow, EndsAtStartupWithoutWritingWhenTheConfigurationIsRefused)
{
    CDevice device;
    // The user picks 1.5 stop bits with 8 data bits, which no port accepts.
    SetModalRunner([](QDialog &) {
        g_portSettings.stopBits = 1;
        return int(QDialog::Rejected);
    });
    CMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    EXPECT_TRUE(dialog.Monitor().EndedAtStartup());
    EXPECT_EQ(m_messages, QStringList {Text(Strings::PORT_CONFIG_REFUSED)});
    EXPECT_FALSE(dialog.Monitor().Reader().Running());
    EXPECT_FALSE(QFile::exists("rs232c.ini"));
    EXPECT_FALSE(QFile::exists("DATALOG"));
}

class MonitorWindowRunning : public MonitorWindow
{
protected:
    void SetUp() override
    {
        MonitorWindow::SetUp();
        ASSERT_EQ(::symlink("no-such-device", "COM1"), 0);
        m_dialog = std::make_unique<CMonitorDlg>();
        m_dialog->Monitor().OnInitDialog();
        m_messages.clear();
        m_informativeTexts.clear();
    }
    void TearDown() override
    {
        m_dialog.reset();
        ::unlink("COM1");
        MonitorWindow::TearDown();
    }

    void Receive(const QByteArray &bytes)
    {
        m_dialog->Monitor().OnReceivedData(bytes.toStdString());
    }
    QPlainTextEdit &SendBox() { return *FindControlAs<QPlainTextEdit>(*m_dialog, IDC_SEND_TEXT); }

    std::unique_ptr<CMonitorDlg> m_dialog;
};

// A chunk after a quiet spell shows at once; one that follows it closely is taken at once and
// shown with the others of its interval.
TEST_F(MonitorWindowRunning, CountsTheBytesOfEveryChunk)
{
    Receive("0123456789");
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), Text("10"));
    Receive("abcdefg");
    EXPECT_EQ(Bytes(m_dialog->Monitor().ReceivedText()), "0123456789abcdefg");
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), Text("10"));
    EXPECT_TRUE(WaitFor([&] { return Shown(m_dialog->Monitor().ByteCountText()) == Text("17"); }));
}

TEST_F(MonitorWindowRunning, KeepsBytesAfterAnEmbeddedNul)
{
    Receive(QByteArray("X0100\r\n\0X0200\r\n", 15));
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), Text("15"));
    EXPECT_EQ(m_dialog->Monitor().Samples().writeIndex, 1);
}

TEST_F(MonitorWindowRunning, TakesAChunkPostedFromAnotherThread)
{
    std::thread reader([this] {
        QCoreApplication::postEvent(m_dialog.get(),
                                    new CReceivedDataEvent(QByteArray("X07FFY0801Z0ABC\r\n")));
    });
    reader.join();
    ASSERT_TRUE(WaitFor([&] { return m_dialog->Monitor().Samples().writeIndex == 1; }));
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), Text("17"));
    EXPECT_EQ(m_dialog->Monitor().Samples().x[0], 249);
}

// However fast chunks come, the graph is painted about once a frame of the screen at most: a
// busy machine may stretch the gaps, never shorten them. A paint comes a little after the
// request that the pacing holds back, so a gap may look shorter than the frame by that much;
// without the pacing, gaps are a chunk's handling, a fraction of a millisecond.
TEST_F(MonitorWindowRunning, PaintsTheGraphAtMostOnceAFrameWhileChunksPourIn)
{
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    CPaintCounter counter;
    FindControl(*m_dialog, IDC_PLOT)->installEventFilter(&counter);
    const QByteArray chunk = QByteArray("X07FFY0801Z0ABC\r\n").repeated(240);
    QElapsedTimer limit;
    limit.start();
    while (counter.paintTimesNs.size() < 5 && limit.elapsed() < 10'000) {
        Receive(chunk);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(counter.paintTimesNs.size(), 5u);
    const qint64 frameNs = static_cast<qint64>(1e9 / m_dialog->screen()->refreshRate());
    for (std::size_t i = 1; i < counter.paintTimesNs.size(); ++i) {
        EXPECT_GE(counter.paintTimesNs[i] - counter.paintTimesNs[i - 1], frameNs / 2)
            << "paint " << i;
    }
}

TEST_F(MonitorWindowRunning, ReplacesTheTextOnAReceiveErrorAndKeepsTheCount)
{
    Receive(QByteArray(100, 'a'));
    CReceiveErrorEvent error;
    QCoreApplication::sendEvent(m_dialog.get(), &error);
    QStringDecoder decode("Shift_JIS");
    EXPECT_EQ(QString(decode(QByteArray::fromStdString(Bytes(m_dialog->Monitor().ReceivedText())))),
              Text("エラー"));
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), Text("100"));
}

TEST_F(MonitorWindowRunning, KeepsWhatTheUserTypesWhileDataArrives)
{
    SendBox().setPlainText(Text("typed, not sent"));
    Receive("X0100\r\n");
    Receive("X0200\r\n");
    EXPECT_EQ(SendBox().toPlainText(), Text("typed, not sent"));
}

TEST_F(MonitorWindowRunning, SwallowsEnterAndEscapeWithABeep)
{
    m_dialog->show();
    SendBox().setPlainText(Text("abc"));
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        for (QWidget *target :
             {static_cast<QWidget *>(&SendBox()), FindControl(*m_dialog, IDC_SEND),
              static_cast<QWidget *>(m_dialog.get())}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                            key == Qt::Key_Escape ? "\x1b" : "\r");
            QCoreApplication::sendEvent(target, &press);
        }
    }
    EXPECT_EQ(m_beeps, 9);
    EXPECT_EQ(SendBox().toPlainText(), Text("abc"));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(MonitorWindowRunning, SelectsTwelveBitAndSetsTheCodeFromThePosition)
{
    auto &combo = *FindControlAs<QComboBox>(*m_dialog, IDC_BIT_LENGTH);
    ASSERT_EQ(combo.count(), 5);
    EXPECT_EQ(combo.itemText(0), Text("16Bit"));
    EXPECT_EQ(combo.itemText(4), Text(" 8Bit"));
    EXPECT_EQ(combo.currentText(), Text("12Bit"));
    EXPECT_EQ(g_bitLengthSel, 3);
    // The user steps down the closed list to its last entry.
    QTest::keyClick(&combo, Qt::Key_Down);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.currentText(), Text(" 8Bit"));
    EXPECT_EQ(g_bitLengthSel, 5);
    Receive("X0ABC\r\n");
    EXPECT_EQ(m_dialog->Monitor().Samples().x[0], 367);
}

TEST_F(MonitorWindowRunning, ClearsEverythingOnlyAfterTheLogHoldsIt)
{
    const QByteArray bytes("X07FFY0801Z0ABC\r\n\x82\xa0\xff\r\n");
    Receive(bytes);
    m_dialog->Monitor().OnDisplayClear();
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(LogBytes(), bytes);
    EXPECT_EQ(m_dialog->Monitor().ReceivedText().Size(), 0u);
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), QString());
    EXPECT_EQ(m_dialog->Monitor().Samples().writeIndex, 0);
    EXPECT_EQ(m_dialog->Monitor().Samples().x[0], EMPTY_SAMPLE);
    EXPECT_EQ(m_dialog->Monitor().TracesShown(), 0);
}

TEST_F(MonitorWindowRunning, KeepsTheTextWhenTheLogCannotBeOpened)
{
    QFile blocker("DATALOG");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Receive("X0100\r\n");
    m_dialog->Monitor().OnDisplayClear();
    EXPECT_EQ(m_messages, QStringList {Text(Strings::LOG_CANNOT_OPEN)});
    EXPECT_EQ(Shown(m_dialog->Monitor().ByteCountText()), Text("7"));
    EXPECT_EQ(m_dialog->Monitor().Samples().writeIndex, 1);
}

TEST_F(MonitorWindowRunning, OpensTheAboutBoxForItsCommandWhateverTheLowFourBits)
{
    QStringList opened;
    SetModalRunner([&opened](QDialog &dialog) {
        opened << dialog.windowTitle();
        return int(QDialog::Accepted);
    });
    for (unsigned command = 0; command < 48; ++command)
        m_dialog->Monitor().OnSysCommand(command);
    EXPECT_EQ(opened.size(), 16);
    EXPECT_EQ(opened.value(0), Text("Orvantaのﾊﾞｰｼﾞｮﾝ情報"));
}

// The user opens the window's menu with the right mouse button and picks the entry by its letter.
TEST_F(MonitorWindowRunning, OpensTheAboutBoxFromTheWindowMenu)
{
    QStringList opened;
    SetModalRunner([&opened](QDialog &dialog) {
        opened << dialog.windowTitle();
        return int(QDialog::Accepted);
    });
    const QStringList entries = PickFromWindowMenu(*m_dialog, Qt::Key_A);
    EXPECT_TRUE(entries.contains(Text("Orvanta のﾊﾞｰｼﾞｮﾝ情報(&A)...")));
    EXPECT_EQ(opened, QStringList {Text("Orvantaのﾊﾞｰｼﾞｮﾝ情報")});
}

TEST_F(MonitorWindowRunning, ShowsTheVersionAndTheIconInTheAboutBox)
{
    QStringList texts;
    bool iconShown = false;
    SetModalRunner([&](QDialog &dialog) {
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            texts << label->text();
            iconShown = iconShown || !label->pixmap().isNull();
        }
        return int(QDialog::Accepted);
    });
    m_dialog->Monitor().OnSysCommand(SYSCMD_ABOUT);
    EXPECT_TRUE(texts.contains(Text("Orvanta Version 1.0")));
    EXPECT_TRUE(iconShown);
}

TEST_F(MonitorWindowRunning, ReportsAMissingPortAtSelectionAndKeepsReading)
{
    ASSERT_EQ(::symlink("no-such-device", "COM5"), 0);
    SetModalRunner([](QDialog &) {
        g_portSettings.portIndex = 4;
        std::strcpy(g_portSettings.portText, "COM5");
        return int(QDialog::Rejected);
    });
    m_dialog->Monitor().OnPortSelect();
    EXPECT_EQ(m_messages, QStringList {Text("COM5　ポートがオープンできません。")});
    EXPECT_EQ(Shown(m_dialog->Monitor().StatusText()), Text(Strings::STATUS_PORT_NOT_SET));
    EXPECT_EQ(Shown(m_dialog->Monitor().PortInfoText()), Text(DEFAULT_PORT_INFO));
    EXPECT_EQ(m_dialog->windowTitle(), Text("Orvanta (VER 3.00)   "));
    EXPECT_TRUE(m_dialog->Monitor().Reader().Running());
    ::unlink("COM5");
}

// The second paragraph of the box names who holds a port that is busy.
TEST_F(MonitorWindowRunning, SaysWhoHoldsTheSelectedPort)
{
    ::unlink("COM1");
    CDevice device;
    const int holder = ::open("COM1", O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    QFile comm("/proc/self/comm");
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    const QString name = QString::fromUtf8(comm.readAll()).trimmed();

    m_dialog->Monitor().OnPortSelect();
    EXPECT_EQ(m_messages, QStringList {Text("COM1　ポートがオープンできません。")});
    EXPECT_EQ(m_informativeTexts,
              QStringList {name + Text(" (プロセスID ") + QString::number(::getpid())
                           + Text(") がポートを使用中です。")});
    ::close(holder);
}

TEST_F(MonitorWindowRunning, SwitchesToTheSelectedPortAndReceivesFromIt)
{
    ::unlink("COM1");
    CDevice device;
    SetModalRunner([](QDialog &) {
        g_portSettings.baudRate = 19200;
        std::strcpy(g_portSettings.speedText, " 19200");
        g_portSettings.stopBits = 2;
        std::strcpy(g_portSettings.stopBitsText, "2");
        return int(QDialog::Accepted);
    });
    m_dialog->Monitor().OnPortSelect();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
    EXPECT_EQ(Shown(m_dialog->Monitor().StatusText()), Text(Strings::STATUS_PORT_SET));
    EXPECT_EQ(Shown(m_dialog->Monitor().PortInfoText()),
              Text(" COM1 ,  19200 BPS , 8 BITS , No PARITY , 2 STOP , No FLOW"));
    device.Send("X0100\r\n");
    EXPECT_TRUE(WaitFor([&] { return m_dialog->Monitor().Samples().writeIndex == 1; }));
    // The redraw timer stays off for a run that started without a port.
    EXPECT_FALSE(m_dialog->Monitor().RedrawTimerRunning());
}

TEST_F(MonitorWindowRunning, LetsTheUserRetryALogThatCannotBeOpenedAtClose)
{
    QFile blocker("DATALOG");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Receive("X0100\r\n");
    QList<MessageButtons> buttons;
    SetMessageBoxHandler([&](const QString &text, MessageButtons shown, const QString &) {
        m_messages << text;
        buttons << shown;
        QFile::remove("DATALOG");
        return MessageAnswer::Retry;
    });
    m_dialog->Monitor().OnCancel();
    EXPECT_EQ(m_messages, QStringList {Text(Strings::LOG_CANNOT_OPEN)});
    EXPECT_EQ(buttons, QList<MessageButtons> {MessageButtons::RetryIgnore});
    EXPECT_EQ(LogBytes(), QByteArray("X0100\r\n"));
    EXPECT_EQ(QFileInfo("rs232c.ini").size(), 124);
}

TEST_F(MonitorWindowRunning, ClosesWithoutTheLogWhenTheUserIgnoresIt)
{
    QFile blocker("DATALOG");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Receive("X0100\r\n");
    int finished = 0;
    QObject::connect(m_dialog.get(), &QDialog::finished, [&finished] { ++finished; });
    m_dialog->Monitor().OnCancel();
    EXPECT_EQ(m_messages, QStringList {Text(Strings::LOG_CANNOT_OPEN)});
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(QFileInfo("rs232c.ini").size(), 124);
}

TEST_F(MonitorWindowRunning, NamesTheLogAfterThePortOfTheMoment)
{
    Receive("one");
    m_dialog->Monitor().OnDisplayClear();
    g_portSettings.portIndex = 11;
    Receive("two");
    m_dialog->Monitor().OnDisplayClear();
    const QStringList files = LogFiles();
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].startsWith("COM12_")) << files[0].toStdString();
    EXPECT_TRUE(files[1].startsWith("COM1_")) << files[1].toStdString();
}

} // namespace
