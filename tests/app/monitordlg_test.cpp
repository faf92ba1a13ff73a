// What only the Qt window does: it paints at the screen's pace, keeps what the user types, filters
// keys, offers its menu, and carries the reader's chunks to the behaviour as posted events.
#include "dialogtemplate.h"
#include "monitordlg.h"
#include "monitorwindowtest.h"
#include "portsettings.h"
#include "pseudoterminal.h"
#include "reader.h"
#include "templates.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

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

// The whole way through the real window: the reader's chunks reach it as posted events, the
// counter and the graph follow, and its cancel button closes it with every byte in the log.
TEST_F(MonitorWindow, StartsOnTheDeviceReceivesAndClosesWithEveryByteInTheLog)
{
    CPseudoTerminal device;
    device.LinkAs("COM1");
    CMonitorDlg dialog;
    dialog.Monitor().OnInitDialog();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
    EXPECT_EQ(dialog.windowTitle(), Text("Orvanta (VER 3.00)   "));
    EXPECT_EQ(FindControlAs<QLineEdit>(dialog, IDC_STATUS)->text(),
              Text("起動時のCOMポートが設定されました"));
    dialog.show();

    device.Send("X07FFY0801Z0ABC\r\nX0100\r\n");
    ASSERT_TRUE(WaitFor([&] { return dialog.Monitor().Samples().writeIndex == 2; }));
    EXPECT_TRUE(
        WaitFor([&] { return FindControlAs<QLineEdit>(dialog, IDC_BYTE_COUNT)->text() == "24"; }));

    int finished = 0;
    QObject::connect(&dialog, &QDialog::finished, [&finished] { ++finished; });
    QTest::mouseClick(FindControl(dialog, IDC_CANCEL), Qt::LeftButton);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(dialog.Monitor().Reader().Running());
    EXPECT_EQ(LogBytes(), QByteArray("X07FFY0801Z0ABC\r\nX0100\r\n"));
    EXPECT_EQ(QFileInfo("rs232c.ini").size(), 124);
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

TEST_F(MonitorWindowRunning, TakesTheBitLengthTheUserStepsTo)
{
    auto &combo = *FindControlAs<QComboBox>(*m_dialog, IDC_BIT_LENGTH);
    EXPECT_EQ(combo.currentText(), Text("12Bit"));
    // The user steps down the closed list to its last entry.
    QTest::keyClick(&combo, Qt::Key_Down);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.currentText(), Text(" 8Bit"));
    EXPECT_EQ(g_bitLengthSel, 5);
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

} // namespace
