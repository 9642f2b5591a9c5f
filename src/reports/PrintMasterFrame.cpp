#include "reports/PrintMasterFrame.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/SupplierList.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "widgets/FormHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

PrintMasterFrame::PrintMasterFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(QStringLiteral("仕入先一覧名簿"), host, parent) {
    setObjectName(QStringLiteral("Frame2"));

    lblMaster = new QLabel(QStringLiteral("仕入先名簿を作成します"), this);
    lblMaster->setObjectName(QStringLiteral("lblMaster"));

    cboMaster = new QComboBox(this);
    cboMaster->setObjectName(QStringLiteral("cboMaster"));
    cboMaster->setEditable(true);
    cboMaster->setInsertPolicy(QComboBox::NoInsert);
    gSetSelectionColour(cboMaster);
    cboMaster->setMinimumContentsLength(10);
    cboMaster->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    gSetComboDropDownRows(cboMaster, 12);
    gSetMoveFocusByKey(cboMaster, false);

    chkMasterCarry = new QCheckBox(QStringLiteral("支払残確認用"), this);
    chkMasterCarry->setObjectName(QStringLiteral("chkMasterCarry"));
    gSetMoveFocusByKey(chkMasterCarry, false);

    // The ledger whose balances the balance list shows; offered while the box is ticked.
    optMasterPurchase = new QRadioButton(QStringLiteral("仕入帳"), this);
    optMasterPurchase->setObjectName(QStringLiteral("optMasterPurchase"));
    optMasterSales = new QRadioButton(QStringLiteral("売上帳"), this);
    optMasterSales->setObjectName(QStringLiteral("optMasterSales"));
    optMasterPurchase->setChecked(true);
    for (QRadioButton* b : {optMasterPurchase, optMasterSales}) {
        b->setToolTip(QStringLiteral("どちらの帳簿の残高を一覧にするか"));
        b->setEnabled(false);
        connect(chkMasterCarry, &QCheckBox::toggled, b, &QWidget::setEnabled);
    }

    cmdPrintMaster = new QPushButton(QStringLiteral("作 成"), this);
    cmdPrintMaster->setObjectName(QStringLiteral("cmdPrintMaster"));
    cmdPrintMaster->setMinimumWidth(96);
    connect(cmdPrintMaster, &QPushButton::clicked, this, [this] { cmdPrintMaster_Click(); });

    // The ledger choice stands on the label's row, above the check box, so the frame (and the
    // report window) stays as wide as before.
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout();
    top->addWidget(lblMaster);
    top->addStretch(1);
    top->addWidget(optMasterPurchase);
    top->addWidget(optMasterSales);
    layout->addLayout(top);
    auto* row = new QHBoxLayout();
    row->addWidget(cboMaster);
    row->addSpacing(8);
    row->addWidget(chkMasterCarry);
    row->addStretch(1);
    row->addWidget(cmdPrintMaster);
    layout->addLayout(row);
}

bool PrintMasterFrame::formLoad() {
    // The date list: the ends of the recent terms, the current term's end shown.
    TermLists lists;
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay) || !gGetTermLists(svc().clock().today(), closeDay, lists)) {
        gProcError(QStringLiteral("gInitCboTargetDate"));
        return false;
    }
    cboMaster->clear();
    cboMaster->addItems(lists.endItems);
    cboMaster->setEditText(lists.endText);
    // The balance list reads the ledger last opened unless another one is chosen.
    (gBalanceListKind(glngDataKind) == 2 ? optMasterSales : optMasterPurchase)->setChecked(true);
    return true;
}

void PrintMasterFrame::cmdPrintMaster_Click() {
    const bool ok = chkMasterCarry->isChecked() ? mPrintMaster_Carry() : mPrintMaster();
    if (!ok)
        gProcError(QStringLiteral("frmPrint_cmdPrintMaster_Click"));
}

bool PrintMasterFrame::mPrintMaster() {
    return mPrintSupplierList(false);
}

bool PrintMasterFrame::mPrintMaster_Carry() {
    return mPrintSupplierList(true);
}

bool PrintMasterFrame::mPrintSupplierList(bool carry) {
    if (host().isBusy())
        return true;
    if (host().suppliers().isEmpty()) {
        svc().prompt().show(QStringLiteral("仕入先がありません"), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Information);
        return false;
    }
    const QDate asOf = gReadDateBox(cboMaster);
    if (!asOf.isValid())
        return false;

    qint32 count = 0;
    if (!gGetSupplierCount(count, true))
        return false;
    if (count == 0) {
        svc().prompt().show(QStringLiteral("仕入先が存在しません"), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Information);
        return false;
    }

    const int kind = optMasterSales->isChecked() ? 2 : 1;
    // A refusal (a balance beyond the range of amounts) has shown its message: nothing to log.
    return gRunSupplierList(host().suppliers(), carry, asOf, kind, host().reportCallbacks(),
                            host().outputFolder()) != SupplierListOutcome::Failed;
}
