#pragma once

#include <functional>

class QDialog;

// Every modal dialog the program runs (the port settings dialog, the About box) runs through
// RunModal. Tests replace the run with SetModalRunner, to act on the dialog instead of waiting
// for a user.

using ModalRunner = std::function<int(QDialog &dialog)>;

int RunModal(QDialog &dialog);

// An empty runner restores QDialog::exec.
void SetModalRunner(ModalRunner runner);
