#include "reports/frmPrint_ManegeProfitSetting.h"

#include "base/ErrorLog.h"
#include "reports/ProfitReport.h"
#include "reports/frmExcelColor.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const kName = "frmPrint_ManegeProfitSetting";
} // namespace

frmPrint_ManegeProfitSetting* frmPrint_ManegeProfitSetting::newInstance(QWidget* parent) {
    auto* w = new frmPrint_ManegeProfitSetting(parent);
    if (!w->formLoad()) {
        delete w;
        gProcError(QStringLiteral("frmPrint_ManegeProfitSetting_Form_Load"));
        return nullptr;
    }
    return w;
}

frmPrint_ManegeProfitSetting::frmPrint_ManegeProfitSetting(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QString::fromLatin1(kName));
    setWindowTitle(QStringLiteral("利益管理表 エクセルの設定"));
    auto* outer = new QVBoxLayout(this);

    auto* colours = new QGroupBox(QStringLiteral("色の設定"), this);
    auto* grid = new QGridLayout(colours);
    const QString captions[6] = {QStringLiteral("仕入先名の列"), QStringLiteral("仕入合計の列"),
                                 QStringLiteral("売上合計の列"), QStringLiteral("粗利の列"),
                                 QStringLiteral("利益率の列"),   QStringLiteral("在庫の列")};
    for (int n = 0; n < 6; ++n) {
        lblColor[n] = new QLabel(captions[n], colours);
        lblColor[n]->setObjectName(QStringLiteral("lblColor_%1").arg(n));
        lblColor[n]->setMinimumSize(170, 26);
        lblColor[n]->setAlignment(Qt::AlignCenter);
        lblColor[n]->setAutoFillBackground(true);
        cmdColorChange[n] = new QPushButton(QStringLiteral("変更"), colours);
        cmdColorChange[n]->setObjectName(QStringLiteral("cmdColorChange_%1").arg(n));
        cmdColorChange[n]->setAutoDefault(false);
        grid->addWidget(lblColor[n], n, 0);
        grid->addWidget(cmdColorChange[n], n, 1);
        connect(cmdColorChange[n], &QPushButton::clicked, this,
                [this, n]() { cmdColorChangeClick(n); });
    }
    outer->addWidget(colours);

    chkSupplierBold = new QCheckBox(QStringLiteral("仕入先名を太字にする"), this);
    chkSupplierBold->setObjectName(QStringLiteral("chkSupplierBold"));
    outer->addWidget(chkSupplierBold);
    connect(chkSupplierBold, &QCheckBox::toggled, this, [this](bool on) {
        QFont f = lblColor[0]->font();
        f.setBold(on);
        lblColor[0]->setFont(f);
    });

    auto* options = new QGridLayout();
    auto* lblCellColor = new QLabel(QStringLiteral("セル背景色"), this);
    lblCellColor->setObjectName(QStringLiteral("lblCellColorOn"));
    cboCellColorOn = new QComboBox(this);
    cboCellColorOn->setObjectName(QStringLiteral("cboCellColorOn"));
    cboCellColorOn->addItems({QStringLiteral("ON"), QStringLiteral("OFF")});
    auto* lblMaxLine = new QLabel(QStringLiteral("１ページで使用する行数"), this);
    lblMaxLine->setObjectName(QStringLiteral("lblMaxLine"));
    cboMaxLine = new QComboBox(this);
    cboMaxLine->setObjectName(QStringLiteral("cboMaxLine"));
    cboMaxLine->addItems({QStringLiteral("29"), QStringLiteral("30"), QStringLiteral("31")});
    for (QComboBox* box : {cboCellColorOn, cboMaxLine}) {
        gSetSelectionColour(box);
        box->setMinimumWidth(80);
        gSetMoveFocusByKey(box, true);
    }
    options->addWidget(lblCellColor, 0, 0);
    options->addWidget(cboCellColorOn, 0, 1);
    options->addWidget(lblMaxLine, 1, 0);
    options->addWidget(cboMaxLine, 1, 1);
    options->setColumnStretch(2, 1);
    outer->addLayout(options);

    lblNote =
        new QLabel(QStringLiteral("列数(横数)は 対象となる期間の長さによって異なります"), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    outer->addWidget(lblNote);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    cmdClose->setMinimumWidth(90);
    buttons->addWidget(cmdClose);
    outer->addLayout(buttons);
    connect(cmdClose, &QPushButton::clicked, this, [this]() { close(); });
}

void frmPrint_ManegeProfitSetting::showColor(int n) {
    // An index the picker does not offer (a damaged setting) shows as a plain label.
    const QColor c = gExcelIndexColor(m_colors[n]);
    QPalette pal = lblColor[n]->palette();
    pal.setColor(QPalette::Window, c.isValid() ? c : QColor(Qt::white));
    // Dark fills keep their caption readable.
    const bool dark = c.isValid() && c.lightness() < 110;
    pal.setColor(QPalette::WindowText, dark ? QColor(Qt::white) : QColor(Qt::black));
    lblColor[n]->setPalette(pal);
}

bool frmPrint_ManegeProfitSetting::formLoad() {
    gSetFormCaption(this, 0);
    for (int n = 0; n < 6; ++n) {
        qint32 v = 1;
        if (!gGetSystemLngField(kProfitColorSettings[n], v, 1))
            return false;
        m_colors[n] = v;
        showColor(n);
    }
    QString purchase, sale;
    if (!gGetDataCaption(1, purchase) || !gGetDataCaption(2, sale))
        return false;
    lblColor[1]->setText(purchase + QStringLiteral("の列"));
    lblColor[2]->setText(sale + QStringLiteral("の列"));
    bool bold = false;
    if (!gGetSystemBlnField(ProfitSetting::SupplierBold, bold, false))
        return false;
    chkSupplierBold->setChecked(bold);
    {
        QFont f = lblColor[0]->font();
        f.setBold(bold);
        lblColor[0]->setFont(f);
    }
    qint32 maxLine = 29;
    if (!gGetSystemLngField(ProfitSetting::MaxLine, maxLine, 29))
        return false;
    // A stored number the list does not offer is shown as it is, so closing keeps it.
    const QString maxText = QString::number(maxLine);
    if (cboMaxLine->findText(maxText) < 0)
        cboMaxLine->addItem(maxText);
    cboMaxLine->setCurrentIndex(cboMaxLine->findText(maxText));
    bool colorOn = false;
    if (!gGetSystemBlnField(ProfitSetting::CellColorOn, colorOn, false))
        return false;
    cboCellColorOn->setCurrentIndex(colorOn ? 0 : 1);
    m_stored = false;
    return true;
}

bool frmPrint_ManegeProfitSetting::formUnload() {
    bool ok = true;
    const int maxLine = cboMaxLine->currentText().toInt(&ok);
    Transaction tr(gdbData());
    if (!ok || !tr.ok() ||
        !gSetSystemBlnField(ProfitSetting::SupplierBold, chkSupplierBold->isChecked()) ||
        !gSetSystemLngField(ProfitSetting::MaxLine, maxLine) ||
        !gSetSystemBlnField(ProfitSetting::CellColorOn,
                            cboCellColorOn->currentText() == QStringLiteral("ON")) ||
        !tr.commit()) {
        gProcError(QStringLiteral("frmPrint_ManegeProfitSetting_Form_Unload"));
        return false;
    }
    return true;
}

void frmPrint_ManegeProfitSetting::cmdColorChangeClick(int n) {
    frmExcelColor* picker = frmExcelColor::instance(this);
    if (!picker || !gDspForm(picker, 0, 1)) {
        gProcFatalError(QStringLiteral("frmPrint_ManegeProfitSetting_cmdColorChange_Click"));
        return;
    }
    if (!frmExcelColor::gblnColorOK)
        return;
    if (!gSetSystemLngField(kProfitColorSettings[n], frmExcelColor::glngColorIndex)) {
        gProcFatalError(QStringLiteral("frmPrint_ManegeProfitSetting_cmdColorChange_Click"));
        return;
    }
    m_colors[n] = frmExcelColor::glngColorIndex;
    showColor(n);
}

void frmPrint_ManegeProfitSetting::done(int result) {
    // Every way out (the button, Esc, the title bar) comes here once.
    if (!m_stored) {
        m_stored = true;
        if (!formUnload()) {
            QDialog::done(result);
            gProcFatalError(QStringLiteral("frmPrint_ManegeProfitSetting_Form_Unload"));
            return;
        }
    }
    QDialog::done(result);
}
