#pragma once

#include <QDialog>

class QIcon;

// The small box that names the program and its version, opened from the main window's menu.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(const QIcon &icon, QWidget *parent = nullptr);
};
