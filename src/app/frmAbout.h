#pragma once

#include <QDialog>

class QAction;
class QLabel;
class QPushButton;

// "このソフトについて": the program's icon, title and version, the maker's notice and a button
// to the maker's web page. Shown modally from the help menus.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    static frmAbout* instance(); // created on first use, released when closed
    static frmAbout* existing();
    ~frmAbout() override;

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
    static frmAbout* s_instance;
};
