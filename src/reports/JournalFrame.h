#pragma once

#include "reports/PrintFrame.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The report window's frame "仕訳（会計ソフト用）": a range (the boxes offer the recent terms),
// the format (弥生インポート形式 or 汎用 CSV) and "作 成", which writes the journal entries of
// both ledgers for every valid supplier (reports/Journal.h) beside the other reports. The
// account boxes show the account settings; "作 成" stores what was changed in them (an empty box
// stores the default).
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
    // The accounts in the order of JournalAccounts: txtJournalAccount0 (仕入) to 6 (仮受消費税).
    QList<QLineEdit*> txtJournalAccount;

private:
    void cmdMakeJournal_Click();
    bool storeAccounts();
};
