#include "mainicon.h"

#include <QIcon>
#include <QSize>

QIcon MainIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/mainicon32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/mainicon16.xpm"), QSize(16, 16));
    return icon;
}
