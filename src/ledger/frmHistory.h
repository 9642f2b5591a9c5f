#pragma once

#include "base/SingleInstance.h"
#include "ledger/HistoryView.h"

#include <QMainWindow>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class HistoryTableModel;

// 変更履歴: every recorded change of the ledgers and the supplier master, for one supplier or
// for all, in a period (from a month back by default; an empty box is no bound), one row per
// changed column; a CSV import of ledger lines is one row, and 取り込みを元に戻す deletes the lines
// it added, as one step. The list can be exported as CSV into a folder the user chooses. Opened
// from the ledger window for the supplier it shows.
class frmHistory : public QMainWindow, public SingleInstance<frmHistory> {
    Q_OBJECT

public:
    // Shows the window for supplier masterID (0: all suppliers) and lists its changes.
    bool mShow(qint64 masterID);
    // The changes listed, and the text of one cell of the list.
    const std::vector<HistoryChange>& changes() const { return m_changes; }
    QString cellText(int row, int column) const;

    QComboBox* cboHistorySupplier = nullptr;
    QLineEdit* txtHistoryFrom = nullptr;
    QLineEdit* txtHistoryTo = nullptr;
    QPushButton* cmdHistoryShow = nullptr;
    QPushButton* cmdHistoryCsv = nullptr;
    QPushButton* cmdHistoryUndoImport = nullptr; // on while a CSV import's row is chosen
    QPushButton* cmdHistoryClose = nullptr;
    QLabel* lblHistoryCount = nullptr;
    QTableView* grdHistory = nullptr;

private:
    frmHistory();
    bool mSetSuppliers();
    // Reads the list for the chosen supplier and period; false only on a failure (a wrong date
    // is told and lists nothing new).
    bool mLoad();
    void cmdHistoryShow_Click();
    void cmdHistoryCsv_Click();
    void cmdHistoryUndoImport_Click();
    // The chosen row's import entry, if the row is an import (not its undo).
    const HistoryChange* chosenImport() const;

    HistoryTableModel* m_model = nullptr;
    std::vector<HistoryChange> m_changes;
    HistoryWords m_words;
    friend class SingleInstance<frmHistory>;
};
