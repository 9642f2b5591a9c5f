#pragma once

#include "base/SingleInstance.h"

#include <QDialog>

class QAction;
class QLabel;
class QPushButton;

// "このソフトについて": the program's icon, title and version, the maker's notice and a button
// to the maker's web page. Shown modally from the help menus.
class frmAbout : public QDialog, public SingleInstance<frmAbout> {
    Q_OBJECT
public:
    QLabel* imgIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblNotice = nullptr;
    QLabel* lblContact = nullptr;
    QPushButton* cmdHP = nullptr;
    QPushButton* cmdOK = nullptr;
    QAction* mnuContents = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    frmAbout();
    friend class SingleInstance<frmAbout>;
};
