#pragma once

#include "base/SingleInstance.h"

#include <QMainWindow>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

// The check reset window: sets the check column of the open ledger back to 0, for the supplier
// shown in the ledger window ("現在の") or for every supplier ("全ての"). Opened modally by the
// ledger window's check header button.
class frmDataCheck0 : public QMainWindow, public SingleInstance<frmDataCheck0> {
    Q_OBJECT

public:
    QComboBox* cboSetting = nullptr;
    QLabel* lblSetting = nullptr;
    QPushButton* cmdCheckTo0 = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

private:
    frmDataCheck0();
    bool formLoad();
    void cmdCheckTo0_Click();

    friend class SingleInstance<frmDataCheck0>;
};
