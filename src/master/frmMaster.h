#pragma once

#include "base/SingleInstance.h"
#include "master/SupplierRecords.h"
#include "store/ShownRow.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The supplier master window: one supplier's fields and the buttons add, modify, confirm,
// cancel and close. Opened modeless from the menu, modally from the ledger window
// (gblnMasterFromData); closing it shows the menu again unless the ledger opened it.
// Control arrays are named with "_" and their index appended: cmdProc_0 ... cmdProc_5,
// optChargePerson_1/_2, optBankAccount_1/_2, picProcess_0 ... picProcess_2.
class frmMaster : public QMainWindow, public SingleInstance<frmMaster> {
    Q_OBJECT

public:
    // Button states: idle (add and modify enabled) or editing (confirm and cancel enabled).
    void mSetProcButtons(bool editing);
    // Shows the mode: 0 "追加", 1 "修正", 2 "削除"; any other value clears the display.
    void mDspProcClass(int mode);
    // The entry boxes as they stand.
    SupplierEntry entry() const;
    // The mode of the entry: 0 add, 1 modify. Set by the add and modify buttons, read by
    // confirm.
    qint32 procMode() const { return m_procMode; }
    void setProcMode(qint32 mode) { m_procMode = mode; }

    // The stored row of the supplier the boxes were loaded with (gDspMasterData) and the boxes as
    // loaded: a modification is stored only while the row still holds what was shown, and another
    // program's change of it is shown at once while the boxes are as loaded.
    const ShownRow& shown() const { return m_shown; }
    void setShown(const ShownRow& row);
    void forgetShown();
    // Loads the shown supplier again (by its master ID, whatever its number is now); false
    // (reported) when it cannot be read. A supplier no longer stored leaves the window idle.
    bool reloadShown();

    // Indexes of cmdProc.
    enum ProcButton { Add = 0, Modify = 1, Delete = 2, Confirm = 3, Cancel = 4, Close = 5 };

    QComboBox* cboLngSupplier = nullptr;
    QCheckBox* chkValid = nullptr;
    QLineEdit* txtSupplierName = nullptr;
    QLineEdit* txtSupplierShortName = nullptr;
    QLineEdit* txtPosition = nullptr;
    QLineEdit* txtKana = nullptr;
    QLineEdit* txtRegularSupplyRatio = nullptr;
    QLineEdit* txtRegularSaleRatio = nullptr;
    QLineEdit* txtStartSupplyCarry = nullptr;
    QLineEdit* txtStartSaleCarry = nullptr;
    std::array<QRadioButton*, 3> optChargePerson{}; // indexes 1 and 2
    QLineEdit* txtChargePerson1 = nullptr;
    QLineEdit* txtChargePerson1Notes = nullptr;
    QLineEdit* txtChargePerson2 = nullptr;
    QLineEdit* txtChargePerson2Notes = nullptr;
    QLineEdit* txtPostalCode1 = nullptr;
    QLineEdit* txtAddress1 = nullptr;
    QLineEdit* txtPostalCode2 = nullptr;
    QLineEdit* txtAddress2 = nullptr;
    QLineEdit* txtPhone1 = nullptr;
    QComboBox* cboPhone1Notes = nullptr;
    QLineEdit* txtPhone2 = nullptr;
    QComboBox* cboPhone2Notes = nullptr;
    QLineEdit* txtFax = nullptr;
    QComboBox* cboFaxNotes = nullptr;
    std::array<QRadioButton*, 3> optBankAccount{}; // indexes 1 and 2
    QLineEdit* txtBankAccount1 = nullptr;
    QLineEdit* txtBankAccount2 = nullptr;
    QLineEdit* txtInvoiceNo = nullptr;   // 登録番号
    QLineEdit* txtInvoiceFrom = nullptr; // 登録日
    QPlainTextEdit* txtNotes = nullptr;
    QLineEdit* txtMasterID = nullptr;
    QLineEdit* txtLastupdate = nullptr;
    QLineEdit* txtProcClass = nullptr;
    // Shown while another program changed the supplier being edited since it was loaded.
    QLabel* lblChangedElsewhere = nullptr;
    std::array<QLabel*, 3> picProcess{};
    std::array<QPushButton*, 6> cmdProc{};
    QLabel* lblSupplyRatio = nullptr;
    QLabel* lblSaleRatio = nullptr;
    QLabel* lblStartSupplyCarry = nullptr;
    QLabel* lblStartSaleCarry = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmMaster(QWidget* parent = nullptr);
    void buildControls();
    // The button frames above the entry boxes, and the entry boxes.
    QLayout* buildProcFrames(QWidget* central);
    QLayout* buildEntryBoxes(QWidget* central);
    bool formLoad();
    void cmdProcClick(int index);
    // Another program changed suppliers (ChangeNotices).
    void otherChanged(const QString& table, qint64 masterID);

    qint32 m_procMode = 0;
    ShownRow m_shown;
    SupplierEntry m_loaded;
    // The number being typed into the supplier-number list and when its last digit came.
    QString m_typedNumber;
    QElapsedTimer m_numberTyped;

    friend class SingleInstance<frmMaster>;
};

// Runs one button action of the master window (index of cmdProc). Validation failures are
// messages and return true; false only on an unexpected failure (already reported).
bool gProcMasterData1(frmMaster& window, int index);
// Loads the supplier with the number into the master window. False (reported) when no supplier
// has the number or its row cannot be read; nothing is loaded then.
bool gDspMasterData(frmMaster& window, qint32 supplier);
// Selects option button 1 or 2 of a pair; any other index selects neither.
void gSelectOption(const std::array<QRadioButton*, 3>& pair, qint32 index);
