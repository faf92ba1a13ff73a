#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Every file the viewer saves into is picked through ChooseSaveFile: the system's modal save
// dialog. Tests replace the dialog with SetSaveFileChooser, so that no test blocks on a modal
// window and each can see what was asked. Texts and paths are UTF-8.

struct SaveFileRequest
{
    std::string caption;
    // The file proposed, with its folder.
    std::string suggested;
    // One entry, "Name (*.ext)"; the pattern in the brackets picks the files shown.
    std::string filter;
};

using SaveFileChooser = std::function<std::string(HWND owner, const SaveFileRequest &request)>;

// The chosen file's path; empty when the user cancelled.
std::string ChooseSaveFile(HWND owner, const SaveFileRequest &request);

// An empty chooser restores the real dialog.
void SetSaveFileChooser(SaveFileChooser chooser);
