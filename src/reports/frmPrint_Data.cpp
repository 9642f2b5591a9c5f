#include "reports/frmPrint_Data.h"

#include "base/ErrorLog.h"
#include "reports/LedgerPrint.h"
#include "store/Settings.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QComboBox* numberCombo(QWidget* parent, const QString& name, int first, int last) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (int n = first; n <= last; ++n)
        box->addItem(QString::number(n));
    gSetSelectionColour(box);
    box->setMinimumContentsLength(2);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    gSetMoveFocusByKey(box, true);
    return box;
}

void selectNumber(QComboBox* box, int value) {
    const int index = box->findText(QString::number(value));
    box->setCurrentIndex(index >= 0 ? index : 0);
}

int numberOf(const QComboBox* box) {
    return box->currentText().toInt();
}

// A caption that ticks its check box when clicked, as the rest of the box's caption would.
class CheckCaption : public QLabel {
public:
    CheckCaption(const QString& text, QCheckBox* box, QWidget* parent)
        : QLabel(text, parent), m_box(box) {}

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && m_box->isEnabled())
            m_box->toggle();
        QLabel::mouseReleaseEvent(e);
    }

private:
    QCheckBox* m_box;
};

} // namespace

frmPrint_Data* frmPrint_Data::newInstance() {
    auto* w = new frmPrint_Data(nullptr);
    if (!w->formLoad()) {
        delete w;
        gProcError(QStringLiteral("frmPrint_Data-Form_Load"));
        return nullptr;
    }
    return w;
}

frmPrint_Data::frmPrint_Data(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmPrint_Data"));
    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(10);

    Chk_KokuyoRi103 = new QCheckBox(QStringLiteral("定型書式（コクヨ リ-103）を使用する"), this);
    Chk_KokuyoRi103->setObjectName(QStringLiteral("Chk_KokuyoRi103"));
    outer->addWidget(Chk_KokuyoRi103);

    auto* lines = new QHBoxLayout();
    lines->setContentsMargins(24, 0, 0, 0);
    lblMaxLine = new QLabel(QStringLiteral("１ページに書き込む行数"), this);
    lblMaxLine->setObjectName(QStringLiteral("lblMaxLine"));
    cboMaxLine = numberCombo(this, QStringLiteral("cboMaxLine"), kLedgerLinesMin, kLedgerLinesMax);
    const QString lineTip = QStringLiteral(
        "お使いのプリンタによっては最終行（３０行目）が印刷できない場合があります。");
    lblMaxLine->setToolTip(lineTip);
    cboMaxLine->setToolTip(lineTip);
    lines->addWidget(lblMaxLine);
    lines->addWidget(cboMaxLine);
    lines->addStretch(1);
    outer->addLayout(lines);

    fraSum = new QGroupBox(QStringLiteral("　差引残高欄の入力について"), this);
    fraSum->setObjectName(QStringLiteral("fraSum"));
    auto* sum = new QVBoxLayout(fraSum);
    chkSumIsNote = new QCheckBox(QStringLiteral(" 差引残高欄に備考を入力する"), fraSum);
    chkSumIsNote->setObjectName(QStringLiteral("chkSumIsNote"));
    sum->addWidget(chkSumIsNote);
    auto* interval = new QHBoxLayout();
    interval->setContentsMargins(24, 0, 0, 0);
    cboSumInterval = numberCombo(fraSum, QStringLiteral("cboSumInterval"), 1, kLedgerIntervalMax);
    lblSumInterval = new QLabel(QStringLiteral("行おきに差引計算を入力する"), fraSum);
    lblSumInterval->setObjectName(QStringLiteral("lblSumInterval"));
    interval->addWidget(cboSumInterval);
    interval->addWidget(lblSumInterval);
    interval->addStretch(1);
    sum->addLayout(interval);
    outer->addWidget(fraSum);

    chkLeaveMonth = new QCheckBox(QStringLiteral("「月」の記入を部分省略する"), this);
    chkLeaveMonth->setObjectName(QStringLiteral("chkLeaveMonth"));
    chkLeaveDay = new QCheckBox(QStringLiteral("「日」の記入を部分省略する"), this);
    chkLeaveDay->setObjectName(QStringLiteral("chkLeaveDay"));
    outer->addWidget(chkLeaveMonth);
    outer->addWidget(chkLeaveDay);

    // " 締日データの後ろ　　　　行を空ける": the number of rows stands in the gap of the caption.
    auto* blank = new QHBoxLayout();
    blank->setSpacing(4);
    chkCloseDayBlank = new QCheckBox(QStringLiteral(" 締日データの後ろ"), this);
    chkCloseDayBlank->setObjectName(QStringLiteral("chkCloseDayBlank"));
    cboCloseDayBlank =
        numberCombo(this, QStringLiteral("cboCloseDayBlank"), 1, kLedgerBlankRowsMax);
    lblCloseDayBlank = new CheckCaption(QStringLiteral("行を空ける"), chkCloseDayBlank, this);
    lblCloseDayBlank->setObjectName(QStringLiteral("lblCloseDayBlank"));
    const QString blankTip = QStringLiteral("締日データ後に、空白行を設けます");
    for (QWidget* w :
         std::initializer_list<QWidget*>{chkCloseDayBlank, cboCloseDayBlank, lblCloseDayBlank})
        w->setToolTip(blankTip);
    blank->addWidget(chkCloseDayBlank);
    blank->addWidget(cboCloseDayBlank);
    blank->addWidget(lblCloseDayBlank);
    blank->addStretch(1);
    outer->addLayout(blank);

    auto* buttons = new QHBoxLayout();
    cmdExit = new QPushButton(QStringLiteral("閉じる"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setAutoDefault(false);
    cmdExit->setMinimumWidth(90);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    outer->addLayout(buttons);

    connect(Chk_KokuyoRi103, &QCheckBox::toggled, this, [this]() { mSetEnabled(); });
    connect(chkSumIsNote, &QCheckBox::toggled, this, [this]() { mSetEnabled(); });
    connect(chkCloseDayBlank, &QCheckBox::toggled, this, [this]() { mSetEnabled(); });
    connect(cmdExit, &QPushButton::clicked, this, [this]() { close(); });
}

bool frmPrint_Data::formLoad() {
    setWindowTitle(QStringLiteral("仕入帳 出力の設定"));
    gSetFormCaption(this, 0);
    LedgerPrintOptions o;
    if (!gGetLedgerPrintOptions(o))
        return false;
    Chk_KokuyoRi103->setChecked(o.kokuyoRi103);
    selectNumber(cboMaxLine, o.linesPerPage);
    chkSumIsNote->setChecked(o.noteInBalance);
    selectNumber(cboSumInterval, o.balanceInterval);
    chkLeaveMonth->setChecked(o.omitMonth);
    chkLeaveDay->setChecked(o.omitDay);
    chkCloseDayBlank->setChecked(o.closeDayBlank);
    selectNumber(cboCloseDayBlank, o.closeDayBlankRows);
    mSetEnabled();
    return true;
}

void frmPrint_Data::mSetEnabled() {
    // The lines per page count only for the form; the interval only while the balance column
    // shows balances; the blank rows only while they are asked for.
    const bool form = Chk_KokuyoRi103->isChecked();
    cboMaxLine->setEnabled(form);
    lblMaxLine->setEnabled(form);
    const bool balances = !chkSumIsNote->isChecked();
    cboSumInterval->setEnabled(balances);
    lblSumInterval->setEnabled(balances);
    cboCloseDayBlank->setEnabled(chkCloseDayBlank->isChecked());
}

bool frmPrint_Data::formUnload() {
    using namespace LedgerPrintSetting;
    return gSetSystemBlnField(KokuyoRi103, Chk_KokuyoRi103->isChecked()) &&
           gSetSystemLngField(LinesPerPage, numberOf(cboMaxLine)) &&
           gSetSystemBlnField(NoteInBalance, chkSumIsNote->isChecked()) &&
           gSetSystemLngField(BalanceInterval, numberOf(cboSumInterval)) &&
           gSetSystemBlnField(OmitMonth, chkLeaveMonth->isChecked()) &&
           gSetSystemBlnField(OmitDay, chkLeaveDay->isChecked()) &&
           gSetSystemBlnField(CloseDayBlank, chkCloseDayBlank->isChecked()) &&
           gSetSystemLngField(CloseDayBlankRows, numberOf(cboCloseDayBlank));
}

void frmPrint_Data::done(int result) {
    if (!formUnload()) {
        gProcError(QStringLiteral("frmPrint_Data_Form_UnLoad"));
        QDialog::done(result);
        gProcFatalError(QStringLiteral("frmPrint_Data_Form_UnLoad"));
        return;
    }
    QDialog::done(result);
}
