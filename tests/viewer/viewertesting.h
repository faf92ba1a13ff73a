#pragma once

#include "filechoice.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <fstream>
#include <string>
#include <vector>

// What the tests of the viewer share: log files written out, a chooser that stands in for the
// file dialogs, and the pointer and wheel of a user.

inline std::string Repeated(const std::string &frame, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += frame;
    return text;
}

inline void WriteFile(const std::string &name, const std::string &bytes)
{
    std::ofstream(name, std::ios::binary) << bytes;
}

// Records every request and answers with `chosen`.
class CChooserStandIn
{
public:
    CChooserStandIn()
    {
        SetFileChooser([this](const FileRequest &request) {
            requests.push_back(request);
            return chosen;
        });
    }
    ~CChooserStandIn() { SetFileChooser({}); }

    QString chosen;
    std::vector<FileRequest> requests;
};

inline void MovePointer(QWidget &widget, const QPoint &at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &move);
}

inline void Wheel(QWidget &widget, const QPoint &at, int steps)
{
    QWheelEvent wheel(at, widget.mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&widget, &wheel);
}
