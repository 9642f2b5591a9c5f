#pragma once

#include <QGroupBox>

class QPushButton;

// The frame "各帳票の印刷位置調整" of the report window (objectName Frame3): the button "調 整"
// opens the print position window frmPrint_ExcelPos modally.
class ExcelPosFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit ExcelPosFrame(QWidget* parent = nullptr);

    QPushButton* cmdExcelPos = nullptr;
};
