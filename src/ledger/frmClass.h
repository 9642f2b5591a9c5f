#pragma once

#include "base/SingleInstance.h"
#include "ledger/ListEditWindow.h"

class ClassListModel;
class QLabel;
class QLineEdit;

// The class list window: the entries of one class list (shared by both ledgers) with their order
// and enabled state, the entry box for a new entry and the class default for new ledger lines.
// Entries are added, reordered, enabled and disabled; never renamed or deleted. Every change is
// stored at once; the default is stored when the window closes.
class frmClass : public ListEditWindow, public SingleInstance<frmClass> {
    Q_OBJECT
public:
    // The class (1 to 3) and the caption handed over by the ledger (its header button's caption),
    // set before the window is shown.
    void setClass(int classNo, const QString& caption);

    QLineEdit* txtAddItem;
    QPushButton* cmdAdd;
    QComboBox* cboDefaltInput;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool load() override;
    void initGrid() override;
    // Stores the class default.
    bool mayClose() override;

private:
    explicit frmClass(QWidget* parent = nullptr);

    void onButtonClicked(const QModelIndex& index);
    void onChosen(const QModelIndex& index, const QString& text);
    void onAdd();
    // Another program changed a list (ChangeNotices): this class's list is read again.
    void otherChanged(const QString& table);
    bool rebuildDefaultChoices();

    friend class SingleInstance<frmClass>;
    int m_classNo = 1;
    QString m_caption;
    bool m_taxClass = false; // this class carries the reduced-rate mark (setting 50)
    ClassListModel* m_model = nullptr;
};
