#pragma once

#include "reports/PrintFrame.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The report window's frame "消費税集計表": a range (the boxes offer the recent terms), the
// ledger (仕入帳 or 売上帳) and "作 成", which writes the tax summary of every valid supplier
// (reports/TaxSummary.h) on the desktop as "　YYYY-MM-DD　HH：MM：SS　消費税集計表.xlsx", with
// the supplier table and the rate table; it says which entry (税抜/税込) the summary follows.
class TaxSummaryFrame : public PrintFrame {
    Q_OBJECT
public:
    TaxSummaryFrame(PrintHost& host, QWidget* parent);

    bool formLoad() override;

    QComboBox* cboTaxStartDate = nullptr;
    QComboBox* cboTaxEndDate = nullptr;
    QRadioButton* optTaxPurchase = nullptr;
    QRadioButton* optTaxSales = nullptr;
    QPushButton* cmdPrintTax = nullptr;
    QLabel* lblTaxEntry = nullptr; // the entry (税抜/税込) the summary follows

private:
    void cmdPrintTax_Click();
};
