#include "ledger/frmDataItem.h"

#include "base/FormHelpers.h"
#include "base/Globals.h"
#include "base/WindowDisplay.h"
#include "ledger/Captions.h"
#include "ledger/CellDropDown.h"
#include "ledger/ClassLists.h"
#include "ledger/ListGridModels.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Layout in twips.
constexpr int kRowHeight = 350;
constexpr int kRowHeaderWidth = 300;
constexpr int kItemWidth = 3500;
constexpr int kSortWidth = 1000;
constexpr int kVisibleRows = 14;
} // namespace

frmDataItem::frmDataItem(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDataItem"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    DBGrid01 = new QTableView(this);
    DBGrid01->setObjectName(QStringLiteral("DBGrid01"));
    cboEditGrid = new QComboBox(this);
    cboEditGrid->setObjectName(QStringLiteral("cboEditGrid"));
    cboEditGrid->setStyleSheet(
        QStringLiteral("QComboBox { background-color: #FFFFC0; combobox-popup: 0; }"));
    gSetComboDropDownRows(cboEditGrid, 16);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    auto* lblNote = new QLabel(QStringLiteral("「内容」は直接入力できます"), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblNote);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    auto* main = new QVBoxLayout(this);
    main->addWidget(DBGrid01);
    main->addLayout(bottom);

    m_dropDown = new CellDropDown(DBGrid01, cboEditGrid, {1});
    connect(m_dropDown, &CellDropDown::buttonClicked, this, [this](const QModelIndex& index) {
        m_dropDown->open(index, gSortChoices(kListSortMax));
    });
    connect(m_dropDown, &CellDropDown::chosen, this, &frmDataItem::onChosen);
    connect(m_dropDown->delegate(), &DropDownButtonDelegate::commitRefused, this,
            &frmDataItem::onCommitRefused);
    connect(cmdClose, &QPushButton::clicked, this, &frmDataItem::close);
}

void frmDataItem::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    if (!load())
        gProcFatalError(QStringLiteral("frmDataItem_Form_Load"));
}

bool frmDataItem::load() {
    m_kind = glngDataKind;
    // The list belongs to one ledger: the caption names it and the item column.
    QString word;
    QString defaultText;
    QString itemCaption;
    if (!gGetDataCaption(m_kind, word) || !gGetColumnCaption(1, m_kind, defaultText, itemCaption))
        return false;
    setWindowTitle(word + QStringLiteral("帳　") + itemCaption + QStringLiteral("リスト"));
    gSetFormCaption(this, 0);

    m_model = new ItemListModel(m_kind, this);
    if (!m_model->load())
        return false;
    DBGrid01->setModel(m_model);
    connect(DBGrid01->selectionModel(), &QItemSelectionModel::currentRowChanged, DBGrid01,
            [this] { DBGrid01->viewport()->update(); });
    initGrid();
    return true;
}

void frmDataItem::initGrid() {
    DBGrid01->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
    DBGrid01->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid01->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView* h = DBGrid01->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Fixed);
    h->setHighlightSections(false);
    QHeaderView* v = DBGrid01->verticalHeader();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(twipsToPixelsY(kRowHeight));
    v->setFixedWidth(twipsToPixelsX(kRowHeaderWidth));
    DBGrid01->setColumnWidth(0, twipsToPixelsX(kItemWidth));
    DBGrid01->setColumnWidth(1, twipsToPixelsX(kSortWidth));
    const int frame = 2 * DBGrid01->frameWidth();
    const int scroll = DBGrid01->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    DBGrid01->setFixedWidth(twipsToPixelsX(kRowHeaderWidth + kItemWidth + kSortWidth) + frame +
                            scroll);
    DBGrid01->setMinimumHeight(twipsToPixelsY(kRowHeight * kVisibleRows) + h->sizeHint().height() +
                               frame);
}

void frmDataItem::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_model)
        initGrid();
}

void frmDataItem::onChosen(const QModelIndex& index, const QString& text) {
    if (!m_model->setData(index, text, Qt::EditRole))
        reportFailure(index, text, QStringLiteral("frmDataItem_cboEditGrid_Click"));
}

void frmDataItem::onCommitRefused(const QModelIndex& index, const QString& text) {
    // The editor is closing: tell the user once it is gone.
    m_refused = true;
    const QPersistentModelIndex at(index);
    QTimer::singleShot(0, this, [this, at, text] {
        m_refused = false;
        reportFailure(at, text, QStringLiteral("frmDataItem_DBGrid01_BeforeColUpdate"));
    });
}

void frmDataItem::reportFailure(const QModelIndex& index, const QString& text,
                                const QString& procName) {
    if (m_model->lastFailure() != ListModelFailure::InvalidSort) {
        gProcFatalError(procName);
        return;
    }
    gDispMsg(50, QStringLiteral("リストの中から"));
    // The user stays in the cell with what was typed.
    if (!index.isValid())
        return;
    m_dropDown->delegate()->setPendingText(index, text);
    DBGrid01->setCurrentIndex(index);
    DBGrid01->setFocus(Qt::OtherFocusReason);
    DBGrid01->edit(index);
}

void frmDataItem::closeEvent(QCloseEvent* event) {
    // A cell still being edited is stored first; a refused one keeps the window open.
    QWidget* editor = focusWidget();
    if (editor && editor->parentWidget() == DBGrid01->viewport()) {
        emit m_dropDown->delegate()->commitData(editor);
        emit m_dropDown->delegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    if (m_refused) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void frmDataItem::reject() {
    close();
}
