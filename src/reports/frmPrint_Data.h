#pragma once

#include "base/SingleInstance.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// "仕入帳 出力の設定": the options of the ledger print (settings 33, 38 to 41, 44, 45, 48).
// Opened modally from the frame "仕入帳"; the values are read when it opens and stored when
// it closes.
class frmPrint_Data : public QDialog, public SingleInstance<frmPrint_Data> {
    Q_OBJECT

public:
    QCheckBox* Chk_KokuyoRi103 = nullptr;
    QComboBox* cboMaxLine = nullptr;
    QLabel* lblMaxLine = nullptr;
    QGroupBox* fraSum = nullptr;
    QCheckBox* chkSumIsNote = nullptr;
    QComboBox* cboSumInterval = nullptr;
    QLabel* lblSumInterval = nullptr;
    QCheckBox* chkLeaveMonth = nullptr;
    QCheckBox* chkLeaveDay = nullptr;
    QCheckBox* chkCloseDayBlank = nullptr;
    QComboBox* cboCloseDayBlank = nullptr;
    QLabel* lblCloseDayBlank = nullptr;
    QPushButton* cmdExit = nullptr;

public slots:
    void done(int result) override;

private:
    explicit frmPrint_Data(QWidget* parent);
    bool formLoad();
    bool formUnload();
    void mSetEnabled();

    friend class SingleInstance<frmPrint_Data>;
    // nullptr when the settings could not be read (logged "frmPrint_Data-Form_Load"; the caller
    // takes the fatal path).
    static frmPrint_Data* newInstance();
};
