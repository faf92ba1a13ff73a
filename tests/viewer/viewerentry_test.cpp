#include "logviewer.h"
#include "monitordlg.h"
#include "monitorwindowtest.h"
#include "viewertesting.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

// The main window without a port, a log in DATALOG and the file dialogs stood in for.
class MonitorWindowViewer : public MonitorWindow
{
protected:
    void SetUp() override
    {
        MonitorWindow::SetUp();
        ASSERT_EQ(::symlink("no-such-device", "COM1"), 0);
        m_dialog = std::make_unique<CMonitorDlg>();
        m_dialog->Monitor().OnInitDialog();
        m_messages.clear();
        QDir().mkdir("DATALOG");
        WriteFile("DATALOG/run.txt", "X07FFY0801Z0ABC\r\n");
    }
    void TearDown() override
    {
        m_dialog.reset();
        ::unlink("COM1");
        MonitorWindow::TearDown();
    }

    QStringList ViewerTitles() const
    {
        QStringList titles;
        for (const CLogViewer *viewer : m_dialog->findChildren<CLogViewer *>()) {
            if (viewer->isVisible())
                titles << viewer->windowTitle();
        }
        return titles;
    }

    CChooserStandIn m_chooser;
    std::unique_ptr<CMonitorDlg> m_dialog;
};

struct MenuCase
{
    const char *name;
    const char *chosen;
    QStringList titles;
    const char *messageStart;
};

// The user opens the window's menu with the right mouse button and picks the entry by its letter.
TEST_F(MonitorWindowViewer, OpensTheLogChosenFromTheWindowMenuInAViewer)
{
    const MenuCase cases[] = {
        {"a log", "DATALOG/run.txt", {Text("run.txt - ログ表示")}, ""},
        {"cancelled", "", {}, ""},
        {"a file that is not there", "DATALOG/gone.txt", {}, "ログファイルがオープンできません"},
    };
    for (const MenuCase &row : cases) {
        m_chooser.chosen = row.chosen;
        m_chooser.requests.clear();
        m_messages.clear();
        const QStringList entries = PickFromWindowMenu(*m_dialog, Qt::Key_O);

        EXPECT_TRUE(entries.contains(Text("ログを開く(&O)..."))) << row.name;
        ASSERT_EQ(m_chooser.requests.size(), 1u) << row.name;
        EXPECT_EQ(m_chooser.requests[0].choice, FileChoice::Open);
        EXPECT_EQ(QDir(m_chooser.requests[0].start).absolutePath(), m_workDir.path() + "/DATALOG");
        EXPECT_EQ(ViewerTitles(), row.titles) << row.name;
        EXPECT_EQ(m_messages.size(), *row.messageStart ? 1 : 0) << row.name;
        const QString messageStart = Text(row.messageStart);
        EXPECT_EQ(m_messages.value(0).left(messageStart.size()), messageStart) << row.name;
        qDeleteAll(m_dialog->findChildren<CLogViewer *>());
    }
}

TEST_F(MonitorWindowViewer, OpensALocalFileDroppedOnTheWindow)
{
    QMimeData web;
    web.setUrls({QUrl("https://example.com/run.txt")});
    QDragEnterEvent webEnter(QPoint(400, 300), Qt::CopyAction, &web, Qt::LeftButton, {});
    QCoreApplication::sendEvent(m_dialog.get(), &webEnter);
    EXPECT_FALSE(webEnter.isAccepted());

    QMimeData local;
    local.setUrls({QUrl::fromLocalFile(m_workDir.path() + "/DATALOG/run.txt")});
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &local, Qt::LeftButton, {});
    QCoreApplication::sendEvent(m_dialog.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &local, Qt::LeftButton, {});
    QCoreApplication::sendEvent(m_dialog.get(), &drop);
    EXPECT_EQ(ViewerTitles(), QStringList {Text("run.txt - ログ表示")});
    EXPECT_TRUE(m_dialog->acceptDrops());
}

} // namespace
