#include "aboutdlg.h"

#include "dialogtemplate.h"
#include "templates.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace {

// An icon static takes the size of its icon rather than the template's 20 x 20 units, which
// would cut the 32 x 32 image.
void ShowIcon(QLabel &iconStatic, const QIcon &icon)
{
    const QPixmap image = icon.pixmap(32, 32);
    iconStatic.setPixmap(image);
    iconStatic.resize(image.deviceIndependentSize().toSize());
}

} // namespace

CAboutDlg::CAboutDlg(const QIcon &icon, QWidget *parent)
    : QDialog(parent)
{
    BuildDialog(*this, ABOUT_TEMPLATE);
    for (QLabel *label : findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty())
            ShowIcon(*label, icon);
    }
    connect(FindControlAs<QAbstractButton>(*this, IDC_ABOUT_OK), &QAbstractButton::clicked, this,
            &QDialog::accept);
}
