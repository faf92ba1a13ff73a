#include "textbinding.h"

#include <QLineEdit>
#include <QPlainTextEdit>

void CTextBinding::Bind(QString &member, QWidget &control)
{
    m_entries.push_back({&member, &control, ControlText(control)});
}

void CTextBinding::Push()
{
    for (Entry &entry : m_entries) {
        if (*entry.member == entry.shown)
            continue;
        SetControlText(*entry.control, *entry.member);
        entry.shown = *entry.member;
    }
}

void CTextBinding::Pull()
{
    for (Entry &entry : m_entries) {
        entry.shown = ControlText(*entry.control);
        *entry.member = entry.shown;
    }
}

QString CTextBinding::ControlText(const QWidget &control)
{
    if (auto *line = qobject_cast<const QLineEdit *>(&control))
        return line->text();
    return static_cast<const QPlainTextEdit &>(control).toPlainText();
}

void CTextBinding::SetControlText(QWidget &control, const QString &text)
{
    if (auto *line = qobject_cast<QLineEdit *>(&control)) {
        line->setText(text);
        // A replaced text is shown from its start, as a fresh edit box shows it.
        line->setCursorPosition(0);
        return;
    }
    static_cast<QPlainTextEdit &>(control).setPlainText(text);
}
