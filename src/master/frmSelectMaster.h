#pragma once

#include "base/SingleInstance.h"

#include <QDialog>
#include <QHash>

class QAction;
class QComboBox;
class QLineEdit;
class QLabel;
class QPushButton;
class frmMaster;

// The supplier selection window, opened modally by the modify button of the master window it is
// given. It lists every supplier (invalid ones too) in the order of setting 9; picking one loads
// it into that master window for editing.
class frmSelectMaster : public QDialog, public SingleInstance<frmSelectMaster> {
    Q_OBJECT

public:
    // Loads the supplier into the master window and switches it to editing.
    bool mProcSelectData(qint32 supplier);

    QComboBox* Combo1 = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* lblNotFound = nullptr; // shown while the search text finds no supplier
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* picSelect = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmSelectMaster(frmMaster& master);
    bool formLoad();
    void cmdSelectClick();
    // Another program changed suppliers: the list is read again, keeping the chosen supplier.
    void otherChanged(const QString& table);

    frmMaster& m_master;
    bool m_selected = false;
    QHash<qint32, QStringList>
        m_readings; // strKana and full name by supplier number, for the search
    friend class SingleInstance<frmSelectMaster>;
    // nullptr when its list could not be filled (reported; the caller takes the fatal path).
    static frmSelectMaster* newInstance(frmMaster& master);
};
