#pragma once

#include "base/SingleInstance.h"

#include <QDialog>
#include <QMap>

class QLabel;
class QLineEdit;
class QPushButton;

// The colour picker of the report settings: the 40 colours of Excel's standard palette that the
// reports offer (colour indexes 1 to 16 and 33 to 56), a preview, "確 定" and "取 消". Opened
// modally; the result stays in the shared values below until the next opening.
class frmExcelColor : public QDialog, public SingleInstance<frmExcelColor> {
    Q_OBJECT

public:
    // The picker's result: whether the user decided, the colour index and its colour value
    // (R + 256·G + 65536·B).
    static bool gblnColorOK;
    static int glngColorIndex;
    static int glngColorValue;

    // Colour boxes by Excel colour index; objectName "PictureColor_<index>".
    QMap<int, QLabel*> PictureColor;
    QLineEdit* txtPreView = nullptr;
    QPushButton* cmdProc[2] = {nullptr, nullptr}; // 0 "確 定", 1 "取 消"

    // The box of colour index `index` was clicked.
    bool mPictureColorClick(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmExcelColor(QWidget* parent);
    bool formLoad();
    void cmdProcClick(int index);

    int m_index = 0;
    friend class SingleInstance<frmExcelColor>;
    // nullptr when it could not be set up (reported as "frmExcelColor_Form_Load").
    static frmExcelColor* newInstance(QWidget* parent = nullptr);
};

// The colour of an Excel colour index as a QColor; invalid when the index is not one the reports
// offer (nothing is logged).
class QColor;
QColor gExcelIndexColor(int colorIndex);
