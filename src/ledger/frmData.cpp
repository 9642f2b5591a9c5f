#include "ledger/frmData.h"
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "ledger/GridOffset.h"
#include "ledger/InitCboTargetDate.h"
#include "ledger/LedgerGrid.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LedgerModel.h"
#include "ledger/Totals.h"
#include "ledger/frmCalendar.h"
#include "ledger/frmClass.h"
#include "ledger/frmDataCaption.h"
#include "ledger/frmDataCheck0.h"
#include "ledger/frmDataItem.h"
#include "ledger/frmDataMoveGrid.h"
#include "ledger/frmHistory.h"
#include "master/SupplierRecords.h"
#include "master/SupplierWidgets.h"
#include "master/frmMaster.h"
#include "store/AmountLimits.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/History.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"
#include "util/FileHelpers.h"
#include "widgets/FormHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WidgetServices.h"
#include "widgets/WindowDisplay.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>

namespace {

const QString kViewNormal = QStringLiteral("通常");
const QString kViewEntry = QStringLiteral("入力順");
const QString kFigureFormat = QStringLiteral("#,##0");

// Window layout in twips, as designed.
constexpr int kWindowWidth = 15000;
constexpr int kWindowHeight = 9600;
constexpr int kTopRow = 90;
constexpr int kSecondRow = 510;
constexpr int kRowHeight = 330;
constexpr int kSumTop = 930;
constexpr int kSumHeight = 1380;
constexpr int kHeaderTop = 2370;
constexpr int kHeaderHeight = 360;
constexpr int kGridTop = kHeaderTop + kHeaderHeight;
constexpr int kBottomMargin = 90;
// Inside the totals frame.
constexpr int kShapeTop = 240;
constexpr int kShapeHeight = 720;
constexpr int kCaptionTop = 330;
constexpr int kFigureTop = 630;
constexpr int kOperatorTop = 480;
constexpr int kTaxButtonTop = 300;
constexpr int kSecondLineTop = 1020;
constexpr int kGroupLeft = 3700;
constexpr int kGroupWidth = 1500;
constexpr int kOperatorWidth = 250;

int px(int twips) {
    return twipsToPixelsX(twips);
}
int py(int twips) {
    return twipsToPixelsY(twips);
}
// A rectangle given in twips, with edges converted one by one so that neighbours meet.
QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), py(top), px(left + width) - px(left), py(top + height) - py(top));
}

// Column width in pixels: the distance between the converted edges, so that the columns end
// exactly where the header buttons above them do.
int columnWidthPx(int column) {
    const LedgerColumnLayout& l = ledgerColumnLayout(column);
    return px(l.headerLeftTwips + l.widthTwips) - px(l.headerLeftTwips);
}

bool isListColumn(int column) {
    return column >= 0 && column < LedgerCol::Count && ledgerColumn(column).list;
}

// A header button shows its caption whole, in the window's font, on one line.
void setCaption(QPushButton* button) {
    if (!button->property("caption").isValid())
        button->setProperty("caption", button->text());
    button->setFont(button->parentWidget()->font());
    button->setText(button->property("caption").toString());
}

// The room a caption needs on a header button: its text and the button's margins.
int captionRoom(const QWidget* button, const QString& caption) {
    return button->fontMetrics().horizontalAdvance(caption) + 12;
}

// The setting that keeps a ledger's column widths: one figure in twips per grid column, comma
// separated (0: the default width).
QString columnWidthsSetting(int kind) {
    return QStringLiteral("DataColumnWidths%1").arg(kind);
}
// Columns are never made narrower than this by dragging.
constexpr int kMinColumnPx = 12;
// How near a header button's edge the mouse widens the column.
constexpr int kGripPx = 4;

bool hasDropDownButton(int column) {
    return ledgerColumnLayout(column).dropDown;
}

// The key codes the drop-down editor remembers (Enter, Up, Down).
constexpr int kKeyEnter = 13;
constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;
int keyCodeOf(const QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kKeyEnter;
    case Qt::Key_Up:
        return kKeyUp;
    case Qt::Key_Down:
        return kKeyDown;
    default:
        return e->key() & 0xffff;
    }
}

QWidget* named(QWidget* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& r,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAlignment(align);
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, const QRect& r) {
    auto* b = new QPushButton(text, parent);
    named(b, name);
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
}

// A box that shows a figure of the supplier: focus by click only, never typed into.
QLineEdit* readOnlyBox(QWidget* parent, const QString& name, const QRect& r, Qt::Alignment align) {
    auto* e = new QLineEdit(parent);
    named(e, name);
    e->setGeometry(r);
    e->setReadOnly(true);
    e->setAlignment(align);
    e->setFocusPolicy(Qt::ClickFocus);
    return e;
}
} // namespace

// ---- GuardedComboBox ---------------------------------------------------------------------------

void GuardedComboBox::showPopup() {
    if (beforePopup && !beforePopup())
        return;
    QComboBox::showPopup();
}

void GuardedComboBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // The choice changes only through the open list.
        showPopup();
        event->accept();
        return;
    default:
        QComboBox::keyPressEvent(event);
    }
}

void GuardedComboBox::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

// ---- the window --------------------------------------------------------------------------------

frmData* frmData::newInstance() {
    return new frmData(glngDataKind);
}

frmData::frmData(int kind) : m_kind(kind) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmData"));
    buildControls();
    if (!formLoad())
        gProcFatalError(QStringLiteral("frmData_Form_Load"));
    // A data file that cannot be written is shown, never changed: the cells take no input
    // (LedgerModel), and the buttons that store (derivations, check reset, lists, captions) are
    // off.
    if (gDataFileReadOnly()) {
        for (QPushButton* b : cmdCol)
            if (b)
                b->setEnabled(false);
        cmdHead->setEnabled(false);
    }
    mSetUndoEnabled();
}

void frmData::buildControls() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    mnuUndo = edit->addAction(QStringLiteral("元に戻す(&U)"));
    mnuUndo->setObjectName(QStringLiteral("mnuUndo"));
    mnuUndo->setShortcut(QKeySequence::Undo);
    mnuRedo = edit->addAction(QStringLiteral("やり直す(&R)"));
    mnuRedo->setObjectName(QStringLiteral("mnuRedo"));
    // Ctrl+Y and the platform's own keys for redo; a key given twice would make the shortcut
    // ambiguous, and then it does nothing (where the platform's redo is Ctrl+Y itself).
    QList<QKeySequence> redoKeys{QKeySequence(Qt::CTRL | Qt::Key_Y)};
    for (const QKeySequence& k : QKeySequence::keyBindings(QKeySequence::Redo))
        if (!redoKeys.contains(k))
            redoKeys << k;
    mnuRedo->setShortcuts(redoKeys);
    edit->addSeparator();
    mnuHistory = edit->addAction(QStringLiteral("変更履歴(&H)..."));
    mnuHistory->setObjectName(QStringLiteral("mnuHistory"));
    connect(mnuUndo, &QAction::triggered, this, [this] { mnuUndo_Click(false); });
    connect(mnuRedo, &QAction::triggered, this, [this] { mnuUndo_Click(true); });
    connect(mnuHistory, &QAction::triggered, this, [this] { cmdHistory_Click(); });
    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmData"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;

    m_central = new QWidget(this);
    setCentralWidget(m_central);
    QWidget* c = m_central;

    // ---- the supplier row
    label(c, QStringLiteral("仕入先"), twipsRect(90, kTopRow, 650, kRowHeight));
    cboSupplierName = new GuardedComboBox(c);
    named(cboSupplierName, QStringLiteral("cboSupplierName"));
    cboSupplierName->setGeometry(twipsRect(750, kTopRow, 3000, kRowHeight));
    cmdDspSupplier =
        button(c, QStringLiteral("cmdDspSupplier"), QStringLiteral("仕入先の追加・修正"),
               twipsRect(3850, kTopRow - 15, 2000, kRowHeight + 30));
    label(c, QStringLiteral("並び順"), twipsRect(6050, kTopRow, 700, kRowHeight),
          Qt::AlignRight | Qt::AlignVCenter);
    cboSortSetting = new QComboBox(c);
    named(cboSortSetting, QStringLiteral("cboSortSetting"));
    cboSortSetting->setGeometry(twipsRect(6800, kTopRow, 1100, kRowHeight));
    cmdCulCExe = button(c, QStringLiteral("cmdCulCExe"), QStringLiteral("電卓"),
                        twipsRect(8100, kTopRow - 15, 800, kRowHeight + 30));
    cmdHead = button(c, QStringLiteral("cmdHead"), QStringLiteral("項目名の変更"),
                     twipsRect(9100, kTopRow - 15, 1500, kRowHeight + 30));
    cmdMoveGrid = button(c, QStringLiteral("cmdMoveGrid"), QStringLiteral("表の位置調整"),
                         twipsRect(10700, kTopRow - 15, 1500, kRowHeight + 30));
    cmdUndo = button(c, QStringLiteral("cmdUndo"), QStringLiteral("元に戻す"),
                     twipsRect(12400, kTopRow - 15, 1150, kRowHeight + 30));
    cmdUndo->setToolTip(QStringLiteral("最後の変更を元に戻します（Ctrl+Z）。やり直しは Ctrl+Y"));
    cmdHistory = button(c, QStringLiteral("cmdHistory"), QStringLiteral("変更履歴"),
                        twipsRect(13650, kTopRow - 15, 1150, kRowHeight + 30));

    // ---- the supplier's figures
    lblRegularRatio = label(c, QString(), twipsRect(90, kSecondRow, 1350, kRowHeight));
    lblRegularRatio->setObjectName(QStringLiteral("lblRegularRatio"));
    txtRegularRatio = readOnlyBox(c, QStringLiteral("txtRegularRatio"),
                                  twipsRect(1450, kSecondRow, 700, kRowHeight), Qt::AlignRight);
    txtRegularRatio->setToolTip(QStringLiteral("１００％表記。小数点１桁までです"));
    label(c, QStringLiteral("開始時残高"), twipsRect(2350, kSecondRow, 1050, kRowHeight),
          Qt::AlignRight | Qt::AlignVCenter);
    txtStartCarry = readOnlyBox(c, QStringLiteral("txtStartCarry"),
                                twipsRect(3450, kSecondRow, 1600, kRowHeight), Qt::AlignRight);
    label(c, QStringLiteral("備考"), twipsRect(5250, kSecondRow, 550, kRowHeight),
          Qt::AlignRight | Qt::AlignVCenter);
    txtNotes = readOnlyBox(c, QStringLiteral("txtNotes"),
                           twipsRect(5850, kSecondRow, 6100, kRowHeight), Qt::AlignLeft);
    txtMasterID = readOnlyBox(c, QStringLiteral("txtMasterID"), twipsRect(0, 0, 600, kRowHeight),
                              Qt::AlignRight);
    txtMasterID->setVisible(false);
    // Ctrl+F: the next line whose item or note holds the text, or that has the amount.
    txtFind = new QLineEdit(c);
    named(txtFind, QStringLiteral("txtFind"));
    txtFind->setGeometry(twipsRect(12050, kSecondRow, 2500, kRowHeight));
    txtFind->setPlaceholderText(QStringLiteral("検索（Ctrl+F）"));
    txtFind->setToolTip(
        QStringLiteral("品名・備考の文字、または金額で行を探します。Enterで次の行へ。"));
    txtFind->setClearButtonEnabled(true);
    connect(txtFind, &QLineEdit::returnPressed, this, [this] { mFindNext(); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFind->setFocus(Qt::ShortcutFocusReason);
        txtFind->selectAll();
    });

    buildTotalsFrame();
    buildHeaderButtons();
    buildGrid();

    // ---- events
    cboSupplierName->beforePopup = [this] { return cboSupplierName_DropDown(); };
    connect(cboSupplierName, &QComboBox::activated, this, [this](int) { cboSupplierName_Click(); });
    gSetMoveFocusByKey(cboSupplierName, true);
    gSetMoveFocusByKey(cboSortSetting, true);
    connect(cboSortSetting, &QComboBox::activated, this, [this](int) { cboSortSetting_Click(); });
    connect(cboEditGrid, &QComboBox::activated, this, [this](int) { cboEditGrid_Click(); });
    connect(cmdHead, &QPushButton::clicked, this, [this] { cmdHead_Click(); });
    connect(cmdMoveGrid, &QPushButton::clicked, this, [this] { cmdMoveGrid_Click(); });
    connect(cmdDspSupplier, &QPushButton::clicked, this, [this] { cmdDspSupplier_Click(); });
    connect(cmdCulCExe, &QPushButton::clicked, this, [this] { cmdCulCExe_Click(); });
    connect(cmdCalcSum, &QPushButton::clicked, this, [this] { cmdCalcSum_Click(); });
    connect(cmdEstimatedTax, &QPushButton::clicked, this, [this] { cmdEstimatedTax_Click(); });
    connect(cmdUndo, &QPushButton::clicked, this, [this] { mnuUndo_Click(false); });
    connect(cmdHistory, &QPushButton::clicked, this, [this] { cmdHistory_Click(); });
    connect(m_model, &LedgerModel::changeRecorded, this, &frmData::mRecordChange);
    connect(cmdCulcStartCalendar, &QPushButton::clicked, this,
            [this] { cmdCulcCalendar_Click(true); });
    connect(cmdCulcEndCalendar, &QPushButton::clicked, this,
            [this] { cmdCulcCalendar_Click(false); });

    setTabOrder(cboSupplierName, cboSortSetting);
    setTabOrder(cboSortSetting, cboCalcStartDate);
    setTabOrder(cboCalcStartDate, cboCalcEndDate);
    setTabOrder(cboCalcEndDate, cmdCalcSum);
    setTabOrder(cmdCalcSum, DBGrid_Main);

    const QSize size(px(kWindowWidth), py(kWindowHeight));
    m_central->setMinimumSize(size.width(), py(kGridTop + 2000));
    resize(size.width(), size.height() + menuBar()->sizeHint().height());
}

void frmData::buildTotalsFrame() {
    // The dates of the period, the button that sums it, and the figures: carry + cost + tax -
    // payment = balance, each in its box, with the regular-price total and the average ratio
    // beneath.
    frmCalcSum = new QGroupBox(m_central);
    named(frmCalcSum, QStringLiteral("frmCalcSum"));
    frmCalcSum->setGeometry(twipsRect(90, kSumTop, ledgerLastColumnRightTwips(), kSumHeight));
    QWidget* f = frmCalcSum;
    auto dateBox = [&](const QString& name, int top) {
        auto* b = new QComboBox(f);
        named(b, name);
        b->setEditable(true);
        b->setGeometry(twipsRect(150, top, 1450, kRowHeight));
        gSetSelectionColour(b);
        gSetMoveFocusByKey(b, false);
        return b;
    };
    cboCalcStartDate = dateBox(QStringLiteral("cboCalcStartDate"), 300);
    cboCalcEndDate = dateBox(QStringLiteral("cboCalcEndDate"), 720);
    cmdCulcStartCalendar = button(f, QStringLiteral("cmdCulcStartCalendar"), QStringLiteral("…"),
                                  twipsRect(1620, 300, 400, kRowHeight));
    cmdCulcStartCalendar->setToolTip(QStringLiteral("カレンダー"));
    cmdCulcEndCalendar = button(f, QStringLiteral("cmdCulcEndCalendar"), QStringLiteral("…"),
                                twipsRect(1620, 720, 400, kRowHeight));
    cmdCulcEndCalendar->setToolTip(QStringLiteral("カレンダー"));
    label(f, QStringLiteral("から"), twipsRect(2040, 300, 450, kRowHeight));
    label(f, QStringLiteral("まで"), twipsRect(2040, 720, 450, kRowHeight));
    cmdCalcSum = button(f, QStringLiteral("cmdCalcSum"), QStringLiteral("計算実行"),
                        twipsRect(2500, 300, 1050, 750));

    struct Group {
        QLabel** figure;
        QLabel** caption;
        const char* figureName;
        const char* captionName;
        const char16_t* captionText;
    };
    const Group groups[] = {
        {&lblCarry, &lblCarry2, "lblCarry", "lblCarry2", u"繰越残高"},
        {&lblTotalCost, &lblTotalCost2, "lblTotalCost", "lblTotalCost2", u"仕入金額"},
        {&lblTotalTax, &lblTotalTax2, "lblTotalTax", "lblTotalTax2", u"消費税"},
        {&lblTotalPayment, &lblTotalPayment2, "lblTotalPayment", "lblTotalPayment2", u"支払金額"},
        {&lblBalance, &lblBalance2, "lblBalance", "lblBalance2", u"残高"},
    };
    const char16_t* operators[] = {u"＋", u"＋", u"－", u"＝"};
    const char* operatorNames[] = {"LabelCalcSumPulus", "LabelCalcSumPulus2", "LabelCalcSumMuinus",
                                   "LabelCalcSumEqual"};
    int left = kGroupLeft;
    for (int i = 0; i < 5; ++i) {
        auto* shape = new QFrame(f);
        shape->setFrameShape(QFrame::Box);
        shape->setGeometry(twipsRect(left, kShapeTop, kGroupWidth, kShapeHeight));
        m_sumShapes << shape;
        QLabel* cap =
            label(f, QString::fromUtf16(groups[i].captionText),
                  twipsRect(left + 60, kCaptionTop, kGroupWidth - 120, 270), Qt::AlignCenter);
        cap->setObjectName(QLatin1String(groups[i].captionName));
        *groups[i].caption = cap;
        QLabel* fig = label(f, QString(), twipsRect(left + 60, kFigureTop, kGroupWidth - 120, 270),
                            Qt::AlignRight | Qt::AlignVCenter);
        fig->setObjectName(QLatin1String(groups[i].figureName));
        *groups[i].figure = fig;
        left += kGroupWidth;
        if (i < 4) {
            QLabel* op = label(f, QString::fromUtf16(operators[i]),
                               twipsRect(left, kOperatorTop, kOperatorWidth, 270), Qt::AlignCenter);
            op->setObjectName(QLatin1String(operatorNames[i]));
            left += kOperatorWidth;
        }
    }
    // The tax estimate button stands in the caption place of the tax figure.
    const QRect taxCaption = lblTotalTax2->geometry();
    cmdEstimatedTax = button(f, QStringLiteral("cmdEstimatedTax"), QStringLiteral("消費税"),
                             QRect(taxCaption.left(), py(kTaxButtonTop), taxCaption.width(),
                                   py(kTaxButtonTop + 300) - py(kTaxButtonTop)));
    cmdEstimatedTax->setToolTip(QStringLiteral("消費税の予想額を表示します"));
    lblTotalTax2->setVisible(false);

    // The regular-price total stands under the cost figure, the average ratio beside it.
    const QRect cost = lblTotalCost->geometry();
    lblTotalRegularPrice2 = label(f, QStringLiteral("定価"),
                                  QRect(px(kGroupLeft), py(kSecondLineTop),
                                        cost.left() - px(kGroupLeft) - px(60), cost.height()),
                                  Qt::AlignRight | Qt::AlignVCenter);
    lblTotalRegularPrice2->setObjectName(QStringLiteral("lblTotalRegularPrice2"));
    lblTotalRegularPrice =
        label(f, QString(), QRect(cost.left(), py(kSecondLineTop), cost.width(), cost.height()),
              Qt::AlignRight | Qt::AlignVCenter);
    lblTotalRegularPrice->setObjectName(QStringLiteral("lblTotalRegularPrice"));
    const int ratioLeft = lblTotalTax->geometry().left();
    label(f, QStringLiteral("平均"), QRect(ratioLeft, py(kSecondLineTop), px(500), cost.height()),
          Qt::AlignLeft | Qt::AlignVCenter);
    lblTotalRatio2 = label(f, QStringLiteral("掛率"),
                           QRect(ratioLeft + px(500), py(kSecondLineTop), px(700), cost.height()),
                           Qt::AlignLeft | Qt::AlignVCenter);
    lblTotalRatio2->setObjectName(QStringLiteral("lblTotalRatio2"));
    lblTotalRatio =
        label(f, QString(), QRect(ratioLeft + px(1200), py(kSecondLineTop), px(900), cost.height()),
              Qt::AlignRight | Qt::AlignVCenter);
    lblTotalRatio->setObjectName(QStringLiteral("lblTotalRatio"));
    for (QLabel* fig : {lblCarry, lblTotalCost, lblTotalTax, lblTotalPayment, lblBalance,
                        lblTotalRegularPrice, lblTotalRatio}) {
        QFont bold = fig->font();
        bold.setBold(true);
        fig->setFont(bold);
    }
}

void frmData::buildHeaderButtons() {
    // The buttons stand over their columns in a strip as wide as the grid's cells, so that a
    // button scrolled out of the grid is out of sight as well.
    m_headerStrip = new QWidget(m_central);
    m_headerStrip->setObjectName(QStringLiteral("headerStrip"));
    for (int i = 0; i < LedgerCol::Count; ++i) {
        if (!ledgerColumnShown(i))
            continue;
        const LedgerColumnLayout& l = ledgerColumnLayout(i);
        auto* b = button(m_headerStrip, QStringLiteral("cmdCol_%1").arg(i), l.designCaption,
                         twipsRect(l.headerLeftTwips, 0, l.widthTwips, kHeaderHeight));
        // Header buttons leave the keyboard in the grid.
        b->setFocusPolicy(Qt::NoFocus);
        // Their edges widen the columns.
        b->setProperty("column", i);
        b->setMouseTracking(true);
        b->installEventFilter(this);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdCol_Click(i); });
        cmdCol[static_cast<std::size_t>(i)] = b;
    }
    cmdCol[LedgerCol::Check]->setToolTip(QStringLiteral("チェックを０にする"));
    for (int i = LedgerCol::Quantity; i <= LedgerCol::Cost; ++i)
        cmdCol[static_cast<std::size_t>(i)]->setToolTip(
            QStringLiteral("空欄のとき、他の欄から計算します（F12）"));
}

void frmData::buildGrid() {
    m_model = new LedgerModel(m_kind, gdbData(), this);
    DBGrid_Main = new LedgerGrid(m_central);
    named(DBGrid_Main, QStringLiteral("DBGrid_Main"));
    DBGrid_Main->setModel(m_model);
    DBGrid_Main->horizontalHeader()->setVisible(false);
    DBGrid_Main->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid_Main->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid_Main->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid_Main->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    DBGrid_Main->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    DBGrid_Main->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBGrid_Main->setWordWrap(true);
    DBGrid_Main->setVisible(false);
    DBGrid_Main->hasDropDown = hasDropDownButton;
    DBGrid_Main->commitCell = [this](const QModelIndex& index, const QString& text) {
        return DBGrid_Main_CommitCell(index.row(), index.column(), text);
    };
    DBGrid_Main->keyDown = [this](QKeyEvent* e) { return DBGrid_Main_KeyDown(e); };
    DBGrid_Main->buttonClick = [this](const QModelIndex& index) {
        DBGrid_Main_ButtonClick(index.column());
    };
    DBGrid_Main->deleteRows = [this](const QList<int>& rows) { DBGrid_Main_DeleteRows(rows); };
    // The header buttons follow the grid: moved (表の位置調整) or scrolled sideways.
    DBGrid_Main->installEventFilter(this);
    connect(DBGrid_Main->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { layoutHeader(); });
    // Leaving a line tells what its line check finds, once the user is on the other line.
    connect(DBGrid_Main->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (m_movingCurrent || !previous.isValid() || current.row() == previous.row() ||
                    previous.row() >= m_model->lineCount())
                    return;
                const qint64 id = m_model->line(previous.row()).lngID;
                if (id != 0)
                    QMetaObject::invokeMethod(
                        this, [this, id] { checkLeftLine(id); }, Qt::QueuedConnection);
            });

    // A change another program made to the shown lines is shown once the cell being edited is
    // left; when it changed which lines there are, the current cell goes back to its place.
    m_model->setRefreshHold([this] { return m_blnEditPending || DBGrid_Main->isEditing(); });
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_resetRow = DBGrid_Main->currentIndex().row();
        m_resetColumn = DBGrid_Main->currentIndex().column();
    });
    connect(m_model, &LedgerModel::refreshed, this, [this] {
        if (DBGrid_Main->currentIndex().isValid() || m_resetRow < 0 || m_model->rowCount() == 0)
            return;
        const QModelIndex target =
            m_model->index(qMin(m_resetRow, m_model->rowCount() - 1), qMax(0, m_resetColumn));
        const QScopedValueRollback moving(m_movingCurrent, true);
        DBGrid_Main->setCurrentIndex(target);
    });
    connect(&gdbData().changeNotices(), &ChangeNotices::rowsChanged, this, &frmData::otherChanged);

    cboEditGrid = new GuardedComboBox(m_central);
    named(cboEditGrid, QStringLiteral("cboEditGrid"));
    cboEditGrid->setVisible(false);
    cboEditGrid->setMaxVisibleItems(16);
    static_cast<GuardedComboBox*>(cboEditGrid)->beforePopup = [this] {
        m_intLastKeyCode = 0;
        return true;
    };
    // The list exists before the filters go on (the combo makes it on first use).
    m_editList = cboEditGrid->view();
    m_editList->installEventFilter(this);
    m_editList->viewport()->installEventFilter(this);
    cboEditGrid->installEventFilter(this);

    picNowProcessing = new QLabel(QStringLiteral("処理中です。しばらくお待ちください…"), m_central);
    named(picNowProcessing, QStringLiteral("picNowProcessing"));
    picNowProcessing->setAlignment(Qt::AlignCenter);
    picNowProcessing->setAutoFillBackground(true);
    picNowProcessing->setStyleSheet(QStringLiteral(
        "QLabel { background-color: #F0F0F0; color: #202060; border: 1px solid #808080;"
        " font-size: 16pt; }"));
    picNowProcessing->setVisible(false);
}

bool frmData::formLoad() {
    QString word;
    if (!gGetDataCaption(m_kind, word)) {
        gProcError(QStringLiteral("frmData_Form_Load"));
        return false;
    }
    setWindowTitle(word + QStringLiteral("帳"));
    gSetFormCaption(this, 0);

    if (!mSetCmdColCaption() || !mSetItem_cboSortSetting())
        return false;
    cboSortSetting->setCurrentIndex(cboSortSetting->findText(kViewNormal));
    gSetSelectionColour(cboSupplierName);
    gSetSelectionColour(cboEditGrid);
    gSetSelectionColour(cboSortSetting);

    if (!mChangeView(0, kViewNormal))
        return false;
    if (!gInitCboTargetDate(cboCalcStartDate, cboCalcEndDate)) {
        gProcError(QStringLiteral("frmData_Form_Load"));
        return false;
    }
    lblRegularRatio->setText(word + QStringLiteral("規定掛率"));
    frmCalcSum->setTitle(word + QStringLiteral(" 期間計算 Σ"));
    mVisibleCulc(false);

    m_gridOffset = gGetDataGridOffset();
    loadColumnWidths();
    if (!mInitDBGrid())
        return false;
    // The window opens wide enough for the columns (the check caption, widths the user chose),
    // within the screen.
    int needed =
        px(gDataGridLeft(m_gridOffset)) + 2 * DBGrid_Main->frameWidth() +
        DBGrid_Main->verticalHeader()->width() +
        DBGrid_Main->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, DBGrid_Main) +
        px(kBottomMargin);
    for (int i = 0; i < LedgerCol::Count; ++i)
        if (ledgerColumnShown(i))
            needed += columnWidth(i);
    if (const QScreen* s = screen())
        needed = qMin(needed, s->availableGeometry().width() - (frameGeometry().width() - width()));
    if (needed > width())
        resize(needed, height());
    return true;
}

// ---- layout ------------------------------------------------------------------------------------

bool frmData::mInitDBGrid() {
    QHeaderView* columns = DBGrid_Main->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Fixed);
    // Narrow columns (the check mark) keep their width.
    columns->setMinimumSectionSize(1);
    DBGrid_Main->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid_Main->verticalHeader()->setDefaultSectionSize(py(kLedgerRowHeightTwips));
    DBGrid_Main->verticalHeader()->setMinimumSectionSize(1);
    for (int i = 0; i < LedgerCol::Count; ++i) {
        DBGrid_Main->setColumnHidden(i, !ledgerColumnShown(i));
        if (ledgerColumnShown(i))
            setCaption(cmdCol[static_cast<std::size_t>(i)]);
    }
    placeGrid();
    return true;
}

void frmData::placeGrid() {
    const int frame = DBGrid_Main->frameWidth();
    const int left = px(gDataGridLeft(m_gridOffset));
    // The record selectors fill the space up to the first column, so that with no offset the
    // first column starts where the designed layout has it.
    const int selector = qMax(8, px(kLedgerFirstColumnLeftTwips) - px(kDataGridBaseLeft) - frame);
    DBGrid_Main->verticalHeader()->setFixedWidth(selector);
    // The grid takes the window's width and height.
    const int top = py(kGridTop);
    const int width = qMax(px(3000), m_central->width() - left - px(kBottomMargin));
    const int height = qMax(py(900), m_central->height() - top - py(kBottomMargin));
    DBGrid_Main->setGeometry(left, top, width, height);
    layoutColumns();
    if (!picNowProcessing->isHidden())
        picNowProcessing->setGeometry(DBGrid_Main->geometry());
}

int frmData::columnWidth(int column) const {
    const int user = m_userWidths[static_cast<std::size_t>(column)];
    if (user > 0)
        return user;
    const QPushButton* b = cmdCol[static_cast<std::size_t>(column)];
    const int caption = b ? captionRoom(b, b->property("caption").toString()) : 0;
    return qMax(columnWidthPx(column), caption);
}

void frmData::layoutColumns() {
    // The cells' width: the grid without its frame, record selectors and vertical scroll bar.
    const int room =
        DBGrid_Main->width() - 2 * DBGrid_Main->frameWidth() -
        DBGrid_Main->verticalHeader()->width() -
        DBGrid_Main->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, DBGrid_Main);
    int last = -1;
    int used = 0;
    for (int i = 0; i < LedgerCol::Count; ++i) {
        if (!ledgerColumnShown(i))
            continue;
        if (last >= 0) {
            DBGrid_Main->setColumnWidth(last, columnWidth(last));
            used += columnWidth(last);
        }
        last = i;
    }
    if (last >= 0)
        DBGrid_Main->setColumnWidth(last, qMax(columnWidth(last), room - used));
    layoutHeader();
}

void frmData::layoutHeader() {
    if (!m_headerStrip)
        return;
    const QRect grid = DBGrid_Main->geometry();
    const int cellsLeft =
        grid.x() + DBGrid_Main->frameWidth() + DBGrid_Main->verticalHeader()->width();
    const int cellsWidth =
        grid.width() - 2 * DBGrid_Main->frameWidth() - DBGrid_Main->verticalHeader()->width() -
        DBGrid_Main->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, DBGrid_Main);
    const int height = py(kHeaderTop + kHeaderHeight) - py(kHeaderTop);
    m_headerStrip->setGeometry(cellsLeft, py(kHeaderTop), qMax(0, cellsWidth), height);
    const int scrolled = DBGrid_Main->horizontalScrollBar()->value();
    for (int i = 0; i < LedgerCol::Count; ++i) {
        QPushButton* b = cmdCol[static_cast<std::size_t>(i)];
        if (b)
            b->setGeometry(DBGrid_Main->horizontalHeader()->sectionPosition(i) - scrolled, 0,
                           DBGrid_Main->columnWidth(i), height);
    }
}

void frmData::loadColumnWidths() {
    m_userWidths.fill(0);
    const QStringList figures =
        gRegRead(columnWidthsSetting(m_kind), 1, QString()).toString().split(u',');
    for (int i = 0; i < LedgerCol::Count && i < figures.size(); ++i) {
        bool ok = false;
        const int twips = figures.at(i).trimmed().toInt(&ok);
        if (ok && twips > 0 && ledgerColumnShown(i))
            m_userWidths[static_cast<std::size_t>(i)] = qMax(kMinColumnPx, px(twips));
    }
}

void frmData::saveColumnWidths() {
    // In twips, so that the widths hold at another screen resolution.
    QStringList figures;
    for (int i = 0; i < LedgerCol::Count; ++i) {
        const int w = m_userWidths[static_cast<std::size_t>(i)];
        int twips = w > 0 ? qRound(w * 1440.0 / DBGrid_Main->logicalDpiX()) : 0;
        while (w > 0 && px(twips) < w)
            ++twips;
        while (w > 0 && twips > 0 && px(twips) > w)
            --twips;
        figures << QString::number(twips);
    }
    // The writer reports its own failure; the widths hold for this window all the same.
    gRegWrite(columnWidthsSetting(m_kind), 1, figures.join(u','));
}

bool frmData::headerButtonEvent(int column, QEvent* event) {
    auto* b = cmdCol[static_cast<std::size_t>(column)];
    // The column whose right edge is under the mouse: this one at the button's right edge, the
    // one before at its left edge.
    const auto edgeColumn = [this, b, column](int x) {
        if (x >= b->width() - kGripPx)
            return column;
        if (x < kGripPx)
            for (int i = column - 1; i >= 0; --i)
                if (ledgerColumnShown(i))
                    return i;
        return -1;
    };
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (m_dragColumn >= 0) {
            const int x = qRound(me->globalPosition().x());
            m_userWidths[static_cast<std::size_t>(m_dragColumn)] =
                qMax(kMinColumnPx, m_dragStartWidth + x - m_dragStartX);
            layoutColumns();
            return true;
        }
        if (edgeColumn(qRound(me->position().x())) >= 0)
            b->setCursor(Qt::SplitHCursor);
        else
            b->unsetCursor();
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        const int edge = edgeColumn(qRound(me->position().x()));
        if (me->button() != Qt::LeftButton || edge < 0)
            return false;
        m_dragColumn = edge;
        m_dragStartX = qRound(me->globalPosition().x());
        m_dragStartWidth = DBGrid_Main->columnWidth(edge);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_dragColumn < 0)
            return false;
        m_dragColumn = -1;
        saveColumnWidths();
        return true;
    case QEvent::Leave:
        if (m_dragColumn < 0)
            b->unsetCursor();
        return false;
    default:
        return false;
    }
}

void frmData::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placeGrid();
}

void frmData::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (!mInitDBGrid())
            gProcFatalError(QStringLiteral("frmData_Form_Activate"));
    }
}

bool frmData::mSetCmdColCaption() {
    for (int number : gColumnCaptionNumbers()) {
        QString def;
        QString caption;
        if (!gGetColumnCaption(gdbData(), number, m_kind, def, caption)) {
            gProcError(QStringLiteral("frmData_mSetCmdColCaption"),
                       QStringLiteral("lngCaptionNo=") + QString::number(number));
            return false;
        }
        const int column = ledgerColumnOfCaption(number);
        if (column > 0) {
            QPushButton* b = cmdCol[static_cast<std::size_t>(column)];
            b->setProperty("caption", caption);
            setCaption(b);
        }
        switch (number) {
        case CaptionNo::RegularPrice:
            lblTotalRegularPrice2->setText(caption);
            break;
        case CaptionNo::Ratio:
            lblTotalRatio2->setText(caption);
            break;
        case CaptionNo::Cost:
            lblTotalCost2->setText(caption);
            break;
        case CaptionNo::Payment:
            lblTotalPayment2->setText(caption);
            break;
        default:
            break;
        }
    }
    return true;
}

bool frmData::mSetItem_cboSortSetting() {
    cboSortSetting->clear();
    cboSortSetting->addItems({kViewEntry, kViewNormal});
    return true;
}

bool frmData::mSetProcessingScreen(bool show) {
    if (show) {
        picNowProcessing->setGeometry(DBGrid_Main->geometry());
        picNowProcessing->setVisible(true);
        picNowProcessing->raise();
        setEnabled(false);
        svc().process().processEvents();
        gSleep(500);
        svc().process().processEvents();
    } else {
        picNowProcessing->setVisible(false);
        setEnabled(true);
    }
    return true;
}

bool frmData::mVisibleCulc(bool show) {
    for (QLabel* l : {lblCarry, lblTotalCost, lblTotalTax, lblTotalPayment, lblBalance,
                      lblTotalRegularPrice, lblTotalRatio})
        l->setVisible(show);
    return true;
}

// ---- supplier and view -------------------------------------------------------------------------

bool frmData::mChangeView(qint32 masterID, const QString& viewName) {
    LedgerView view;
    if (!ledgerViewFromName(viewName, view)) {
        gProcError(QStringLiteral("frmData_mChangeView"), QStringLiteral("view=") + viewName);
        return false;
    }
    int column = DBGrid_Main->currentIndex().column();
    if (!ledgerColumnShown(column))
        column = LedgerCol::Date;
    cboEditGrid->setVisible(false);
    DBGrid_Main->cancelPendingEdit();
    if (!m_model->load(masterID, view)) {
        gProcError(QStringLiteral("frmData_mChangeView"),
                   QStringLiteral("lngMasterID=") + QString::number(masterID));
        return false;
    }
    // The newest line of the order is current; with no lines, the new line.
    if (m_model->rowCount() > 0) {
        const int row = m_model->lineCount() > 0 ? m_model->lineCount() - 1 : 0;
        const QModelIndex current = m_model->index(row, column);
        const QScopedValueRollback moving(m_movingCurrent, true);
        DBGrid_Main->setCurrentIndex(current);
        DBGrid_Main->scrollTo(current);
    }
    mSetUndoEnabled();
    return true;
}

bool frmData::mRefreshView() {
    if (txtMasterID->text().isEmpty())
        return true;
    return mChangeView(m_model->masterID(), cboSortSetting->currentText());
}

bool frmData::mChangeSupplier() {
    const qint32 supplier = gGetSupplierFromItem(cboSupplierName->currentText());
    qint32 masterID = 0;
    if (supplier == 0 || !gGetMasterIDBySupplier(gdbData(), supplier, masterID)) {
        gProcError(QStringLiteral("frmData_mChangeSupplier"),
                   QStringLiteral("supplier=") + cboSupplierName->currentText());
        return false;
    }
    txtMasterID->setText(QString::number(masterID));
    return mChangeView(masterID, cboSortSetting->currentText()) && mDspMasterInfo(masterID);
}

bool frmData::mDspMasterInfo(qint32 masterID) {
    SupplierRecord record;
    Currency carry;
    if (!gGetMasterData(gdbData(), masterID, record) ||
        !gGetStartCarry(gdbData(), masterID, m_kind, carry)) {
        gProcError(QStringLiteral("frmData_mDspMasterInfo"),
                   QStringLiteral("lngMasterID=") + QString::number(masterID));
        return false;
    }
    txtNotes->setText(record.strNotes);
    txtNotes->setCursorPosition(0);
    const Currency ratio = m_kind == 1 ? record.curRegularSupplyRatio : record.curRegularSaleRatio;
    txtRegularRatio->setText(ratio.isZero() ? QString()
                                            : formatNumber(ratio, QStringLiteral("00.0")));
    txtStartCarry->setText(formatNumber(carry, QStringLiteral("yen")));
    return true;
}

bool frmData::cboSupplierName_DropDown() {
    gSetComboDropDownRows(cboSupplierName, 24);
    const QString remembered = cboSupplierName->currentText();
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cboSupplierName_DropDown"));
        return false;
    }
    bool errorFound = m_blnEditPending;
    if (!errorFound && !DBGrid_Main->isHidden() && !mChkInputDate(errorFound)) {
        gProcFatalError(QStringLiteral("frmData_cboSupplierName_DropDown"));
        return false;
    }
    if (errorFound) {
        // The user cannot leave a supplier whose changed lines fail the check.
        cboSupplierName->clear();
        if (!remembered.isEmpty())
            cboSupplierName->addItem(remembered);
        DBGrid_Main->setFocus();
        return false;
    }
    if (!gSetSupplierShortNameToComboBoxItem(cboSupplierName, true)) {
        gProcFatalError(QStringLiteral("frmData_cboSupplierName_DropDown"));
        return false;
    }
    const int index = cboSupplierName->findText(remembered);
    cboSupplierName->setCurrentIndex(index);
    cboSupplierName->setPlaceholderText(index < 0 ? remembered : QString());
    gSetComboDropDownRows(cboSupplierName, 24);
    return true;
}

void frmData::cboSupplierName_Click() {
    mSetProcessingScreen(true);
    mVisibleCulc(false);
    if (!mChangeSupplier()) {
        mSetProcessingScreen(false);
        gProcFatalError(QStringLiteral("frmData_cboSupplierName_Click"));
        return;
    }
    mSetProcessingScreen(false);
    svc().process().processEvents();
    DBGrid_Main->setVisible(true);
    placeGrid();
    DBGrid_Main->setFocus();
}

void frmData::cboSortSetting_Click() {
    if (!txtMasterID->text().isEmpty()) {
        if (!mDataDicide()) {
            gProcFatalError(QStringLiteral("frmData_cboSortSetting_Click"));
            return;
        }
        if (m_blnEditPending) {
            // The order stays as shown until the cell holds an acceptable value.
            cboSortSetting->setCurrentIndex(cboSortSetting->findText(
                m_model->view() == LedgerView::Normal ? kViewNormal : kViewEntry));
            return;
        }
        if (!mChangeView(txtMasterID->text().toInt(), cboSortSetting->currentText())) {
            gProcFatalError(QStringLiteral("frmData_cboSortSetting_Click"));
            return;
        }
    }
    if (!DBGrid_Main->isHidden())
        DBGrid_Main->setFocus();
}

// ---- editing -----------------------------------------------------------------------------------

bool frmData::mDataDicide() {
    m_blnEditPending = false;
    if (DBGrid_Main->isHidden())
        return true;
    if (!DBGrid_Main->commitPendingEdit())
        m_blnEditPending = true;
    return true;
}

int frmData::currentRow() const {
    const QModelIndex cur = DBGrid_Main->currentIndex();
    return cur.isValid() ? cur.row() : -1;
}

std::optional<Currency> frmData::defaultRatio() const {
    const std::optional<Currency> r = Currency::parse(txtRegularRatio->text());
    if (!r || r->isZero())
        return std::nullopt;
    return r;
}

void frmData::showRule(const RuleResult& r) {
    if (r.msgCode > 0)
        gDispMsg(r.msgCode, r.addText);
    else if (!r.text.isEmpty())
        svc().prompt().show(r.text, QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
}

void frmData::tellLostServerOrFail(const QString& proc) {
    if (gdbData().connectionLost() && !m_model->lastRefusal().ok)
        showRule(m_model->lastRefusal());
    else
        gProcFatalError(proc);
}

bool frmData::mSetItem_cboEditGrid(int column) {
    QStringList entries;
    if (!gGetLedgerListEntries(gdbData(), column, m_kind, entries)) {
        gProcError(QStringLiteral("frmData_mSetItem_cboEditGrid"),
                   QStringLiteral("column=") + QString::number(column));
        return false;
    }
    cboEditGrid->clear();
    if (entries.isEmpty()) {
        // An empty list: only an empty cell passes its check.
        gDispMsg(34, QStringLiteral("アイテムが"));
        return true;
    }
    cboEditGrid->addItems(entries);
    return true;
}

bool frmData::DBGrid_Main_CommitCell(int row, int column, const QString& text) {
    // The list is read afresh (message 34 when it is empty); the check reads it as well.
    if (isListColumn(column) && !text.isEmpty() && !mSetItem_cboEditGrid(column)) {
        gProcFatalError(QStringLiteral("frmData_DBGrid_Main_BeforeColUpdate"));
        return true;
    }
    RuleResult refusal;
    if (m_model->setCellText(row, column, text, refusal))
        return true;
    if (!refusal.ok) {
        showRule(refusal);
        return false;
    }
    gProcFatalError(QStringLiteral("frmData_DBGrid_Main_AfterColUpdate"));
    return true;
}

void frmData::DBGrid_Main_DeleteRows(const QList<int>& rows) {
    QList<int> stored;
    for (int row : rows) {
        if (row >= 0 && row < m_model->lineCount())
            stored << row;
    }
    if (stored.isEmpty() || gDataFileReadOnly())
        return;
    if (gDispMsg(24) != MsgResult::Yes)
        return;
    if (!m_model->removeLines(stored)) {
        tellLostServerOrFail(QStringLiteral("frmData_DBGrid_Main_BeforeDelete"));
        return;
    }
    DBGrid_Main->setFocus();
}

bool frmData::DBGrid_Main_KeyDown(QKeyEvent* e) {
    const QModelIndex cur = DBGrid_Main->currentIndex();
    if (!cur.isValid())
        return false;
    const int column = cur.column();
    const bool alt = e->modifiers() & Qt::AltModifier;
    const int key = e->key();
    if (column == LedgerCol::Date && key == Qt::Key_F12 && !alt) {
        const QString today = formatDate(svc().clock().today(), QStringLiteral("YY/MM/DD"));
        if (auto* edit = qobject_cast<QLineEdit*>(DBGrid_Main->activeEditor())) {
            edit->setText(today);
            return true;
        }
        if (!m_model->setCellValue(cur.row(), LedgerCol::Date, svc().clock().today()))
            gProcFatalError(QStringLiteral("frmData_DBGrid_Main_KeyDown"));
        return true;
    }
    // Alt+Down or F4 opens a list column's drop-down, as in any combo box.
    const bool openList =
        (alt && key == Qt::Key_Down) || (key == Qt::Key_F4 && e->modifiers() == Qt::NoModifier);
    if (column >= LedgerCol::Sort && column <= LedgerCol::Class3 && openList) {
        DBGrid_Main_ButtonClick(column);
        return true;
    }
    // Alt with a key, or F12, fills an empty class cell with the class window's default.
    if (column >= LedgerCol::Class1 && column <= LedgerCol::Class3 &&
        (alt || (key == Qt::Key_F12 && e->modifiers() == Qt::NoModifier))) {
        if (!mDataDicide()) {
            gProcFatalError(QStringLiteral("frmData_DBGrid_Main_KeyDown"));
            return true;
        }
        if (m_blnEditPending)
            return true;
        if (!mInputClassDefault(column))
            tellLostServerOrFail(QStringLiteral("frmData_DBGrid_Main_KeyDown"));
        return !alt;
    }
    if (column >= LedgerCol::Quantity && column <= LedgerCol::Cost && key == Qt::Key_F12) {
        cmdCol_Click(column);
        return true;
    }
    return false;
}

bool frmData::mInputClassDefault(int column) {
    const int row = currentRow();
    if (row < 0)
        return true;
    LedgerLine line = m_model->line(row);
    bool ok = true;
    switch (column) {
    case LedgerCol::Class1:
        ok = ::mInputClass1Default(line);
        break;
    case LedgerCol::Class2:
        ok = ::mInputClass2Default(line);
        break;
    case LedgerCol::Class3:
        ok = ::mInputClass3Default(line);
        break;
    default:
        return true;
    }
    return ok && m_model->storeLine(row, line, HistoryOrigin::Typed);
}

void frmData::DBGrid_Main_ButtonClick(int column) {
    if (!hasDropDownButton(column))
        return;
    const QModelIndex cur = DBGrid_Main->currentIndex();
    if (!cur.isValid() || cur.column() != column)
        return;
    // A choice from the list replaces what was being typed.
    DBGrid_Main->cancelPendingEdit();
    m_intEditColumn = column;
    if (!mSetItem_cboEditGrid(column)) {
        gProcFatalError(QStringLiteral("frmData_DBGrid_Main_ButtonClick"));
        return;
    }
    if (cboEditGrid->count() == 0)
        return;
    const QRect cell = DBGrid_Main->visualRect(cur);
    const QPoint topLeft = DBGrid_Main->viewport()->mapTo(m_central, cell.topLeft());
    cboEditGrid->setFont(DBGrid_Main->font());
    cboEditGrid->setGeometry(
        topLeft.x(), topLeft.y(), columnWidthPx(column),
        qMax(py(kLedgerRowHeightTwips - 85), cboEditGrid->minimumSizeHint().height()));
    cboEditGrid->setCurrentIndex(qMax(0, cboEditGrid->findText(cur.data(Qt::EditRole).toString())));
    cboEditGrid->setVisible(true);
    cboEditGrid->raise();
    cboEditGrid->setFocus();
    // The list opens when the editor gets the focus; a window that is not active gives it
    // none yet, so the list is opened here in that case.
    if (!cboEditGrid->view()->isVisible()) {
        m_intLastKeyCode = kKeyEnter;
        cboEditGrid->showPopup();
    }
    svc().process().processEvents();
}

void frmData::mFindNext() {
    const QString text = txtFind->text().trimmed();
    if (text.isEmpty() || DBGrid_Main->isHidden())
        return;
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_mFindNext"));
        return;
    }
    const QModelIndex cur = DBGrid_Main->currentIndex();
    const int row = m_model->findRow(text, cur.isValid() ? cur.row() : -1);
    if (row < 0) {
        svc().prompt().show(QStringLiteral("「%1」を含む行は見つかりませんでした。").arg(text),
                            gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        return;
    }
    const QModelIndex target =
        m_model->index(row, cur.isValid() ? cur.column() : int(LedgerCol::Item));
    DBGrid_Main->setCurrentIndex(target);
    DBGrid_Main->scrollTo(target);
}

void frmData::cboEditGrid_Click() {
    // Browsing the list with the arrow keys does not choose.
    if (m_intLastKeyCode == kKeyUp || m_intLastKeyCode == kKeyDown)
        return;
    const int row = currentRow();
    const QString text = cboEditGrid->currentText();
    DBGrid_Main->setFocus();
    cboEditGrid->setVisible(false);
    m_intLastKeyCode = kKeyEnter;
    if (row < 0)
        return;
    RuleResult refusal;
    if (!m_model->setCellText(row, m_intEditColumn, text, refusal)) {
        if (!refusal.ok)
            showRule(refusal);
        else
            gProcFatalError(QStringLiteral("frmData_cboEditGrid_Click"));
    }
}

bool frmData::eventFilter(QObject* watched, QEvent* event) {
    if (auto* b = qobject_cast<QPushButton*>(watched); b && b->parentWidget() == m_headerStrip) {
        if (headerButtonEvent(b->property("column").toInt(), event))
            return true;
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched == DBGrid_Main && event->type() == QEvent::Move)
        layoutHeader();
    if (!m_editList)
        return QMainWindow::eventFilter(watched, event);
    const bool onCombo = watched == cboEditGrid;
    const bool onList = watched == m_editList;
    const bool onListArea = watched == m_editList->viewport();
    if (!onCombo && !onList && !onListArea)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn: {
        // The focus comes back to the editor when its own list closes (a choice, Escape, a
        // click elsewhere) or when the window is activated again: the list is not reopened then.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (onCombo && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            m_intLastKeyCode = kKeyEnter;
            cboEditGrid->showPopup();
        }
        break;
    }
    case QEvent::FocusOut:
        if (onCombo && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
            !m_editList->isVisible())
            cboEditGrid->setVisible(false);
        break;
    case QEvent::ShortcutOverride:
        // The list chooses on Enter before the key press itself arrives: the key is known
        // from here on.
        if (onCombo || onList)
            m_intLastKeyCode = keyCodeOf(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::KeyPress:
        if (onCombo || onList) {
            auto* ke = static_cast<QKeyEvent*>(event);
            m_intLastKeyCode = keyCodeOf(ke);
            if (onCombo && m_intLastKeyCode == kKeyEnter) {
                cboEditGrid_Click();
                return true;
            }
            if (onCombo && ke->key() == Qt::Key_Escape) {
                cboEditGrid->setVisible(false);
                DBGrid_Main->setFocus();
                return true;
            }
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // A click in the list chooses, whatever keys were pressed before.
        if (onListArea)
            m_intLastKeyCode = 0;
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- line check, derivations -------------------------------------------------------------------

bool frmData::mChkInputDate(bool& errorFound) {
    errorFound = false;
    if (m_model->lineCount() == 0)
        return true;
    RuleResult result;
    if (!m_model->checkLines(lineCheckTexts(), defaultRatio().has_value(), errorFound, result)) {
        gProcError(QStringLiteral("frmData_mChkInputDate"));
        return false;
    }
    if (!errorFound)
        return true;
    mSetProcessingScreen(false);
    DBGrid_Main->setFocus();
    int column = result.focusColumn;
    if (!ledgerColumnShown(column))
        column = qMax(int(LedgerCol::Date), DBGrid_Main->currentIndex().column());
    const QModelIndex target = m_model->index(result.focusRow, column);
    {
        // The check has its own message: the line it leaves is not told about as well.
        const QScopedValueRollback moving(m_movingCurrent, true);
        DBGrid_Main->setCurrentIndex(target);
    }
    DBGrid_Main->scrollTo(target);
    showRule(result);
    return true;
}

LineCheckTexts frmData::lineCheckTexts() const {
    LineCheckTexts texts;
    const auto caption = [this](int column) {
        return cmdCol[static_cast<std::size_t>(column)]->property("caption").toString();
    };
    texts.unitPrice = caption(LedgerCol::UnitPrice);
    texts.regularPrice = caption(LedgerCol::RegularPrice);
    texts.ratio = caption(LedgerCol::Ratio);
    texts.cost = caption(LedgerCol::Cost);
    texts.payment = caption(LedgerCol::Payment);
    texts.regularRatioLabel = lblRegularRatio->text();
    return texts;
}

void frmData::checkLeftLine(qint64 lineID) {
    // Not when the user was put back into a refused cell, nor when the line is current again.
    if (!isVisible() || DBGrid_Main->isHidden() || DBGrid_Main->hasRefusedEdit())
        return;
    const int row = m_model->rowOfLine(lineID);
    if (row < 0 || row == currentRow())
        return;
    const LedgerLine line = m_model->line(row);
    if (!line.blnChange)
        return;
    const RuleResult r = gCheckLine(line, lineCheckTexts(), defaultRatio().has_value());
    if (r.ok || (lineID == m_warnedLineID && line == m_warnedLine))
        return;
    m_warnedLineID = lineID;
    m_warnedLine = line;
    showRule(r);
}

bool frmData::mCalcColumn(int column) {
    const int row = currentRow();
    if (row < 0)
        return true;
    const LedgerLine before = m_model->line(row);
    if (!before.isEmpty(column))
        return true;
    LedgerLine line = before;
    DeriveResult result;
    if (!gDeriveColumn(column, line, defaultRatio(), result))
        return false;
    if (!result.warning.ok) {
        showRule(result.warning);
    } else if (!result.computed && column == LedgerCol::Cost) {
        // Nothing to derive from: the user is told what is missing.
        const QString why = gWhyCostNotDerived(line, defaultRatio().has_value(), lineCheckTexts());
        if (!why.isEmpty())
            svc().prompt().show(why, QString(), MsgStyle::OKOnly | MsgStyle::Information);
    }
    return m_model->storeLine(row, line, HistoryOrigin::Derived);
}

// ---- buttons -----------------------------------------------------------------------------------

void frmData::cmdCol_Click(int index) {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cmdCol_Click"));
        return;
    }
    if (m_blnEditPending)
        return;
    switch (index) {
    case LedgerCol::Quantity:
    case LedgerCol::UnitPrice:
    case LedgerCol::RegularPrice:
    case LedgerCol::Ratio:
    case LedgerCol::Cost:
        if (DBGrid_Main->isHidden())
            return;
        if (!mCalcColumn(index))
            tellLostServerOrFail(QStringLiteral("frmData_cmdCol_Click"));
        DBGrid_Main->setFocus();
        return;
    case LedgerCol::Item: {
        frmDataItem* w = frmDataItem::instance();
        if (!w || !gDspForm(w, 0, 1))
            gProcFatalError(QStringLiteral("frmData_cmdCol_Click"));
        return;
    }
    case LedgerCol::Class1:
    case LedgerCol::Class2:
    case LedgerCol::Class3: {
        frmClass* w = frmClass::instance();
        if (!w) {
            gProcFatalError(QStringLiteral("frmData_cmdCol_Click"));
            return;
        }
        w->setClass(index - LedgerCol::Class1 + 1, cmdCol[static_cast<std::size_t>(index)]->text());
        if (!gDspForm(w, 0, 1))
            gProcFatalError(QStringLiteral("frmData_cmdCol_Click"));
        return;
    }
    case LedgerCol::Check: {
        frmDataCheck0* w = frmDataCheck0::instance();
        if (!w || !gDspForm(w, 0, 1))
            gProcFatalError(QStringLiteral("frmData_cmdCol_Click"));
        return;
    }
    default:
        return;
    }
}

void frmData::cmdHead_Click() {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cmdHead_Click"));
        return;
    }
    if (m_blnEditPending)
        return;
    frmDataCaption* w = frmDataCaption::instance();
    if (!w || !gDspForm(w, 0, 1) || !mSetCmdColCaption()) {
        gProcFatalError(QStringLiteral("frmData_cmdHead_Click"));
        return;
    }
}

void frmData::cmdMoveGrid_Click() {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cmdMoveGrid_Click"));
        return;
    }
    if (m_blnEditPending)
        return;
    if (DBGrid_Main->isHidden()) {
        svc().prompt().show(QStringLiteral("グリッドが表示されていないと、移動処理は出来ません"),
                            QString(), MsgStyle::OKOnly | MsgStyle::Information);
        return;
    }
    frmDataMoveGrid* w = frmDataMoveGrid::instance();
    if (!w) {
        gProcFatalError(QStringLiteral("frmData_cmdMoveGrid_Click"));
        return;
    }
    w->setGrid(DBGrid_Main);
    if (!gDspForm(w, 0, 1)) {
        gProcFatalError(QStringLiteral("frmData_cmdMoveGrid_Click"));
        return;
    }
    // The window moved the grid and stored the offset; the layout keeps it from now on.
    m_gridOffset = gGetDataGridOffset();
    placeGrid();
}

void frmData::cmdDspSupplier_Click() {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cmdDspSupplier_Click"));
        return;
    }
    if (m_blnEditPending)
        return;
    gblnMasterFromData = true;
    frmMaster* master = frmMaster::instance();
    const bool shown = master && gDspForm(master, 0, 1);
    gblnMasterFromData = false;
    if (!shown) {
        gProcFatalError(QStringLiteral("frmData_cmdDspSupplier_Click"));
        return;
    }
    if (!txtMasterID->text().isEmpty() && !mDspMasterInfo(txtMasterID->text().toInt())) {
        gProcFatalError(QStringLiteral("frmData_cmdDspSupplier_Click"));
        return;
    }
    mVisibleCulc(false);
}

void frmData::cmdCulCExe_Click() {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cmdCulCExe_Click"));
        return;
    }
    const QString program = findCalculatorProgram();
    if (program.isEmpty() || !svc().shell().startDetached(program, {}))
        gDispMsg(7, QStringLiteral("電卓プログラムを"));
}

void frmData::cmdCalcSum_Click() {
    if (txtMasterID->text().isEmpty()) {
        gDispMsg(36, QStringLiteral("仕入先が"));
        return;
    }
    const qint32 masterID = txtMasterID->text().toInt();
    mSetProcessingScreen(true);
    bool errorFound = false;
    if (!mDataDicide() || (!m_blnEditPending && !mChkInputDate(errorFound))) {
        mSetProcessingScreen(false);
        gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"));
        return;
    }
    if (m_blnEditPending || errorFound) {
        mSetProcessingScreen(false);
        return;
    }
    const PeriodBoxes period =
        gReadPeriodBoxes(cboCalcStartDate->currentText(), cboCalcEndDate->currentText());
    if (period.invalidBox == 1) {
        mSetProcessingScreen(false);
        gDispMsg(4, QString());
        cboCalcStartDate->setFocus();
        return;
    }
    cboCalcStartDate->setEditText(period.startText);
    if (period.invalidBox == 2) {
        mSetProcessingScreen(false);
        gDispMsg(4, QString());
        cboCalcEndDate->setFocus();
        return;
    }
    cboCalcEndDate->setEditText(period.endText);
    m_calcEnd = period.end;
    mVisibleCulc(false);
    svc().process().processEvents();
    gSleep(300);

    bool outOfRange = false;
    if (!mDspTotals(masterID, period.start, period.end, outOfRange)) {
        mSetProcessingScreen(false);
        gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"));
        return;
    }
    if (outOfRange) {
        // The stored amounts are beyond what a total can hold: the user is told which figures
        // to look at, the window stays as it is.
        mSetProcessingScreen(false);
        svc().prompt().show(gSumOutOfRangeText(), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
    if (!mChangeView(masterID, cboSortSetting->currentText())) {
        mSetProcessingScreen(false);
        gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"));
        return;
    }
    mSetProcessingScreen(false);
}

bool frmData::mDspTotals(qint32 masterID, const QDate& start, const QDate& end, bool& outOfRange) {
    outOfRange = false;
    DataTotals totals;
    if (!gCalcDATAEachTotal(gdbData(), masterID, start, end, m_kind,
                            defaultRatio().value_or(Currency()), totals))
        return false;
    if (totals.outOfRange) {
        outOfRange = true;
        return true;
    }
    m_calcStart = start;
    lblCarry->setText(formatNumber(totals.carry, kFigureFormat));
    lblTotalCost->setText(formatNumber(totals.cost, kFigureFormat));
    lblTotalTax->setText(formatNumber(totals.tax, kFigureFormat));
    lblTotalPayment->setText(formatNumber(totals.payment, kFigureFormat));
    lblBalance->setText(formatNumber(totals.balance(), kFigureFormat));
    lblTotalRegularPrice->setText(
        totals.ratioValid ? formatNumber(totals.regularTotal, kFigureFormat) : QString());
    const bool ratioShown =
        totals.ratioValid && totals.regularTotal > Currency() && totals.averageRatio.has_value();
    lblTotalRatio->setText(ratioShown ? formatNumber(*totals.averageRatio, QStringLiteral("#.0"))
                                      : QString());
    mVisibleCulc(true);
    return true;
}

void frmData::otherChanged(const QString& table, qint64 masterID) {
    if (txtMasterID->text().isEmpty())
        return;
    const qint32 shown = txtMasterID->text().toInt();
    const bool lines = table == QStringLiteral("T_DATA%1").arg(m_kind);
    if ((!lines && table != QLatin1String("T_MASTER")) || (masterID != 0 && masterID != shown))
        return;
    if (!lines && !mDspMasterInfo(shown)) {
        gProcFatalError(QStringLiteral("frmData_otherChanged"));
        return;
    }
    if (lblTotalCost->isHidden() || !m_calcStart.isValid())
        return;
    bool outOfRange = false;
    if (!mDspTotals(shown, m_calcStart, m_calcEnd, outOfRange)) {
        gProcFatalError(QStringLiteral("frmData_otherChanged"));
        return;
    }
    if (outOfRange)
        mVisibleCulc(false);
}

void frmData::cmdEstimatedTax_Click() {
    if (lblTotalCost->isHidden())
        return;
    const QString caption = lblTotalCost->text();
    const std::optional<Currency> cost = Currency::parse(caption);
    if (!cost)
        return;
    TaxEstimate estimate;
    if (!gCalcEstimatedTax(gdbData(), *cost, m_calcEnd, estimate)) {
        gProcFatalError(QStringLiteral("frmData_cmdEstimatedTax_Click"));
        return;
    }
    svc().prompt().show(gEstimatedTaxText(caption, estimate), gEstimatedTaxTitle(),
                        MsgStyle::OKOnly | MsgStyle::Information);
}

void frmData::cmdCulcCalendar_Click(bool start) {
    if (!mDataDicide()) {
        gProcFatalError(start ? QStringLiteral("frmData_cmdCulcStartCalendar_Click")
                              : QStringLiteral("frmData_cmdCulcEndCalendar_Click"));
        return;
    }
    QComboBox* box = start ? cboCalcStartDate : cboCalcEndDate;
    QString text = box->currentText();
    gPickDateWithCalendar(
        start ? QStringLiteral("計算対象開始日") : QStringLiteral("計算対象終了日"), text);
    box->setEditText(text);
}

// ---- closing -----------------------------------------------------------------------------------

void frmData::closeEvent(QCloseEvent* event) {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_Form_QueryUnload"));
        event->accept();
        return;
    }
    if (m_blnEditPending) {
        event->ignore();
        return;
    }
    mSetProcessingScreen(true);
    bool errorFound = false;
    if (!mChkInputDate(errorFound)) {
        mSetProcessingScreen(false);
        gProcFatalError(QStringLiteral("frmData_Form_QueryUnload"));
        event->accept();
        return;
    }
    if (errorFound) {
        event->ignore();
        mSetProcessingScreen(false);
        svc().process().processEvents();
        return;
    }
    mSetProcessingScreen(false);
    gShowMenu();
    QMainWindow::closeEvent(event);
}

// ---- undo and the change history --------------------------------------------------------------

void frmData::mRecordChange(qint64 group) {
    const qint32 masterID = m_model->masterID();
    m_undoSteps[masterID].push_back(group);
    m_redoSteps[masterID].clear();
    mSetUndoEnabled();
}

void frmData::mSetUndoEnabled() {
    const qint32 masterID = m_model->masterID();
    const auto hasStep = [masterID](const std::map<qint32, std::vector<qint64>>& steps) {
        const auto it = steps.find(masterID);
        return it != steps.end() && !it->second.empty();
    };
    const bool writable = !gDataFileReadOnly() && masterID != 0;
    const bool undo = writable && hasStep(m_undoSteps);
    mnuUndo->setEnabled(undo);
    cmdUndo->setEnabled(undo);
    mnuRedo->setEnabled(writable && hasStep(m_redoSteps));
}

void frmData::mnuUndo_Click(bool redo) {
    const QString proc =
        redo ? QStringLiteral("frmData_mnuRedo_Click") : QStringLiteral("frmData_mnuUndo_Click");
    if (gDataFileReadOnly())
        return;
    if (!mDataDicide()) {
        gProcFatalError(proc);
        return;
    }
    if (m_blnEditPending)
        return;
    // Whatever the outcome, the steps left decide what the menu offers next.
    const auto updateMenu = qScopeGuard([this] { mSetUndoEnabled(); });
    const qint32 masterID = m_model->masterID();
    std::vector<qint64>& from = redo ? m_redoSteps[masterID] : m_undoSteps[masterID];
    std::vector<qint64>& to = redo ? m_undoSteps[masterID] : m_redoSteps[masterID];
    std::vector<std::pair<QString, qint64>> rows;
    for (;;) {
        if (masterID == 0 || from.empty()) {
            svc().prompt().show(redo ? QStringLiteral("やり直せる変更はありません。")
                                     : QStringLiteral("元に戻せる変更はありません。"),
                                QString(), MsgStyle::OKOnly | MsgStyle::Information);
            return;
        }
        UndoOutcome outcome = UndoOutcome::Nothing;
        qint64 group = 0;
        if (!gUndoHistoryGroup(m_model->store().database(), from.back(),
                               redo ? HistoryOrigin::Redo : HistoryOrigin::Undo, outcome, &group,
                               &rows)) {
            gProcFatalError(proc);
            return;
        }
        from.pop_back();
        if (outcome == UndoOutcome::Changed) {
            svc().prompt().show(
                (redo ? QStringLiteral("この変更の後に同じ行が変更されているため、やり直せません。")
                      : QStringLiteral(
                            "この変更の後に同じ行が変更されているため、元に戻せません。")) +
                    QStringLiteral(
                        "\r\n今の内容はそのままです。変更の内容は「変更履歴」で確かめられ"
                        "ます。"),
                QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
            return;
        }
        if (outcome == UndoOutcome::Done) {
            to.push_back(group);
            break;
        }
    }
    // The grid shows the lines as they are now, with the first line the step touched current.
    const int column = qMax(int(LedgerCol::Date), DBGrid_Main->currentIndex().column());
    const int oldRow = currentRow();
    if (!m_model->reload()) {
        gProcFatalError(proc);
        return;
    }
    int row = -1;
    for (const auto& [table, id] : rows) {
        if (table == m_model->store().table())
            row = m_model->rowOfLine(id);
        if (row >= 0)
            break;
    }
    if (row < 0)
        row = qBound(0, oldRow, m_model->rowCount() - 1);
    if (m_model->rowCount() > 0) {
        const QModelIndex target = m_model->index(row, column);
        const QScopedValueRollback moving(m_movingCurrent, true);
        DBGrid_Main->setCurrentIndex(target);
        DBGrid_Main->scrollTo(target);
    }
    DBGrid_Main->setFocus();
}

void frmData::cmdHistory_Click() {
    if (!mDataDicide()) {
        gProcFatalError(QStringLiteral("frmData_cmdHistory_Click"));
        return;
    }
    if (m_blnEditPending)
        return;
    frmHistory* w = frmHistory::instance();
    if (!w || !w->mShow(m_model->masterID())) {
        gProcFatalError(QStringLiteral("frmData_cmdHistory_Click"));
        return;
    }
}
