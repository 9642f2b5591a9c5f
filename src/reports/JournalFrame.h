#pragma once

#include "reports/PrintFrame.h"

class QComboBox;
class QPushButton;
class QRadioButton;

// The report window's frame "仕訳（会計ソフト用）": a range (the boxes offer the recent terms),
// the format (弥生インポート形式 or 汎用 CSV) and "作 成", which writes the journal entries of
// both ledgers for every valid supplier (reports/Journal.h) beside the other reports.
class JournalFrame : public PrintFrame {
    Q_OBJECT
public:
    JournalFrame(PrintHost& host, QWidget* parent);

    bool formLoad() override;

    QComboBox* cboJournalStartDate = nullptr;
    QComboBox* cboJournalEndDate = nullptr;
    QRadioButton* optJournalYayoi = nullptr;
    QRadioButton* optJournalGeneric = nullptr;
    QPushButton* cmdMakeJournal = nullptr;

private:
    void cmdMakeJournal_Click();
};
