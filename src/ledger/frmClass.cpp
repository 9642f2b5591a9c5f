#include "ledger/frmClass.h"

#include "base/Services.h"
#include "ledger/CellDropDown.h"
#include "ledger/ClassLists.h"
#include "ledger/ListGridModels.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/ShownRow.h"
#include "store/TaxRates.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
// Layout in twips.
constexpr int kTextWidth = 1500;
constexpr int kSortWidth = 1000;
constexpr int kEnableWidth = 1000;
constexpr int kReducedWidth = 1500;
constexpr int kVisibleRows = 12;
// Class entries are short: four full-width characters, counted as Shift_JIS bytes.
constexpr int kClassTextMaxBytes = 8;
} // namespace

frmClass::frmClass(QWidget* parent)
    : ListEditWindow(QStringLiteral("frmClass"), {2, 3, 4}, parent) {
    txtAddItem = new QLineEdit(this);
    txtAddItem->setObjectName(QStringLiteral("txtAddItem"));
    gSetMaxSjisBytes(txtAddItem, kClassTextMaxBytes);
    cmdAdd = new QPushButton(QStringLiteral("追加確定"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setAutoDefault(false);
    cboDefaltInput = new QComboBox(this);
    cboDefaltInput->setObjectName(QStringLiteral("cboDefaltInput"));
    setListBoxStyle(cboDefaltInput);
    makeCloseButton();

    auto* lblNote1 = new QLabel(QStringLiteral("データ整合性確保のため、アイテムは"), this);
    lblNote1->setObjectName(QStringLiteral("lblNote1"));
    auto* lblNote2 = new QLabel(QStringLiteral("一度登録すると、修正・削除はできません"), this);
    lblNote2->setObjectName(QStringLiteral("lblNote2"));
    auto* lblNote3 = new QLabel(QStringLiteral("(並べ替え・表示/非表示は可能です)"), this);
    lblNote3->setObjectName(QStringLiteral("lblNote3"));
    auto* lblAddItem = new QLabel(QStringLiteral("４文字まで"), this);
    lblAddItem->setObjectName(QStringLiteral("lblAddItem"));
    auto* lblDefaltInput = new QLabel(QStringLiteral("初期値（未入力時F12でも入力）"), this);
    lblDefaltInput->setObjectName(QStringLiteral("lblDefaltInput"));

    auto* addRow = new QHBoxLayout;
    addRow->addWidget(txtAddItem, 1);
    addRow->addWidget(cmdAdd);
    auto* side = new QVBoxLayout;
    side->addWidget(lblNote1);
    side->addWidget(lblNote2);
    side->addWidget(lblNote3);
    side->addSpacing(16);
    side->addWidget(lblAddItem);
    side->addLayout(addRow);
    side->addSpacing(16);
    side->addWidget(lblDefaltInput);
    side->addWidget(cboDefaltInput);
    side->addStretch(1);
    side->addWidget(cmdClose, 0, Qt::AlignRight);
    auto* main = new QHBoxLayout(this);
    main->addWidget(DBGrid01);
    main->addLayout(side);

    connect(m_dropDown, &CellDropDown::buttonClicked, this, &frmClass::onButtonClicked);
    connect(m_dropDown, &CellDropDown::chosen, this, &frmClass::onChosen);
    connect(cmdAdd, &QPushButton::clicked, this, &frmClass::onAdd);
    connect(&gdbData().changeNotices(), &ChangeNotices::rowsChanged, this,
            [this](const QString& table) { otherChanged(table); });
    connect(txtAddItem, &QLineEdit::returnPressed, this, &frmClass::onAdd);
    cboDefaltInput->installEventFilter(this);
    // Only a choice from the list: typed characters are discarded.
    gSetMoveFocusByKey(cboDefaltInput, true);
}

void frmClass::setClass(int classNo, const QString& caption) {
    m_classNo = classNo;
    m_caption = caption;
}

bool frmClass::load() {
    setWindowTitle(m_caption);
    gSetFormCaption(this, 0);

    m_model = new ClassListModel(m_classNo, gdbData(), this);
    if (!m_model->load())
        return false;
    // Only the tax class (setting 50) carries the reduced-rate mark.
    qint32 taxClass = 1;
    if (!gGetTaxClass(taxClass))
        return false;
    m_taxClass = taxClass == m_classNo;
    setListModel(m_model);

    QString defaultText;
    if (!gGetClassDefault(m_classNo, defaultText))
        return false;
    QStringList choices;
    if (!gGetClassDefaultChoices(gdbData(), m_classNo, choices))
        return false;
    // A stored default that is no entry (any more) is kept rather than lost on closing.
    if (!choices.contains(defaultText))
        choices << defaultText;
    cboDefaltInput->addItems(choices);
    cboDefaltInput->setCurrentIndex(choices.indexOf(defaultText));
    return true;
}

void frmClass::initGrid() {
    layoutGrid(QAbstractItemView::NoEditTriggers,
               {{0, 0},
                {1, kTextWidth},
                {2, kSortWidth},
                {3, kEnableWidth},
                {4, m_taxClass ? kReducedWidth : 0}},
               kVisibleRows);
}

void frmClass::onButtonClicked(const QModelIndex& index) {
    switch (index.column()) {
    case 2:
        m_dropDown->open(index, gSortChoices(kListSortMax));
        break;
    case 3:
    case 4:
        m_dropDown->open(index, {QStringLiteral("Yes"), QStringLiteral("No")});
        break;
    default:
        gProcFatalError(QStringLiteral("frmClass_DBGrid01_ButtonClick"));
        break;
    }
}

void frmClass::onChosen(const QModelIndex& index, const QString& text) {
    bool ok = true;
    if (index.column() == 2) {
        bool isNumber = false;
        const int sort = text.toInt(&isNumber);
        ok = isNumber && m_model->setSort(index.row(), sort);
    } else if (index.column() == 3) {
        ok = m_model->setEnabled(index.row(), text == QStringLiteral("Yes"));
    } else if (index.column() == 4) {
        ok = m_model->setReduced(index.row(), text == QStringLiteral("Yes"));
    }
    if (!ok && m_model->changedElsewhere()) {
        svc().prompt().show(gRowChangedElsewhereText(), QString(),
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
    if (!ok)
        gProcFatalError(QStringLiteral("frmClass_cboEditGrid_Click"));
}

void frmClass::otherChanged(const QString& table) {
    if (!m_model || table != QStringLiteral("T_DATA_CLASS%1").arg(m_classNo))
        return;
    // The entries are read again; the cell the user is on stays where it was.
    const QModelIndex current = DBGrid01->currentIndex();
    if (!m_model->load()) {
        gProcFatalError(QStringLiteral("frmClass_otherChanged"));
        return;
    }
    if (current.isValid())
        DBGrid01->setCurrentIndex(m_model->index(current.row(), current.column()));
}

void frmClass::onAdd() {
    QString trimmed;
    const bool valid = gChkClassText(txtAddItem->text(), trimmed);
    txtAddItem->setText(trimmed);
    if (!valid) {
        svc().prompt().show(QStringLiteral("空白は無効です"), QString(), MsgStyle::Exclamation);
        txtAddItem->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!m_model->addEntry(trimmed)) {
        gProcFatalError(QStringLiteral("frmClass_cmdAdd_Click"));
        return;
    }
    const QModelIndex added = m_model->index(m_model->rowCount() - 1, 1);
    DBGrid01->setCurrentIndex(added);
    DBGrid01->scrollTo(added);
    // The entry is stored for good: clear the box so it is not added twice by mistake.
    txtAddItem->clear();
    txtAddItem->setFocus(Qt::OtherFocusReason);
}

bool frmClass::rebuildDefaultChoices() {
    const QString current = cboDefaltInput->currentText();
    QStringList choices;
    if (!gGetClassDefaultChoices(gdbData(), m_classNo, choices))
        return false;
    if (!choices.contains(current))
        choices << current;
    const QSignalBlocker block(cboDefaltInput);
    cboDefaltInput->clear();
    cboDefaltInput->addItems(choices);
    cboDefaltInput->setCurrentIndex(choices.indexOf(current));
    return true;
}

bool frmClass::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboDefaltInput) {
        // The choices follow the list as edited in the grid. Focus that comes back from the box's
        // own drop-down (or from another window) is no edit of the list: rebuilding then would
        // drop the entry just chosen before the box takes it.
        const auto reason = event->type() == QEvent::FocusIn
                                ? static_cast<QFocusEvent*>(event)->reason()
                                : Qt::OtherFocusReason;
        if (event->type() == QEvent::FocusIn && m_model && reason != Qt::PopupFocusReason &&
            reason != Qt::ActiveWindowFocusReason) {
            if (!rebuildDefaultChoices())
                gProcFatalError(QStringLiteral("frmClass_DBGrid01_ButtonClick"));
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmClass::mayClose() {
    if (m_loaded && !gSetClassDefault(m_classNo, cboDefaltInput->currentText()))
        gProcFatalError(QStringLiteral("frmClass_Form_Unload"));
    return true;
}
