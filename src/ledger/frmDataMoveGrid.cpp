#include "ledger/frmDataMoveGrid.h"

#include "base/Services.h"
#include "ledger/GridOffset.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Pixels to twips with the DPI twipsToPixelsX uses.
int pixelsToTwipsX(int pixels) {
    const int dpi = twipsToPixelsX(1440);
    return dpi > 0 ? pixels * 1440 / dpi : pixels * 15;
}

} // namespace

frmDataMoveGrid::frmDataMoveGrid(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDataMoveGrid"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setWindowTitle(QStringLiteral("表の位置調整"));

    auto* lblNote1 = new QLabel(QStringLiteral("表の左右位置を、調整します"), this);
    lblNote1->setObjectName(QStringLiteral("lblNote1"));
    auto* lblNote2 =
        new QLabel(QStringLiteral("（お使いのパソコン環境によって画面に違いがでるため）"), this);
    lblNote2->setObjectName(QStringLiteral("lblNote2"));
    auto* lblFrom = new QLabel(QStringLiteral("標準位置から"), this);
    lblFrom->setObjectName(QStringLiteral("lblFrom"));
    auto* lblRight = new QLabel(QStringLiteral("右へ："), this);
    lblRight->setObjectName(QStringLiteral("lblRight"));
    lblLeft = new QLabel(QStringLiteral("0"), this);
    lblLeft->setObjectName(QStringLiteral("lblLeft"));
    lblLeft->setMinimumWidth(48);
    lblLeft->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    cmdMoveLeft = new QPushButton(QStringLiteral("← 左へ"), this);
    cmdMoveLeft->setObjectName(QStringLiteral("cmdMoveLeft"));
    cmdMoveLeft->setAutoDefault(false);
    cmdMoveRight = new QPushButton(QStringLiteral("右へ →"), this);
    cmdMoveRight->setObjectName(QStringLiteral("cmdMoveRight"));
    cmdMoveRight->setAutoDefault(false);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    auto* offsetRow = new QHBoxLayout;
    offsetRow->addStretch(1);
    offsetRow->addWidget(lblFrom);
    offsetRow->addWidget(lblRight);
    offsetRow->addWidget(lblLeft);
    offsetRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdMoveLeft);
    buttons->addWidget(cmdMoveRight);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(cmdClose);
    auto* main = new QVBoxLayout(this);
    main->addWidget(lblNote1);
    main->addWidget(lblNote2);
    main->addSpacing(8);
    main->addLayout(offsetRow);
    main->addLayout(buttons);
    main->addSpacing(8);
    main->addLayout(closeRow);

    connect(cmdMoveRight, &QPushButton::clicked, this, &frmDataMoveGrid::onMoveRight);
    connect(cmdMoveLeft, &QPushButton::clicked, this, &frmDataMoveGrid::onMoveLeft);
    connect(cmdClose, &QPushButton::clicked, this, &frmDataMoveGrid::close);
}

void frmDataMoveGrid::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    gSetFormCaption(this, 0);
    m_offset = gGetDataGridOffset();
    showOffset();
}

void frmDataMoveGrid::showOffset() {
    lblLeft->setText(QString::number(m_offset));
}

void frmDataMoveGrid::placeGrid() {
    if (m_grid)
        m_grid->move(twipsToPixelsX(gDataGridLeft(m_offset)), m_grid->y());
    svc().process().processEvents();
}

void frmDataMoveGrid::onMoveRight() {
    const bool canMove =
        m_grid && m_grid->parentWidget() &&
        gCanMoveDataGridRight(gDataGridLeft(m_offset), pixelsToTwipsX(m_grid->width()),
                              pixelsToTwipsX(m_grid->parentWidget()->contentsRect().width()));
    if (!canMove) {
        svc().prompt().show(QStringLiteral("それ以上、右に寄せることは出来ません。"), QString(),
                            MsgStyle::Information);
        return;
    }
    m_offset += kDataGridMoveStep;
    placeGrid();
    showOffset();
}

void frmDataMoveGrid::onMoveLeft() {
    if (!m_grid || !gCanMoveDataGridLeft(gDataGridLeft(m_offset))) {
        svc().prompt().show(QStringLiteral("それ以上、左に寄せることは出来ません。"), QString(),
                            MsgStyle::Information);
        return;
    }
    m_offset -= kDataGridMoveStep;
    placeGrid();
    showOffset();
}

void frmDataMoveGrid::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_loaded && !gSetDataGridOffset(m_offset)) {
        gProcFatalError(QStringLiteral("frmDataMoveGrid_Form_Unload"));
        return;
    }
    QDialog::done(QDialog::Rejected);
}

void frmDataMoveGrid::reject() {
    close();
}
