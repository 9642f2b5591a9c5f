#include "reports/TaxSummaryFrame.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "reports/ReportRegistry.h"
#include "reports/TaxSummary.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "store/TaxRates.h"
#include "widgets/FormHelpers.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TaxSummaryFrame::TaxSummaryFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(gReportCaption(QStringLiteral("tax")), host, parent) {
    setObjectName(QStringLiteral("FrameTax"));
    cboTaxStartDate = dateBox("cboTaxStartDate");
    cboTaxEndDate = dateBox("cboTaxEndDate");
    optTaxPurchase = new QRadioButton(this);
    optTaxPurchase->setObjectName(QStringLiteral("optTaxPurchase"));
    optTaxPurchase->setChecked(true);
    optTaxSales = new QRadioButton(this);
    optTaxSales->setObjectName(QStringLiteral("optTaxSales"));
    cmdPrintTax = new QPushButton(QStringLiteral("作 成"), this);
    cmdPrintTax->setObjectName(QStringLiteral("cmdPrintTax"));
    cmdPrintTax->setMinimumWidth(96);
    connect(cmdPrintTax, &QPushButton::clicked, this, [this] { cmdPrintTax_Click(); });

    lblTaxEntry = new QLabel(this);
    lblTaxEntry->setObjectName(QStringLiteral("lblTaxEntry"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("仕入先ごとの表と、税率・控除割合ごとの合計（国税・地方税の内訳つき）"),
        this));
    layout->addWidget(lblTaxEntry);
    auto* row = new QHBoxLayout();
    row->addWidget(cboTaxStartDate);
    row->addWidget(new QLabel(QStringLiteral("～"), this));
    row->addWidget(cboTaxEndDate);
    row->addSpacing(8);
    row->addWidget(optTaxPurchase);
    row->addWidget(optTaxSales);
    row->addStretch(1);
    row->addWidget(cmdPrintTax);
    layout->addLayout(row);
}

bool TaxSummaryFrame::formLoad() {
    TermLists lists;
    QString purchase, sales;
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay) || !gGetTermLists(svc().clock().today(), closeDay, lists) ||
        !gGetDataCaption(1, purchase) || !gGetDataCaption(2, sales)) {
        gProcError(QStringLiteral("frmPrint_TaxSummary_Load"));
        return false;
    }
    TaxEntry entry = TaxEntry::Exclusive;
    if (!gGetTaxEntry(entry)) {
        gProcError(QStringLiteral("frmPrint_TaxSummary_Load"));
        return false;
    }
    lblTaxEntry->setText(QStringLiteral("伝票の金額は") + gTaxEntryText(entry) +
                         QStringLiteral("として計算します（システム画面の「金額の入力」）"));
    optTaxPurchase->setText(purchase + QStringLiteral("帳"));
    optTaxSales->setText(sales + QStringLiteral("帳"));
    cboTaxStartDate->clear();
    cboTaxStartDate->addItems(lists.startItems);
    cboTaxStartDate->setEditText(lists.startText);
    cboTaxEndDate->clear();
    cboTaxEndDate->addItems(lists.endItems);
    cboTaxEndDate->setEditText(lists.endText);
    return true;
}

void TaxSummaryFrame::cmdPrintTax_Click() {
    if (host().isBusy())
        return;
    TaxSummaryParams p;
    // The boxes take what the ledger's date column takes; the run reads "yyyy/MM/dd".
    if (!gReadDateBox(cboTaxStartDate).isValid() || !gReadDateBox(cboTaxEndDate).isValid())
        return;
    p.startText = cboTaxStartDate->currentText().trimmed();
    p.endText = cboTaxEndDate->currentText().trimmed();
    p.kind = optTaxSales->isChecked() ? 2 : 1;
    p.suppliers = host().suppliers();
    p.outputFolder = host().outputFolder();
    switch (gPrintTaxSummary(p, host().reportCallbacks())) {
    case TaxSummaryOutcome::InvalidInput:
        // The dates were read above: a start after the end.
        cboTaxStartDate->setFocus();
        break;
    case TaxSummaryOutcome::Failed:
        gProcError(QStringLiteral("frmPrint_cmdPrintTax_Click"));
        break;
    default:
        break;
    }
}
