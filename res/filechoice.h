#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every file the user picks goes through ChooseFile: a modal file dialog that names an existing
// file to open or a file to save into. Tests replace the dialog with SetFileChooser, so that no
// test blocks on a modal window and each can see what was asked.

enum class FileChoice { Open, Save };

struct FileRequest
{
    FileChoice choice;
    QString caption;
    // The folder the dialog starts in, or for a save the suggested file in it.
    QString start;
    // Qt's filter list, entries separated by ";;".
    QString filter;
};

using FileChooser = std::function<QString(const FileRequest &request)>;

// The chosen file's path; empty when the user cancelled.
QString ChooseFile(QWidget *parent, const FileRequest &request);

// An empty chooser restores the real dialog.
void SetFileChooser(FileChooser chooser);
