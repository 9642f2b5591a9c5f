#pragma once

#include "reports/PrintFrame.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// The report window's frame "仕入先一覧名簿" (Frame2): a date, "支払残確認用" and "作 成".
// Clear, the button writes the address list; ticked, the balance list as of the date. Both are
// saved on the desktop as "　YYYY-MM-DD　HH：MM：SS　仕入先表.xlsx".
class PrintMasterFrame : public PrintFrame {
    Q_OBJECT
public:
    PrintMasterFrame(PrintHost& host, QWidget* parent);

    bool formLoad() override;

    QLabel* lblMaster = nullptr;
    QComboBox* cboMaster = nullptr;
    QCheckBox* chkMasterCarry = nullptr;
    QPushButton* cmdPrintMaster = nullptr;

private:
    void cmdPrintMaster_Click();
    bool mPrintMaster();
    bool mPrintMaster_Carry();
    // The checks before either list, then the list itself (carry: the balance list).
    bool mPrintSupplierList(bool carry);
};
