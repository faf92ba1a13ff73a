#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Every file the user picks goes through ChooseFile: the system's modal dialog that names an
// existing file to open or a file to save into. Tests replace the dialog with SetFileChooser, so
// that no test blocks on a modal window and each can see what was asked. Texts and paths are
// UTF-8.

enum class FileChoice { Open, Save };

struct FileRequest
{
    FileChoice choice;
    std::string caption;
    // The folder the dialog starts in, or for a save the suggested file in it.
    std::string start;
    // Entries "Name (patterns)" separated by ";;", as the Linux program's file dialogs take them.
    std::string filter;
};

using FileChooser = std::function<std::string(HWND owner, const FileRequest &request)>;

// The chosen file's path; empty when the user cancelled.
std::string ChooseFile(HWND owner, const FileRequest &request);

// An empty chooser restores the real dialog.
void SetFileChooser(FileChooser chooser);

// The system dialog's filter: each entry's name, then its patterns separated by ';', each ended
// by a null, and one null more at the end. An entry without patterns shows every file.
std::wstring SystemFilter(const std::string &filter);
