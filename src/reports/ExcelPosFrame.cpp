#include "reports/ExcelPosFrame.h"

#include "reports/frmPrint_ExcelPos.h"
#include "widgets/WindowDisplay.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ExcelPosFrame::ExcelPosFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(QStringLiteral("各帳票の印刷位置調整"), host, parent) {
    setObjectName(QStringLiteral("Frame3"));
    auto* row = new QHBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("コクヨ帳簿用紙への印刷位置"), this);
    cmdExcelPos = new QPushButton(QStringLiteral("調 整"), this);
    cmdExcelPos->setObjectName(QStringLiteral("cmdExcelPos"));
    cmdExcelPos->setAutoDefault(false);
    cmdExcelPos->setMinimumWidth(90);
    row->addWidget(note);
    row->addStretch(1);
    row->addWidget(cmdExcelPos);
    connect(cmdExcelPos, &QPushButton::clicked, this, []() {
        if (!gDspForm(frmPrint_ExcelPos::instance(), 0, 1))
            gProcFatalError(QStringLiteral("frmPrint_cmdExcelPos_Click"));
    });
}
