#include "modalrun.h"

#include <QDialog>

namespace {

ModalRunner &Runner()
{
    static ModalRunner runner;
    return runner;
}

} // namespace

int RunModal(QDialog &dialog)
{
    if (Runner())
        return Runner()(dialog);
    return dialog.exec();
}

void SetModalRunner(ModalRunner runner)
{
    Runner() = std::move(runner);
}
