#include "aboutdlg.h"

#include "dialogtemplate.h"
#include "templates.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>

CAboutDlg::CAboutDlg(const QIcon &icon, QWidget *parent)
    : QDialog(parent)
{
    BuildDialog(*this, ABOUT_TEMPLATE);
    for (QLabel *label : findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty())
            label->setPixmap(icon.pixmap(32, 32));
    }
    connect(FindControlAs<QAbstractButton>(*this, IDC_ABOUT_OK), &QAbstractButton::clicked, this,
            &QDialog::accept);
}
