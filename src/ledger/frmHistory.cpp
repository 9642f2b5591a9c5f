#include "ledger/frmHistory.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "master/SupplierRecords.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "widgets/FormHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

// The changes of the window; a cell is put in words when it is shown, so a long history opens
// as fast as it is read.
class HistoryTableModel : public QAbstractTableModel {
public:
    explicit HistoryTableModel(const frmHistory& window, QObject* parent)
        : QAbstractTableModel(parent), m_window(window) {}
    void reset() {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_window.changes().size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : HistoryCol::Count;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        const QString text = m_window.cellText(index.row(), index.column());
        if (role == Qt::ToolTipRole && text.isEmpty())
            return {};
        return text;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Horizontal)
            return gHistoryHeaders().value(section);
        return section + 1;
    }

private:
    const frmHistory& m_window;
};

frmHistory::frmHistory() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("変更履歴"));
    gAddHelpMenu(menuBar(), QStringLiteral("frmHistory"));

    auto* central = new QWidget(this);
    auto named = [](auto* w, const QString& name) {
        w->setObjectName(name);
        return w;
    };
    cboHistorySupplier = named(new QComboBox(central), QStringLiteral("cboHistorySupplier"));
    cboHistorySupplier->setMinimumContentsLength(16);
    gSetSelectionColour(cboHistorySupplier);
    txtHistoryFrom = named(new QLineEdit(central), QStringLiteral("txtHistoryFrom"));
    txtHistoryTo = named(new QLineEdit(central), QStringLiteral("txtHistoryTo"));
    for (QLineEdit* e : {txtHistoryFrom, txtHistoryTo}) {
        e->setPlaceholderText(QStringLiteral("指定なし"));
        e->setToolTip(QStringLiteral("例：2024/01/31（空欄は期間を区切りません）"));
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 24);
    }
    cmdHistoryShow =
        named(new QPushButton(QStringLiteral("表示"), central), QStringLiteral("cmdHistoryShow"));
    cmdHistoryCsv =
        named(new QPushButton(QStringLiteral("CSV出力"), central), QStringLiteral("cmdHistoryCsv"));
    cmdHistoryClose = named(new QPushButton(QStringLiteral("閉じる"), central),
                            QStringLiteral("cmdHistoryClose"));
    cmdHistoryUndoImport = named(new QPushButton(QStringLiteral("取り込みを元に戻す"), central),
                                 QStringLiteral("cmdHistoryUndoImport"));
    cmdHistoryUndoImport->setToolTip(
        QStringLiteral("選んだCSV取り込みで追加した行を、まとめて削除します"));
    cmdHistoryUndoImport->setEnabled(false);
    lblHistoryCount = named(new QLabel(central), QStringLiteral("lblHistoryCount"));
    for (QPushButton* b : {cmdHistoryShow, cmdHistoryCsv, cmdHistoryUndoImport, cmdHistoryClose})
        b->setAutoDefault(false);

    m_model = new HistoryTableModel(*this, this);
    grdHistory = named(new QTableView(central), QStringLiteral("grdHistory"));
    grdHistory->setModel(m_model);
    grdHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistory->setAlternatingRowColors(true);
    grdHistory->verticalHeader()->setDefaultSectionSize(grdHistory->fontMetrics().height() + 6);
    grdHistory->horizontalHeader()->setStretchLastSection(true);
    const int widths[HistoryCol::Count] = {150, 70, 110, 90, 150, 90, 110, 110, 50, 110, 90, 110};
    for (int c = 0; c < HistoryCol::Count; ++c)
        grdHistory->setColumnWidth(c, widths[c]);

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("仕入先"), central));
    filter->addWidget(cboHistorySupplier);
    filter->addSpacing(12);
    filter->addWidget(new QLabel(QStringLiteral("期間"), central));
    filter->addWidget(txtHistoryFrom);
    filter->addWidget(new QLabel(QStringLiteral("～"), central));
    filter->addWidget(txtHistoryTo);
    filter->addWidget(cmdHistoryShow);
    filter->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblHistoryCount);
    bottom->addStretch();
    bottom->addWidget(cmdHistoryUndoImport);
    bottom->addWidget(cmdHistoryCsv);
    bottom->addWidget(cmdHistoryClose);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(filter);
    layout->addWidget(grdHistory, 1);
    layout->addLayout(bottom);
    setCentralWidget(central);
    resize(1320, 560);

    connect(cmdHistoryShow, &QPushButton::clicked, this, [this] { cmdHistoryShow_Click(); });
    connect(cmdHistoryCsv, &QPushButton::clicked, this, [this] { cmdHistoryCsv_Click(); });
    connect(cmdHistoryClose, &QPushButton::clicked, this, [this] { close(); });
    connect(cboHistorySupplier, &QComboBox::activated, this, [this] { cmdHistoryShow_Click(); });
    connect(cmdHistoryUndoImport, &QPushButton::clicked, this,
            [this] { cmdHistoryUndoImport_Click(); });
    connect(grdHistory->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        cmdHistoryUndoImport->setEnabled(chosenImport() != nullptr && !gDataFileReadOnly());
    });
}

bool frmHistory::mSetSuppliers() {
    QStringList items;
    if (!gGetSupplierShortNameItems(gdbData(), items, false))
        return false;
    cboHistorySupplier->clear();
    cboHistorySupplier->addItem(QStringLiteral("（すべての仕入先）"), qint64(0));
    for (const QString& item : items) {
        qint32 masterID = 0;
        if (!gGetMasterIDBySupplier(gdbData(), gGetSupplierFromItem(item), masterID))
            return false;
        cboHistorySupplier->addItem(item, qint64(masterID));
    }
    return true;
}

bool frmHistory::mShow(qint64 masterID) {
    if (!mSetSuppliers()) {
        gProcError(QStringLiteral("frmHistory_mShow"));
        return false;
    }
    cboHistorySupplier->setCurrentIndex(qMax(0, cboHistorySupplier->findData(masterID)));
    txtHistoryFrom->setText(
        formatDate(svc().clock().today().addMonths(-1), QStringLiteral("yyyy/MM/dd")));
    txtHistoryTo->clear();
    return mLoad() && gDspForm(this, 0, 0);
}

bool frmHistory::mLoad() {
    HistoryFilter filter;
    const qint64 masterID = cboHistorySupplier->currentData().toLongLong();
    if (masterID != 0)
        filter.masterID = masterID;
    for (QLineEdit* box : {txtHistoryFrom, txtHistoryTo}) {
        const QString text = box->text().trimmed();
        if (text.isEmpty())
            continue;
        const QDate d = QDate::fromString(text, QStringLiteral("yyyy/M/d"));
        if (!d.isValid()) {
            box->setFocus();
            box->selectAll();
            svc().prompt().show(QStringLiteral("期間の日付が正しくありません。\r\n"
                                               "2024/01/31 のように入力してください。"),
                                QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
            return true;
        }
        (box == txtHistoryFrom ? filter.from : filter.to) = d;
    }
    std::vector<HistoryChange> changes;
    if (!m_words.load(gdbData()) || !gReadHistoryChanges(gdbData(), filter, changes)) {
        gProcError(QStringLiteral("frmHistory_mLoad"));
        return false;
    }
    // Only what the user can tell apart (an empty box added, a check reset from nothing to 0
    // are no change to see).
    std::erase_if(changes, [this](const HistoryChange& c) { return !m_words.shows(c); });
    m_changes = std::move(changes);
    m_model->reset();
    cmdHistoryUndoImport->setEnabled(false);
    lblHistoryCount->setText(QStringLiteral("%1 件").arg(m_changes.size()));
    if (!m_changes.empty())
        grdHistory->scrollToBottom();
    return true;
}

QString frmHistory::cellText(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(m_changes.size()))
        return {};
    return m_words.cell(m_changes[static_cast<std::size_t>(row)], column);
}

void frmHistory::cmdHistoryShow_Click() {
    if (!mLoad())
        gProcFatalError(QStringLiteral("frmHistory_cmdHistoryShow_Click"));
}

void frmHistory::cmdHistoryCsv_Click() {
    if (m_changes.empty()) {
        svc().prompt().show(QStringLiteral("出力する変更履歴がありません。"), QString(),
                            MsgStyle::OKOnly | MsgStyle::Information);
        return;
    }
    const QString folder =
        svc().dialogs().chooseFolder(QStringLiteral("CSVファイルの保存先"), QDir::homePath());
    if (folder.isEmpty())
        return;
    const QString path = QDir(folder).filePath(
        QStringLiteral("変更履歴_%1.csv")
            .arg(svc().clock().now().toString(QStringLiteral("yyyyMMdd_HHmmss"))));
    if (!gWriteHistoryCsv(path, m_changes, m_words)) {
        svc().prompt().show(QStringLiteral("CSVファイルを保存できませんでした。\r\n") + path,
                            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
    svc().prompt().show(QStringLiteral("CSVファイルに保存しました。\r\n") + path, QString(),
                        MsgStyle::OKOnly | MsgStyle::Information);
}

const HistoryChange* frmHistory::chosenImport() const {
    const int row = grdHistory->currentIndex().row();
    if (row < 0 || row >= static_cast<int>(m_changes.size()))
        return nullptr;
    const HistoryChange& c = m_changes[static_cast<std::size_t>(row)];
    return c.import && c.strAction == QLatin1String("I") ? &c : nullptr;
}

void frmHistory::cmdHistoryUndoImport_Click() {
    const HistoryChange* chosen = chosenImport();
    if (!chosen || gDataFileReadOnly())
        return;
    const QString what = m_words.cell(*chosen, HistoryCol::When) + QLatin1Char(' ') +
                         m_words.cell(*chosen, HistoryCol::Book) +
                         QStringLiteral("へのCSV取り込み\r\n") +
                         m_words.cell(*chosen, HistoryCol::After);
    if (svc().prompt().show(what + QStringLiteral("\r\n\r\nこの取り込みで追加した行をすべて"
                                                  "削除して、取り込む前に戻しますか？"),
                            QString(),
                            MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2) !=
        MsgResult::Yes)
        return;
    ImportUndoOutcome outcome = ImportUndoOutcome::Changed;
    qint64 removed = 0;
    if (!gUndoImport(gdbData(), chosen->lngID, outcome, &removed)) {
        gProcFatalError(QStringLiteral("frmHistory_cmdHistoryUndoImport_Click"));
        return;
    }
    switch (outcome) {
    case ImportUndoOutcome::Done:
        svc().prompt().show(QStringLiteral("取り込みを元に戻しました（%1 行を削除しました）。")
                                .arg(formatNumber(double(removed), QStringLiteral("#,##0"))),
                            QString(), MsgStyle::OKOnly | MsgStyle::Information);
        break;
    case ImportUndoOutcome::AlreadyUndone:
        svc().prompt().show(QStringLiteral("この取り込みは、すでに元に戻されています。"), QString(),
                            MsgStyle::OKOnly | MsgStyle::Information);
        break;
    case ImportUndoOutcome::Changed:
        svc().prompt().show(
            QStringLiteral("この取り込みで追加した行の中に、取り込みの後で変更または削除された行が"
                           "あるため、元に戻せません。"),
            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
        break;
    }
    if (!mLoad())
        gProcFatalError(QStringLiteral("frmHistory_cmdHistoryUndoImport_Click"));
}
