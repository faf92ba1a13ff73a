#include "messagebox.h"

#include "texts.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace {

MessageBoxHandler &Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

std::function<void()> &BeepHandler()
{
    static std::function<void()> handler;
    return handler;
}

MessageAnswer ShowRealBox(const QString &text, MessageButtons buttons,
                          const QString &informativeText)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(Strings::APP_NAME), text);
    box.setInformativeText(informativeText);
    if (buttons == MessageButtons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return MessageAnswer::Ok;
    }
    box.setStandardButtons(QMessageBox::Retry | QMessageBox::Ignore);
    box.setDefaultButton(QMessageBox::Retry);
    return box.exec() == QMessageBox::Retry ? MessageAnswer::Retry : MessageAnswer::Ignore;
}

} // namespace

MessageAnswer ShowMessageBox(const QString &text, MessageButtons buttons,
                             const QString &informativeText)
{
    if (Handler())
        return Handler()(text, buttons, informativeText);
    return ShowRealBox(text, buttons, informativeText);
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    Handler() = std::move(handler);
}

void MessageBeep()
{
    if (BeepHandler())
        BeepHandler()();
    else
        QApplication::beep();
}

void SetBeepHandler(std::function<void()> handler)
{
    BeepHandler() = std::move(handler);
}
