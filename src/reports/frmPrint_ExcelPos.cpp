#include "reports/frmPrint_ExcelPos.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/LedgerPrint.h"
#include "store/Settings.h"
#include "widgets/WindowDisplay.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* moveButton(QWidget* parent, const QString& name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumSize(72, 34);
    return b;
}

// "上へ 3", "下へ 2", "0": the value as the direction it moves the print.
QString offsetText(int value, const QString& negative, const QString& positive) {
    if (value == 0)
        return QStringLiteral("0");
    return (value < 0 ? negative : positive) + QString::number(std::abs(value));
}

} // namespace

frmPrint_ExcelPos* frmPrint_ExcelPos::newInstance() {
    auto* w = new frmPrint_ExcelPos(nullptr);
    if (!w->formLoad()) {
        delete w;
        gProcError(QStringLiteral("frmPrint_ExcelPos_Form_Load"));
        return nullptr;
    }
    return w;
}

frmPrint_ExcelPos::frmPrint_ExcelPos(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmPrint_ExcelPos"));
    auto* outer = new QVBoxLayout(this);

    auto* note = new QLabel(QStringLiteral("帳票の印刷位置を調整します。"), this);
    outer->addWidget(note);

    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    cmdMoveTop = moveButton(this, QStringLiteral("cmdMoveTop"), QStringLiteral("↑ 上へ"));
    cmdMoveUnder = moveButton(this, QStringLiteral("cmdMoveUnder"), QStringLiteral("↓ 下へ"));
    cmdMoveLeft = moveButton(this, QStringLiteral("cmdMoveLeft"), QStringLiteral("← 左へ"));
    cmdMoveRight = moveButton(this, QStringLiteral("cmdMoveRight"), QStringLiteral("右へ →"));

    auto* page = new QFrame(this);
    page->setFrameShape(QFrame::Box);
    page->setMinimumSize(150, 80);
    page->setStyleSheet(QStringLiteral("QFrame { background: white; }"));
    auto* pageLayout = new QGridLayout(page);
    auto* lblTopCaption = new QLabel(QStringLiteral("縦"), page);
    auto* lblLeftCaption = new QLabel(QStringLiteral("横"), page);
    lblTOP = new QLabel(page);
    lblTOP->setObjectName(QStringLiteral("lblTOP"));
    lblLeft = new QLabel(page);
    lblLeft->setObjectName(QStringLiteral("lblLeft"));
    for (QLabel* l : {lblTOP, lblLeft}) {
        l->setMinimumWidth(70);
        l->setAlignment(Qt::AlignCenter);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    pageLayout->addWidget(lblTopCaption, 0, 0);
    pageLayout->addWidget(lblTOP, 0, 1);
    pageLayout->addWidget(lblLeftCaption, 1, 0);
    pageLayout->addWidget(lblLeft, 1, 1);

    grid->addWidget(cmdMoveTop, 0, 1, Qt::AlignCenter);
    grid->addWidget(cmdMoveLeft, 1, 0, Qt::AlignCenter);
    grid->addWidget(page, 1, 1);
    grid->addWidget(cmdMoveRight, 1, 2, Qt::AlignCenter);
    grid->addWidget(cmdMoveUnder, 2, 1, Qt::AlignCenter);
    outer->addLayout(grid);

    auto* bottom = new QHBoxLayout();
    auto* lblMaxCaption = new QLabel(QStringLiteral("調整できる範囲"), this);
    lblMaxAjust = new QLabel(QStringLiteral("±") + QString::number(kLedgerOffsetMax), this);
    lblMaxAjust->setObjectName(QStringLiteral("lblMaxAjust"));
    cmdExit = new QPushButton(QStringLiteral("閉じる"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setAutoDefault(false);
    cmdExit->setMinimumWidth(90);
    bottom->addWidget(lblMaxCaption);
    bottom->addWidget(lblMaxAjust);
    bottom->addStretch(1);
    bottom->addWidget(cmdExit);
    outer->addLayout(bottom);

    connect(cmdMoveTop, &QPushButton::clicked, this, [this]() {
        mMove(m_vertical, -1, QStringLiteral("それ以上、上に寄せることは出来ません。"));
    });
    connect(cmdMoveUnder, &QPushButton::clicked, this, [this]() {
        mMove(m_vertical, 1, QStringLiteral("それ以上、下に寄せることは出来ません。"));
    });
    connect(cmdMoveLeft, &QPushButton::clicked, this, [this]() {
        mMove(m_horizontal, -1, QStringLiteral("それ以上、左に寄せることは出来ません。"));
    });
    connect(cmdMoveRight, &QPushButton::clicked, this, [this]() {
        mMove(m_horizontal, 1, QStringLiteral("それ以上、右に寄せることは出来ません。"));
    });
    connect(cmdExit, &QPushButton::clicked, this, [this]() { close(); });
}

bool frmPrint_ExcelPos::formLoad() {
    setWindowTitle(QStringLiteral("印刷位置の調整"));
    gSetFormCaption(this, 0);
    LedgerPrintOptions o;
    if (!gGetLedgerPrintOptions(o))
        return false;
    m_vertical = o.offsetVertical;
    m_horizontal = o.offsetHorizontal;
    mShow();
    return true;
}

void frmPrint_ExcelPos::mShow() {
    lblTOP->setText(offsetText(m_vertical, QStringLiteral("上へ "), QStringLiteral("下へ ")));
    lblLeft->setText(offsetText(m_horizontal, QStringLiteral("左へ "), QStringLiteral("右へ ")));
}

void frmPrint_ExcelPos::mMove(int& value, int step, const QString& message) {
    const int next = value + step;
    if (next > kLedgerOffsetMax || next < -kLedgerOffsetMax) {
        svc().prompt().show(message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        return;
    }
    value = next;
    mShow();
}

bool frmPrint_ExcelPos::formUnload() {
    return gSetSystemLngField(LedgerPrintSetting::OffsetVertical, m_vertical) &&
           gSetSystemLngField(LedgerPrintSetting::OffsetHorizontal, m_horizontal);
}

void frmPrint_ExcelPos::done(int result) {
    if (!formUnload()) {
        gProcError(QStringLiteral("frmPrint_ExcelPos_Form_Unload"));
        QDialog::done(result);
        gProcFatalError(QStringLiteral("frmPrint_ExcelPos_Form_Unload"));
        return;
    }
    QDialog::done(result);
}
