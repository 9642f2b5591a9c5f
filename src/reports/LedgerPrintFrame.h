#pragma once

#include "reports/ExcelLayer.h"
#include "reports/LedgerPrint.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QPushButton;
class QToolButton;
class QTreeWidget;

// The frame "仕入帳" of the report window (objectName Frame4): the date range with its calendar
// buttons, the supplier list with each supplier's start row on its first page, and the buttons
// that open the ledger print options and run the ledger print (reports/LedgerPrint.h).
//
// The report window places it, calls formLoad() when it opens, and hands over its busy switch
// and progress bar with setRunCallbacks(); without them a run disables the frame's window.
class LedgerPrintFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit LedgerPrintFrame(QWidget* parent = nullptr);

    // Hides Chk_KokuyoRi101, fills the date boxes with the terms and the list with the valid
    // suppliers. Failure: reported by the routine that failed, false.
    bool formLoad();
    // Fills ListPrintData: every valid supplier, ticked, start row 1.
    bool mSetList();
    void setRunCallbacks(ExcelReportRun::Callbacks callbacks);

    // The inputs of a run as the controls hold them (options from the settings store).
    LedgerPrintParams params() const;
    // Where the workbook goes; the desktop when empty (tests point it elsewhere).
    void setOutputFolder(const QString& folder) { m_outputFolder = folder; }
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
    void mPickDate(QComboBox* box, const QString& title, const QString& procName);

    ExcelReportRun::Callbacks m_callbacks;
    QString m_outputFolder;
    LedgerPrintResult m_lastResult;
};
