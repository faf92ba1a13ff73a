#include "filechoice.h"

#include "modalrun.h"

#include <QDir>
#include <QFileDialog>

namespace {

FileChooser &Chooser()
{
    static FileChooser chooser;
    return chooser;
}

QString ChooseInDialog(QWidget *parent, const FileRequest &request)
{
    QFileDialog dialog(parent, request.caption, request.start, request.filter);
    if (request.choice == FileChoice::Open) {
        dialog.setFileMode(QFileDialog::ExistingFile);
        // A journal left by a crash is a hidden file, and it is worth opening too.
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    }
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

QString ChooseFile(QWidget *parent, const FileRequest &request)
{
    if (Chooser())
        return Chooser()(request);
    return ChooseInDialog(parent, request);
}

void SetFileChooser(FileChooser chooser)
{
    Chooser() = std::move(chooser);
}
