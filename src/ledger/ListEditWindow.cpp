#include "ledger/ListEditWindow.h"

#include "ledger/CellDropDown.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace {
// Layout in twips.
constexpr int kRowHeight = 350;
constexpr int kRowHeaderWidth = 300;
constexpr int kDropDownRows = 16;
} // namespace

ListEditWindow::ListEditWindow(const QString& name, QList<int> dropDownColumns, QWidget* parent)
    : QDialog(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    DBGrid01 = new QTableView(this);
    DBGrid01->setObjectName(QStringLiteral("DBGrid01"));
    cboEditGrid = new QComboBox(this);
    cboEditGrid->setObjectName(QStringLiteral("cboEditGrid"));
    setListBoxStyle(cboEditGrid);
    m_dropDown = new CellDropDown(DBGrid01, cboEditGrid, std::move(dropDownColumns));
}

void ListEditWindow::setListBoxStyle(QComboBox* box) {
    box->setStyleSheet(
        QStringLiteral("QComboBox { background-color: #FFFFC0; combobox-popup: 0; }"));
    gSetComboDropDownRows(box, kDropDownRows);
}

QPushButton* ListEditWindow::makeCloseButton() {
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &ListEditWindow::close);
    return cmdClose;
}

void ListEditWindow::setListModel(QAbstractItemModel* model) {
    DBGrid01->setModel(model);
    connect(DBGrid01->selectionModel(), &QItemSelectionModel::currentRowChanged, DBGrid01,
            [this] { DBGrid01->viewport()->update(); });
    initGrid();
}

void ListEditWindow::layoutGrid(QAbstractItemView::EditTriggers triggers,
                                const QList<std::pair<int, int>>& columnTwips, int visibleRows) {
    DBGrid01->setEditTriggers(triggers);
    DBGrid01->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid01->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView* h = DBGrid01->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Fixed);
    h->setHighlightSections(false);
    QHeaderView* v = DBGrid01->verticalHeader();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(twipsToPixelsY(kRowHeight));
    v->setFixedWidth(twipsToPixelsX(kRowHeaderWidth));
    int width = kRowHeaderWidth;
    for (const auto& [column, twips] : columnTwips) {
        DBGrid01->setColumnHidden(column, twips == 0);
        if (twips == 0)
            continue;
        DBGrid01->setColumnWidth(column, twipsToPixelsX(twips));
        width += twips;
    }
    const int frame = 2 * DBGrid01->frameWidth();
    const int scroll = DBGrid01->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    DBGrid01->setFixedWidth(twipsToPixelsX(width) + frame + scroll);
    DBGrid01->setMinimumHeight(twipsToPixelsY(kRowHeight * visibleRows) + h->sizeHint().height() +
                               frame);
}

void ListEditWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    if (!load())
        gProcFatalError(objectName() + QStringLiteral("_Form_Load"));
}

void ListEditWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Keep the layout when the window becomes active again (as the ledger does).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && DBGrid01->model())
        initGrid();
}

void ListEditWindow::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void ListEditWindow::reject() {
    close();
}
