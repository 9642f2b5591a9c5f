#include "ledger/frmDataItem.h"

#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/Captions.h"
#include "ledger/CellDropDown.h"
#include "ledger/ClassLists.h"
#include "ledger/ListGridModels.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"
#include "store/ShownRow.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Layout in twips.
constexpr int kItemWidth = 3500;
constexpr int kSortWidth = 1000;
constexpr int kVisibleRows = 14;
} // namespace

frmDataItem::frmDataItem(QWidget* parent)
    : ListEditWindow(QStringLiteral("frmDataItem"), {1}, parent) {
    makeCloseButton();
    auto* lblNote = new QLabel(QStringLiteral("「内容」は直接入力できます"), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblNote);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    auto* main = new QVBoxLayout(this);
    main->addWidget(DBGrid01);
    main->addLayout(bottom);

    connect(m_dropDown, &CellDropDown::buttonClicked, this, [this](const QModelIndex& index) {
        m_dropDown->open(index, gSortChoices(kListSortMax));
    });
    connect(m_dropDown, &CellDropDown::chosen, this, &frmDataItem::onChosen);
    connect(m_dropDown->delegate(), &DropDownButtonDelegate::commitRefused, this,
            &frmDataItem::onCommitRefused);
    connect(&gdbData().changeNotices(), &ChangeNotices::rowsChanged, this,
            [this](const QString& table) { otherChanged(table); });
}

void frmDataItem::otherChanged(const QString& table) {
    if (!m_model || table != QStringLiteral("T_DATA%1_ITEM").arg(m_kind))
        return;
    // A cell being typed is left alone: the list is read once it is stored or given up.
    const QWidget* editor = focusWidget();
    if ((editor && editor->parentWidget() == DBGrid01->viewport()) || m_refused) {
        QTimer::singleShot(250, this, [this, table] { otherChanged(table); });
        return;
    }
    const QModelIndex current = DBGrid01->currentIndex();
    if (!m_model->load()) {
        gProcFatalError(QStringLiteral("frmDataItem_otherChanged"));
        return;
    }
    if (current.isValid())
        DBGrid01->setCurrentIndex(
            m_model->index(qMin(current.row(), m_model->rowCount() - 1), current.column()));
}

bool frmDataItem::load() {
    m_kind = glngDataKind;
    // The list belongs to one ledger: the caption names it and the item column.
    QString word;
    QString defaultText;
    QString itemCaption;
    if (!gGetDataCaption(m_kind, word) ||
        !gGetColumnCaption(gdbData(), 1, m_kind, defaultText, itemCaption))
        return false;
    setWindowTitle(word + QStringLiteral("帳　") + itemCaption + QStringLiteral("リスト"));
    gSetFormCaption(this, 0);

    m_model = new ItemListModel(m_kind, gdbData(), this);
    if (!m_model->load())
        return false;
    setListModel(m_model);
    return true;
}

void frmDataItem::initGrid() {
    layoutGrid(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                   QAbstractItemView::AnyKeyPressed,
               {{0, kItemWidth}, {1, kSortWidth}}, kVisibleRows);
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
    if (m_model->lastFailure() == ListModelFailure::ChangedElsewhere) {
        svc().prompt().show(gRowChangedElsewhereText(), QString(),
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
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

bool frmDataItem::mayClose() {
    // A cell still being edited is stored first; a refused one keeps the window open.
    QWidget* editor = focusWidget();
    if (editor && editor->parentWidget() == DBGrid01->viewport()) {
        emit m_dropDown->delegate()->commitData(editor);
        emit m_dropDown->delegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    return !m_refused;
}
