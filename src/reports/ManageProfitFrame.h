#pragma once

#include "reports/PrintFrame.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
struct ProfitReportParams;

// The frame "利益管理表" of the report window: the range of terms, the suppliers to include,
// the line filter, the class breakdowns, the options, "各 設 定" (the settings window) and
// "作 成", which builds the profit management table. The report window hosts it and lends it
// its supplier records, its busy state with the processing panel and the output folder.
class ManageProfitFrame : public PrintFrame {
    Q_OBJECT

public:
    ManageProfitFrame(PrintHost& host, QWidget* parent);

    // Fills the lists and restores the kept choices (the report window's opening). False on a
    // failure, already reported; the window then takes the fatal path.
    bool formLoad() override;

    // The workbook of the last run ("" when none was saved).
    QString lastSavedPath() const { return m_savedPath; }

    // Reads the controls into the run's inputs (list indexes of the combos). False when a
    // combo holds a text its list does not offer (reported "mGetManegeProfitSetting").
    bool mGetManegeProfitSetting(ProfitReportParams& params);
    // The range from the two boxes (a listed term or a typed date); a date that is no date or
    // does not bound whole terms is told and the box gets the focus: false.
    bool mReadRange(ProfitReportParams& params);
    // Restores and stores the kept choices (settings 16 to 22, 36, 37, 42, 43).
    bool mDspSetting_ManegeProfit();
    bool mSetSystem_ManegeProfitSetting();
    // The "作 成" button's work.
    void cmdManageProfitClick();

    QComboBox* cboManageProfitStart = nullptr;
    QComboBox* cboManageProfitEnd = nullptr;
    QTreeWidget* ListPrintManageProfit = nullptr;
    QPushButton* cmdPrintManegeProfit_AllCheck = nullptr;
    QPushButton* cmdManegeProfit_AllClear = nullptr;
    QGroupBox* Frame1 = nullptr;
    QComboBox* cboSampling1Class = nullptr;
    QComboBox* cboSampling1ClassItem = nullptr;
    QComboBox* cboSampling2Class = nullptr;
    QComboBox* cboSampling2ClassItem = nullptr;
    QComboBox* cboSamplingAndOr = nullptr;
    QComboBox* cboPurchaseGroupingClass = nullptr;
    QComboBox* cboSaleGroupingClass = nullptr;
    QCheckBox* chkMP_SumOnly = nullptr;
    QCheckBox* chkMP_NoSumNoTarget = nullptr;
    QCheckBox* chkManageProfit_Ranking = nullptr;
    QComboBox* cboSortRanking = nullptr;
    QPushButton* cmdManageProfitSetting = nullptr;
    QPushButton* cmdManageProfit = nullptr;

private:
    bool mSetList();
    bool fillClassItems(QComboBox* classBox, QComboBox* itemBox);
    void setAllChecked(bool checked);
    void cmdManageProfitSettingClick();

    QString m_savedPath;
};
