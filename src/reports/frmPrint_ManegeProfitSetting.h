#pragma once

#include "base/SingleInstance.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// "利益管理表 エクセルの設定": the colours of the six kinds of cells of the profit table
// (picked in frmExcelColor and stored at once), supplier names in bold, the rows a table sheet
// holds and whether cells are coloured. The other values are stored when the window closes.
class frmPrint_ManegeProfitSetting : public QDialog,
                                     public SingleInstance<frmPrint_ManegeProfitSetting> {
    Q_OBJECT

public:
    QLabel* lblColor[6] = {};            // objectName "lblColor_<n>"
    QPushButton* cmdColorChange[6] = {}; // "変更"; objectName "cmdColorChange_<n>"
    QCheckBox* chkSupplierBold = nullptr;
    QComboBox* cboMaxLine = nullptr;
    QComboBox* cboCellColorOn = nullptr;
    QLabel* lblNote = nullptr;
    QPushButton* cmdClose = nullptr;

    // The colour index each label shows.
    int colorIndex(int n) const { return m_colors[n]; }

public slots:
    void done(int result) override;

private:
    explicit frmPrint_ManegeProfitSetting(QWidget* parent);
    bool formLoad();
    bool formUnload();
    void showColor(int n);
    void cmdColorChangeClick(int n);

    int m_colors[6] = {1, 1, 1, 1, 1, 1};
    bool m_stored = false;
    friend class SingleInstance<frmPrint_ManegeProfitSetting>;
    // nullptr when it could not be loaded (reported as "frmPrint_ManegeProfitSetting_Form_Load").
    static frmPrint_ManegeProfitSetting* newInstance(QWidget* parent = nullptr);
};
