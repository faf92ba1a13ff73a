#pragma once

#include "messagebox.h"
#include "modalrun.h"
#include "portsettings.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

// What the tests of the main window share: waiting on a condition while events are processed,
// and a fixture that runs each test in a fresh working directory with every message box, beep
// and modal dialog replaced, so that no test blocks and every message is recorded.

// Processes events until predicate holds; false when it still does not after timeoutMs.
template<typename Predicate> bool WaitFor(Predicate predicate, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!predicate()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Opens a window's menu with the right mouse button, as the user does, and picks the entry whose
// letter is `key`; the entries that the menu offered.
inline QStringList PickFromWindowMenu(QWidget &window, Qt::Key key)
{
    QStringList entries;
    QTimer::singleShot(0, [&entries, key] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (const QAction *action : menu->actions())
            entries << action->text();
        QTest::keyClick(menu, key);
    });
    const QPoint inside(400, 300);
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, window.mapToGlobal(inside));
    QCoreApplication::sendEvent(&window, &click);
    return entries;
}

class MonitorWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_workDir.isValid());
        m_previousDir = QDir::currentPath();
        QDir::setCurrent(m_workDir.path());
        SetMessageBoxHandler(
            [this](const QString &text, MessageButtons buttons, const QString &informativeText) {
                m_messages << text;
                m_informativeTexts << informativeText;
                return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Ignore;
            });
        SetBeepHandler([this] { ++m_beeps; });
        // The settings dialog closes at once, as with its close box.
        SetModalRunner([](QDialog &) { return int(QDialog::Rejected); });
        g_settingsLoaded = 0;
    }

    void TearDown() override
    {
        SetModalRunner({});
        SetBeepHandler({});
        SetMessageBoxHandler({});
        QDir::setCurrent(m_previousDir);
    }

    static QByteArray LogBytes()
    {
        const QStringList files = QDir("DATALOG").entryList(QDir::Files);
        if (files.size() != 1)
            return "<" + QByteArray::number(files.size()) + " log files>";
        QFile file("DATALOG/" + files.first());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    QTemporaryDir m_workDir;
    QString m_previousDir;
    QStringList m_messages;
    QStringList m_informativeTexts;
    int m_beeps = 0;
};
