#pragma once

#include "reports/PrintFrame.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The report window's frame "仕入先一覧名簿" (Frame2): a date, "支払残確認用" with the ledger
// choice "仕入帳"/"売上帳", and "作 成". Clear, the button writes the address list, saved on the
// desktop as "　YYYY-MM-DD　HH：MM：SS　仕入先表.xlsx"; ticked, the balance list of the chosen
// ledger as of the date, saved as "…　仕入先表_仕入.xlsx" or "…　仕入先表_売上.xlsx". The choice
// starts at the ledger last opened from the menu (the purchase ledger before any was opened).
class PrintMasterFrame : public PrintFrame {
    Q_OBJECT
public:
    PrintMasterFrame(PrintHost& host, QWidget* parent);

    bool formLoad() override;

    QLabel* lblMaster = nullptr;
    QComboBox* cboMaster = nullptr;
    QCheckBox* chkMasterCarry = nullptr;
    QRadioButton* optMasterPurchase = nullptr;
    QRadioButton* optMasterSales = nullptr;
    QPushButton* cmdPrintMaster = nullptr;

private:
    void cmdPrintMaster_Click();
    bool mPrintMaster();
    bool mPrintMaster_Carry();
    // The checks before either list, then the list itself (carry: the balance list).
    bool mPrintSupplierList(bool carry);
};
