#pragma once

#include <QMainWindow>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// The system settings: close day, supplier order, the two ledger words, the tax rate and the
// number of automatic backups kept at shutdown. Read
// when the window opens, written when it closes (there is no save button). One instance,
// created when first shown and released when closed; closing it shows the main menu again.
class frmSystem : public QMainWindow {
    Q_OBJECT
public:
    static frmSystem* instance();
    static frmSystem* existing(); // the window when one is open, else nullptr
    ~frmSystem() override;

    QGroupBox* fraSettings;
    QGroupBox* fraTax;
    QLineEdit* Text1;
    QLabel* lblTaxRate;
    QLineEdit* txtTaxRate;
    QLabel* lblTaxRate2;
    QGroupBox* fraCaption;
    QLabel* lblPurchase;
    QLineEdit* txtPurchaseCaption;
    QLabel* lblSales;
    QLineEdit* txtSaleCaption;
    QGroupBox* frmSupplierSort;
    std::array<QRadioButton*, 2> optMasterSortOrder;
    QLabel* Label6; // "当社締日　 毎月", then the list and "日"
    QComboBox* cboCloseDay;
    QGroupBox* fraAutoBackup;
    QSpinBox* spnAutoBackup;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmSystem();
    void buildControls();
    bool mSetup();
    // False when the close must wait (a tax rate that is not a number).
    bool mSave();

    qint32 m_closeDayRead = 20; // kept when the stored day is not one of the list
    static frmSystem* s_instance;
};
