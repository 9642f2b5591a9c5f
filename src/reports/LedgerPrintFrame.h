#pragma once

#include "reports/LedgerPrint.h"
#include "reports/PrintFrame.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QToolButton;
class QTreeWidget;

// The frame "仕入帳" of the report window (objectName Frame4): the date range with its calendar
// buttons, the supplier list with each supplier's start row on its first page, and the buttons
// that open the ledger print options and run the ledger print (reports/LedgerPrint.h).
//
// The report window hosts it: the supplier record source, the busy state with the processing
// panel and the output folder come from the host.
class LedgerPrintFrame : public PrintFrame {
    Q_OBJECT

public:
    LedgerPrintFrame(PrintHost& host, QWidget* parent);

    // Hides Chk_KokuyoRi101, fills the date boxes with the terms and the list with the host's
    // suppliers. Failure: reported by the routine that failed, false.
    bool formLoad() override;
    // Fills ListPrintData from the host's supplier records (item i is record i): ticked, start
    // row 1.
    void mSetList();

    // The inputs of a run as the controls hold them (options not read yet).
    LedgerPrintParams params() const;
    // The outcome of the last run.
    const LedgerPrintResult& lastResult() const { return m_lastResult; }

    // Columns of ListPrintData.
    enum Column { StartRowColumn = 0, SupplierColumn = 1, NameColumn = 2 };

    QComboBox* cboPrintDataStartDate = nullptr;
    QComboBox* cboPrintDataEndDate = nullptr;
    QToolButton* cmdCalenderDataStart = nullptr;
    QToolButton* cmdCalenderDataEnd = nullptr;
    QTreeWidget* ListPrintData = nullptr;
    QToolButton* cmdPrintData_AllCheck = nullptr;
    QToolButton* cmdPrintData_AllClear = nullptr;
    QCheckBox* Chk_KokuyoRi101 = nullptr;
    QPushButton* cmdPrintDataSetting = nullptr;
    QPushButton* cmdPrintData = nullptr;

private:
    void cmdPrintDataClick();
    void cmdPrintDataSettingClick();
    void mSetAllChecked(bool checked);
    void mResetStartRows();
    void mPickDate(QComboBox* box, const QString& title);

    LedgerPrintResult m_lastResult;
};
