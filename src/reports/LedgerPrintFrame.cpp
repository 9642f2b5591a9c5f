#include "reports/LedgerPrintFrame.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/InitCboTargetDate.h"
#include "ledger/frmCalendar.h"
#include "reports/ReportRegistry.h"
#include "reports/frmPrint_Data.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kStartRowCaption = QStringLiteral("  書込み行");

// Small pictures of the picture buttons.
QIcon calendarIcon() {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 4.5, 15, 13));
    p.fillRect(QRectF(3, 5, 14, 4), QColor(0xd0, 0x30, 0x30));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x55, 0x55, 0x55));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            p.drawRect(QRectF(4.5 + c * 3.2, 10.5 + r * 3.2, 2, 2));
    return QIcon(pm);
}

} // namespace

QIcon gSelectAllIcon(bool checked) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 3.5, 13, 13));
    if (checked) {
        p.setPen(QPen(QColor(0x10, 0x70, 0x20), 2.2));
        p.drawPolyline(QPolygonF({QPointF(6, 10), QPointF(9, 13.5), QPointF(14.5, 6.5)}));
    }
    return QIcon(pm);
}

namespace {

QToolButton* pictureButton(QWidget* parent, const QString& name, const QIcon& icon,
                           const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setIconSize(QSize(20, 20));
    b->setToolTip(tip);
    b->setAutoRaise(false);
    return b;
}

// Only the start row can be edited; an entry that is not a start row is refused with its
// message and the item keeps its value.
class StartRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != LedgerPrintFrame::StartRowColumn)
            return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (!edit)
            return;
        int row = 0;
        QString message;
        if (!gParseLedgerStartRow(edit->text(), row, message)) {
            svc().prompt().show(message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Critical);
            return;
        }
        model->setData(index, QString::number(row), Qt::EditRole);
    }
};

} // namespace

LedgerPrintFrame::LedgerPrintFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(gReportCaption(QStringLiteral("ledger")), host, parent) {
    setObjectName(QStringLiteral("Frame4"));
    auto* outer = new QVBoxLayout(this);

    auto* dates = new QGridLayout();
    dates->setHorizontalSpacing(6);
    auto makeDateBox = [this](const QString& name) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        gSetSelectionColour(box);
        box->setMinimumContentsLength(10);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        // A date comes from the list, the calendar or is typed (any term, however old); Enter
        // moves on.
        gSetMoveFocusByKey(box, false);
        return box;
    };
    cboPrintDataStartDate = makeDateBox(QStringLiteral("cboPrintDataStartDate"));
    cboPrintDataEndDate = makeDateBox(QStringLiteral("cboPrintDataEndDate"));
    cmdCalenderDataStart = pictureButton(this, QStringLiteral("cmdCalenderDataStart"),
                                         calendarIcon(), QStringLiteral("カレンダーから選ぶ"));
    cmdCalenderDataEnd = pictureButton(this, QStringLiteral("cmdCalenderDataEnd"), calendarIcon(),
                                       QStringLiteral("カレンダーから選ぶ"));
    dates->addWidget(new QLabel(QStringLiteral("開始日"), this), 0, 0);
    dates->addWidget(cboPrintDataStartDate, 0, 1);
    dates->addWidget(cmdCalenderDataStart, 0, 2);
    dates->addWidget(new QLabel(QStringLiteral("～"), this), 0, 3);
    dates->addWidget(new QLabel(QStringLiteral("終了日"), this), 0, 4);
    dates->addWidget(cboPrintDataEndDate, 0, 5);
    dates->addWidget(cmdCalenderDataEnd, 0, 6);
    dates->setColumnStretch(7, 1);
    outer->addLayout(dates);

    ListPrintData = new QTreeWidget(this);
    ListPrintData->setObjectName(QStringLiteral("ListPrintData"));
    ListPrintData->setColumnCount(3);
    ListPrintData->setHeaderLabels(
        {kStartRowCaption, QStringLiteral("  番号"), QStringLiteral("仕入先名")});
    ListPrintData->setRootIsDecorated(false);
    ListPrintData->setUniformRowHeights(true);
    ListPrintData->setAllColumnsShowFocus(true);
    ListPrintData->setEditTriggers(QAbstractItemView::DoubleClicked |
                                   QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::SelectedClicked);
    ListPrintData->setItemDelegate(new StartRowDelegate(ListPrintData));
    ListPrintData->header()->setSectionsClickable(true);
    ListPrintData->header()->setStretchLastSection(true);
    ListPrintData->setColumnWidth(StartRowColumn, 100);
    ListPrintData->setColumnWidth(SupplierColumn, 60);
    ListPrintData->setMinimumHeight(180);
    ListPrintData->setToolTip(QStringLiteral("書込み行：各仕入先の最初のページで書き始める行"
                                             "（1～29）。ダブルクリックで変更できます。"));
    outer->addWidget(ListPrintData, 1);

    auto* listButtons = new QHBoxLayout();
    // The same buttons as the profit table's list: icon, word and tooltip.
    cmdPrintData_AllCheck =
        pictureButton(this, QStringLiteral("cmdPrintData_AllCheck"), gSelectAllIcon(true),
                      QStringLiteral("すべての仕入先にチェックを付けます"));
    cmdPrintData_AllClear =
        pictureButton(this, QStringLiteral("cmdPrintData_AllClear"), gSelectAllIcon(false),
                      QStringLiteral("すべての仕入先のチェックを外します"));
    cmdPrintData_AllCheck->setText(QStringLiteral("全選択"));
    cmdPrintData_AllClear->setText(QStringLiteral("全解除"));
    for (QToolButton* b : {cmdPrintData_AllCheck, cmdPrintData_AllClear})
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    listButtons->addWidget(cmdPrintData_AllCheck);
    listButtons->addWidget(cmdPrintData_AllClear);
    listButtons->addStretch(1);
    outer->addLayout(listButtons);

    Chk_KokuyoRi101 = new QCheckBox(QStringLiteral("定型書式（コクヨ リ-101）を使用する"), this);
    Chk_KokuyoRi101->setObjectName(QStringLiteral("Chk_KokuyoRi101"));
    outer->addWidget(Chk_KokuyoRi101);

    auto* buttons = new QHBoxLayout();
    cmdPrintDataSetting = new QPushButton(QStringLiteral("各 設 定"), this);
    cmdPrintDataSetting->setObjectName(QStringLiteral("cmdPrintDataSetting"));
    cmdPrintData = new QPushButton(QStringLiteral("作 成"), this);
    cmdPrintData->setObjectName(QStringLiteral("cmdPrintData"));
    for (QPushButton* b : {cmdPrintDataSetting, cmdPrintData}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    buttons->addStretch(1);
    buttons->addWidget(cmdPrintDataSetting);
    buttons->addWidget(cmdPrintData);
    outer->addLayout(buttons);

    connect(cmdCalenderDataStart, &QToolButton::clicked, this,
            [this]() { mPickDate(cboPrintDataStartDate, QStringLiteral("計算対象開始日")); });
    connect(cmdCalenderDataEnd, &QToolButton::clicked, this,
            [this]() { mPickDate(cboPrintDataEndDate, QStringLiteral("計算対象終了日")); });
    connect(cmdPrintData_AllCheck, &QToolButton::clicked, this, [this]() { mSetAllChecked(true); });
    connect(cmdPrintData_AllClear, &QToolButton::clicked, this,
            [this]() { mSetAllChecked(false); });
    connect(ListPrintData->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == StartRowColumn)
            mResetStartRows();
    });
    connect(cmdPrintDataSetting, &QPushButton::clicked, this,
            [this]() { cmdPrintDataSettingClick(); });
    connect(cmdPrintData, &QPushButton::clicked, this, [this]() { cmdPrintDataClick(); });
}

bool LedgerPrintFrame::formLoad() {
    Chk_KokuyoRi101->setVisible(false);
    Chk_KokuyoRi101->setChecked(false);
    if (!gInitCboTargetDate(cboPrintDataStartDate, cboPrintDataEndDate))
        return false;
    mSetList();
    return true;
}

void LedgerPrintFrame::mSetList() {
    ListPrintData->clear();
    QList<QTreeWidgetItem*> items;
    for (const SupplierRecord& s : host().suppliers()) {
        auto* item = new QTreeWidgetItem(
            {QStringLiteral("1"), QString::number(s.lngSupplier), s.strSupplierShortName});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                       Qt::ItemIsEditable);
        item->setCheckState(StartRowColumn, Qt::Checked);
        item->setTextAlignment(StartRowColumn, Qt::AlignCenter);
        item->setTextAlignment(SupplierColumn, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    ListPrintData->addTopLevelItems(items);
}

LedgerPrintParams LedgerPrintFrame::params() const {
    LedgerPrintParams p;
    p.startText = cboPrintDataStartDate->currentText();
    p.endText = cboPrintDataEndDate->currentText();
    for (int i = 0; i < ListPrintData->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListPrintData->topLevelItem(i);
        LedgerPrintSupplier s;
        s.supplier = item->text(SupplierColumn).toInt();
        s.shortName = item->text(NameColumn);
        s.checked = item->checkState(StartRowColumn) == Qt::Checked;
        s.startRow = item->text(StartRowColumn).toInt();
        p.suppliers << s;
    }
    p.kokuyoRi101 = Chk_KokuyoRi101->isChecked();
    p.outputFolder = host().outputFolder();
    return p;
}

void LedgerPrintFrame::cmdPrintDataClick() {
    if (host().isBusy())
        return;
    // Typed dates are read as in the other frames and shown as "yyyy/MM/dd", which the run reads.
    if (!gReadDateBox(cboPrintDataStartDate).isValid() ||
        !gReadDateBox(cboPrintDataEndDate).isValid())
        return;
    LedgerPrintParams p = params();
    if (!gGetLedgerPrintOptions(p.options)) {
        // The run cannot start without its options: the report's failure message.
        svc().prompt().show(kExcelReportFailed, gstrAppTitle, MsgStyle::OKOnly);
        gProcError(p.procName);
        return;
    }
    gPrintLedger(p, host().reportCallbacks(), m_lastResult);
    if (m_lastResult.outcome == LedgerPrintOutcome::InvalidInput) {
        if (QWidget* w = findChild<QWidget*>(m_lastResult.focus))
            w->setFocus();
    }
}

void LedgerPrintFrame::cmdPrintDataSettingClick() {
    if (!gDspForm(frmPrint_Data::instance(), 0, 1))
        gProcFatalError(QStringLiteral("frmPrint_cmdPrintDataSetting_Click"));
}

void LedgerPrintFrame::mSetAllChecked(bool checked) {
    for (int i = 0; i < ListPrintData->topLevelItemCount(); ++i)
        ListPrintData->topLevelItem(i)->setCheckState(StartRowColumn,
                                                      checked ? Qt::Checked : Qt::Unchecked);
}

void LedgerPrintFrame::mResetStartRows() {
    const int answer =
        svc().prompt().show(kStartRowCaption + QStringLiteral(" を全て１行目にしますか"),
                            gstrAppTitle, MsgStyle::OKCancel | MsgStyle::Question);
    if (answer != MsgResult::OK)
        return;
    for (int i = 0; i < ListPrintData->topLevelItemCount(); ++i)
        ListPrintData->topLevelItem(i)->setText(StartRowColumn, QStringLiteral("1"));
}

void LedgerPrintFrame::mPickDate(QComboBox* box, const QString& title) {
    QString text = box->currentText();
    if (gPickDateWithCalendar(title, text))
        box->setEditText(text);
}
