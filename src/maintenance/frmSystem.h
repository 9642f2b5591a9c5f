#pragma once

#include "base/SingleInstance.h"

#include "store/TaxRates.h"

#include <QList>
#include <QMainWindow>
#include <array>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

// The system settings: close day, supplier order, the two ledger words, the estimate's tax rate
// (empty: the rate table's), the tax class and the number of automatic backups kept at shutdown.
// Read when the window opens, written when it closes (閉じる, Esc or the title bar; there is no
// save button). The rate table is shown and extended here; a new row is stored at once by its
// button (asked first); a row no ledger line takes its rate from yet can be chosen and corrected
// or deleted (asked). Rate changes are in the change history. One instance, created when first
// shown and released when closed; closing it shows the main menu again.
class frmSystem : public QMainWindow, public SingleInstance<frmSystem> {
    Q_OBJECT
public:
    QGroupBox* fraSettings;
    QGroupBox* fraTax;
    QLineEdit* Text1;
    QLabel* lblTaxRate;
    QLineEdit* txtTaxRate;
    QLabel* lblTaxRate2;
    QComboBox* cboTaxClass;        // setting 50: 区分1..3
    QComboBox* cboTaxEntry;        // setting 68: 税抜 (0), 税込 (1)
    QTableWidget* grdTaxRate;      // T_TAX_RATE: 適用日, 標準税率, 軽減税率
    QLineEdit* txtRateFrom;        // a new row: the date
    QLineEdit* txtRateStandard;    // its standard rate
    QLineEdit* txtRateReduced;     // its reduced rate (empty: the standard rate)
    QPushButton* cmdAddTaxRate;    // asks, then adds a row (Enter in the reduced box too)
    QPushButton* cmdChangeTaxRate; // the chosen row takes the boxes' values (asked)
    QPushButton* cmdDeleteTaxRate; // the chosen row goes (asked)
    QGroupBox* fraCaption;
    QLabel* lblPurchase;
    QLineEdit* txtPurchaseCaption;
    QLabel* lblSales;
    QLineEdit* txtSaleCaption;
    QLineEdit* txtShopName; // setting 67
    QGroupBox* frmSupplierSort;
    std::array<QRadioButton*, 2> optMasterSortOrder;
    QLabel* Label6; // "当社締日　 毎月", then the list and "日"
    QComboBox* cboCloseDay;
    QGroupBox* fraAutoBackup;
    QSpinBox* spnAutoBackup;
    QPushButton* cmdConnection; // 接続先の設定 (the data file or a server), for the next start
    QPushButton* cmdClose;      // closes the window as its title bar does (and as Esc does)

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmSystem();
    void buildControls();
    bool mSetup();
    bool mLoadTaxRates();
    void cmdAddTaxRate_Click();
    // The boxes as a row; empty after telling what is wrong.
    std::optional<TaxRate> mReadTaxRateBoxes();
    void grdTaxRate_RowChosen(int row);
    // Another program changed the rate table (ChangeNotices): the table is read again; the
    // boxes keep what is typed in them, and the chosen row stays chosen while it is unchanged.
    void otherChangedTaxRates(const QString& table);
    // Corrects (correct) or deletes the chosen row, when no ledger line takes its rate.
    void cmdEditTaxRate_Click(bool correct);
    // False when the close must wait (a tax rate that is not a number).
    bool mSave();

    QList<TaxRate> m_rates;     // the rows shown, by date
    qint32 m_closeDayRead = 20; // kept when the stored day is not one of the list
    friend class SingleInstance<frmSystem>;
};
