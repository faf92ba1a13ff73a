#pragma once

#include <QString>

#include <vector>

class QWidget;

// Binds text members of a window to its edit boxes. Push sends a member to its box only when
// the program changed the member since the box last showed it, so what the user is typing in a
// box survives a push made for another member. Pull takes every box's text into its member.

class CTextBinding
{
public:
    // control is a QLineEdit or a QPlainTextEdit.
    void Bind(QString &member, QWidget &control);

    void Push();
    void Pull();

private:
    struct Entry
    {
        QString *member;
        QWidget *control;
        QString shown;
    };

    static QString ControlText(const QWidget &control);
    static void SetControlText(QWidget &control, const QString &text);

    std::vector<Entry> m_entries;
};
