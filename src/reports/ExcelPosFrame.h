#pragma once

#include "reports/PrintFrame.h"

class QPushButton;

// The frame "各帳票の印刷位置調整" of the report window (objectName Frame3): the button "調 整"
// opens the print position window frmPrint_ExcelPos modally.
class ExcelPosFrame : public PrintFrame {
    Q_OBJECT

public:
    ExcelPosFrame(PrintHost& host, QWidget* parent);

    QPushButton* cmdExcelPos = nullptr;
};
