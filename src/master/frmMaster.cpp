#include "master/frmMaster.h"
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "base/TextWidth.h"
#include "master/SupplierWidgets.h"
#include "master/frmSelectMaster.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "widgets/FormHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kLocked = QStringLiteral("LOCKED");
constexpr int kPhoneNoteBytes = 16;

// The picture of a mode: a coloured badge with the mode's first character.
QPixmap modePicture(const QString& text, const QColor& colour) {
    QPixmap pm(40, 40);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(colour.darker(140));
    p.drawRoundedRect(QRectF(1, 1, 38, 38), 8, 8);
    QFont f = p.font();
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 40, 40), Qt::AlignCenter, text);
    return pm;
}

QWidget* named(QWidget* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// Display-only boxes are disabled but stay as readable as entry boxes.
void keepReadable(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    w->setPalette(pal);
}

QString currencyPlain(Currency c) {
    return c.toString();
}

// The single-line entry boxes, in tab order: the member, objectName, Shift_JIS bytes, grid cell
// (row, column, columns spanned; kOwnRow: set in a row layout with its neighbour), a fixed width
// (0: as wide as the cell), whether it holds a number (right-aligned, at the left of its cell)
// and the tooltip. The option buttons, phone notes and memo among them are made afterwards and
// put in their places in the tab order.
constexpr int kOwnRow = -1;
struct EntryBox {
    QLineEdit* frmMaster::*box;
    const char* name;
    int bytes;
    int row;
    int column = 1;
    int span = 1;
    int width = 0;
    bool number = false;
    QStringView tip = {};
};
constexpr QStringView kRatioTip = u"4文字小数点１位までです";
constexpr QStringView kPostalTip = u"半角のみ8文字までです";
const EntryBox kEntryBoxes[] = {
    {&frmMaster::txtSupplierName, "txtSupplierName", SupplierTextBytes::kName, 1, 1, 3},
    {&frmMaster::txtPosition, "txtPosition", SupplierTextBytes::kPosition, 2, 1, 3},
    {&frmMaster::txtSupplierShortName, "txtSupplierShortName", SupplierTextBytes::kShortName,
     kOwnRow},
    {&frmMaster::txtKana, "txtKana", SupplierTextBytes::kKana, 3, 3},
    {&frmMaster::txtRegularSupplyRatio, "txtRegularSupplyRatio", 4, 4, 1, 1, 70, true, kRatioTip},
    {&frmMaster::txtRegularSaleRatio, "txtRegularSaleRatio", 4, 4, 3, 1, 70, true, kRatioTip},
    {&frmMaster::txtStartSupplyCarry, "txtStartSupplyCarry", 12, 5, 1, 1, 130, true},
    {&frmMaster::txtStartSaleCarry, "txtStartSaleCarry", 12, 5, 3, 1, 130, true},
    {&frmMaster::txtChargePerson1, "txtChargePerson1", SupplierTextBytes::kChargePerson, 7, 1},
    {&frmMaster::txtChargePerson1Notes, "txtChargePerson1Notes", SupplierTextBytes::kChargePerson,
     7, 3},
    {&frmMaster::txtChargePerson2, "txtChargePerson2", SupplierTextBytes::kChargePerson, 8, 1},
    {&frmMaster::txtChargePerson2Notes, "txtChargePerson2Notes", SupplierTextBytes::kChargePerson,
     8, 3},
    {&frmMaster::txtPostalCode1, "txtPostalCode1", SupplierTextBytes::kPostCode, kOwnRow, 1, 1, 90,
     false, kPostalTip},
    {&frmMaster::txtAddress1, "txtAddress1", SupplierTextBytes::kAddress, kOwnRow},
    {&frmMaster::txtPostalCode2, "txtPostalCode2", SupplierTextBytes::kPostCode, kOwnRow, 1, 1, 90,
     false, kPostalTip},
    {&frmMaster::txtAddress2, "txtAddress2", SupplierTextBytes::kAddress, kOwnRow},
    {&frmMaster::txtPhone1, "txtPhone1", SupplierTextBytes::kPhone, 11, 1},
    {&frmMaster::txtPhone2, "txtPhone2", SupplierTextBytes::kPhone, 12, 1},
    {&frmMaster::txtFax, "txtFax", SupplierTextBytes::kPhone, 13, 1},
    {&frmMaster::txtBankAccount1, "txtBankAccount1", SupplierTextBytes::kBankAccount, 14, 1, 3},
    {&frmMaster::txtBankAccount2, "txtBankAccount2", SupplierTextBytes::kBankAccount, 15, 1, 3},
    {&frmMaster::txtInvoiceNo, "txtInvoiceNo", 40, 16, 1, 1, 0, false,
     u"Ｔと数字１３桁です（全角・ハイフン・空白は直します）"},
    {&frmMaster::txtInvoiceFrom, "txtInvoiceFrom", 10, 16, 3, 1, 0, false, u"例：2023/10/01"},
    {&frmMaster::txtMasterID, "txtMasterID", 3, kOwnRow}, // kept hidden
};

// The fixed captions of the grid; those of the third column stand right.
struct Caption {
    int row;
    int column;
    QStringView text;
    int span = 1;
};
// clang-format off
const Caption kCaptions[] = {
    {0, 0, u"仕入先番号"},
    {0, 2, u"最終更新日"},
    {1, 0, u"社名"},
    {1, 4, u"必須"},
    {2, 0, u"部署名等"},
    {3, 0, u"表示社名"},
    {3, 2, u"ヨミガナ"},
    {6, 1, u"これら掛率・残高は必要ない場合は  ０を入力してください", 3},
    {7, 2, u"備考："},
    {8, 2, u"備考："},
    {9, 0, u"住所１〒"},
    {10, 0, u"住所２〒"},
    {11, 0, u"電話１"},
    {11, 2, u"備考："},
    {12, 0, u"電話２"},
    {12, 2, u"備考："},
    {13, 0, u"ＦＡＸ"},
    {13, 2, u"備考："},
    {16, 0, u"登録番号"},
    {16, 2, u"登録日："},
};
// clang-format on

} // namespace

frmMaster::frmMaster(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmMaster"));
    buildControls();
    if (!formLoad())
        gProcFatalError(QStringLiteral("frmMaster_Form_Load"));
}

void frmMaster::buildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->addLayout(buildProcFrames(central));
    outer->addLayout(buildEntryBoxes(central));
    lblChangedElsewhere = new QLabel(
        QStringLiteral("この仕入先はほかのパソコンで変更されました。確定すると保存せずに最新の"
                       "内容を表示します。"),
        central);
    named(lblChangedElsewhere, "lblChangedElsewhere");
    lblChangedElsewhere->setStyleSheet(QStringLiteral("color: #c62828;"));
    lblChangedElsewhere->setVisible(false);
    outer->addWidget(lblChangedElsewhere);
    connect(&gdbData().changeNotices(), &ChangeNotices::rowsChanged, this,
            &frmMaster::otherChanged);

    // ---- keys
    for (QWidget* w :
         std::initializer_list<QWidget*>{txtPosition, txtAddress1, txtAddress2, txtPhone1,
                                         txtPhone2, txtNotes, cboPhone1Notes, cboPhone2Notes})
        gSetMoveFocusByKey(w, false);
    // Typing digits picks exactly that number: "1", "2" within a moment is 12, "7" alone is 7
    // (not the next entry starting with 7); a pause starts a new number.
    gSetMoveFocusByKey(cboLngSupplier, false);
    cboLngSupplier->installEventFilter(this);
    cboLngSupplier->view()->installEventFilter(this);
    // A short list, not all 999 numbers over the whole screen.
    gSetShortSupplierList(cboLngSupplier, 20);
    for (QComboBox* c : {cboPhone1Notes, cboPhone2Notes})
        c->lineEdit()->installEventFilter(this);

    // ---- help menu
    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmMaster"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;
}

QLayout* frmMaster::buildProcFrames(QWidget* central) {
    auto* top = new QHBoxLayout();
    auto* procFrame = new QGroupBox(QStringLiteral("処理区分"), central);
    auto* procLayout = new QHBoxLayout(procFrame);
    auto* classFrame = new QGroupBox(QStringLiteral("現在の処理区分"), central);
    auto* classLayout = new QHBoxLayout(classFrame);
    auto* decideFrame = new QGroupBox(QStringLiteral("処理の決定"), central);
    auto* decideLayout = new QHBoxLayout(decideFrame);
    const QStringList captions{QStringLiteral("追 加"), QStringLiteral("修 正"),
                               QStringLiteral("削 除"), QStringLiteral("確 定"),
                               QStringLiteral("取 消"), QStringLiteral("閉じる")};
    const QStringList tips{QStringLiteral("一人分のデータを追加します"),
                           QStringLiteral("一人分のデータを修正します"),
                           QStringLiteral("一人分のデータを削除します"),
                           {},
                           {},
                           {}};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(captions.at(i), central);
        b->setObjectName(QStringLiteral("cmdProc_%1").arg(i));
        b->setToolTip(tips.at(i));
        b->setMinimumWidth(84);
        connect(b, &QPushButton::clicked, this, [this, i]() { cmdProcClick(i); });
        cmdProc[static_cast<std::size_t>(i)] = b;
    }
    procLayout->addWidget(cmdProc[Add]);
    procLayout->addWidget(cmdProc[Modify]);
    procLayout->addWidget(cmdProc[Delete]);
    cmdProc[Delete]->setVisible(false); // suppliers are never deleted, only made invalid
    decideLayout->addWidget(cmdProc[Confirm]);
    decideLayout->addWidget(cmdProc[Cancel]);

    auto* picHolder = new QWidget(classFrame);
    auto* picStack = new QGridLayout(picHolder);
    picStack->setContentsMargins(0, 0, 0, 0);
    const QStringList marks{QStringLiteral("追"), QStringLiteral("修"), QStringLiteral("削")};
    const QList<QColor> colours{QColor(0x2e, 0x7d, 0x32), QColor(0x15, 0x65, 0xc0),
                                QColor(0xc6, 0x28, 0x28)};
    for (int i = 0; i < 3; ++i) {
        auto* pic = new QLabel(picHolder);
        pic->setObjectName(QStringLiteral("picProcess_%1").arg(i));
        pic->setPixmap(modePicture(marks.at(i), colours.at(i)));
        pic->setVisible(false);
        picStack->addWidget(pic, 0, 0);
        picProcess[static_cast<std::size_t>(i)] = pic;
    }
    picHolder->setFixedSize(40, 40);
    txtProcClass = new QLineEdit(classFrame);
    named(txtProcClass, "txtProcClass");
    txtProcClass->setEnabled(false);
    keepReadable(txtProcClass);
    txtProcClass->setFixedWidth(80);
    txtProcClass->setAlignment(Qt::AlignCenter);
    gSetTag(txtProcClass, QStringLiteral("NOTCLEAR"));
    classLayout->addWidget(picHolder);
    classLayout->addWidget(txtProcClass);

    top->addWidget(procFrame);
    top->addWidget(classFrame);
    top->addWidget(decideFrame);
    top->addStretch(1);
    top->addWidget(cmdProc[Close], 0, Qt::AlignBottom);
    return top;
}

QLayout* frmMaster::buildEntryBoxes(QWidget* central) {
    const auto label = [&](const QString& text) { return new QLabel(text, central); };
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);

    cboLngSupplier = new QComboBox(central);
    named(cboLngSupplier, "cboLngSupplier");
    gSetSelectionColour(cboLngSupplier);
    cboLngSupplier->setMinimumWidth(80);
    gSetTag(cboLngSupplier, kLocked);
    chkValid = new QCheckBox(QStringLiteral("有効"), central);
    named(chkValid, "chkValid");
    chkValid->setToolTip(QStringLiteral("無効にすると、仕入先の表示から外れます。"));
    chkValid->setChecked(true);
    gSetTag(chkValid, kLocked);
    txtLastupdate = new QLineEdit(central);
    named(txtLastupdate, "txtLastupdate");
    txtLastupdate->setEnabled(false);
    keepReadable(txtLastupdate);
    txtLastupdate->setMinimumWidth(150);
    auto* numberRow = new QHBoxLayout();
    numberRow->addWidget(cboLngSupplier);
    numberRow->addSpacing(16);
    numberRow->addWidget(chkValid);
    numberRow->addStretch(1);
    grid->addLayout(numberRow, 0, 1);
    grid->addWidget(txtLastupdate, 0, 3);

    for (const EntryBox& b : kEntryBoxes) {
        auto* e = new QLineEdit(central);
        named(e, b.name);
        gSetMaxSjisBytes(e, b.bytes);
        if (!b.tip.isEmpty())
            e->setToolTip(b.tip.toString());
        gSetTag(e, kLocked);
        if (b.width > 0)
            e->setFixedWidth(b.width);
        if (b.number)
            e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (b.row != kOwnRow)
            grid->addWidget(e, b.row, b.column, 1, b.span,
                            b.number ? Qt::AlignLeft : Qt::Alignment());
        this->*b.box = e;
    }

    // The rows whose boxes share a cell.
    auto* shortNameRow = new QHBoxLayout();
    shortNameRow->addWidget(txtSupplierShortName, 1);
    shortNameRow->addWidget(label(QStringLiteral("必須")));
    grid->addLayout(shortNameRow, 3, 1);
    for (const auto& [code, address, row] : {std::tuple{txtPostalCode1, txtAddress1, 9},
                                             std::tuple{txtPostalCode2, txtAddress2, 10}}) {
        auto* h = new QHBoxLayout();
        h->setSpacing(6);
        h->addWidget(code);
        h->addWidget(address, 1);
        grid->addLayout(h, row, 1, 1, 3);
    }

    for (const Caption& c : kCaptions)
        grid->addWidget(label(c.text.toString()), c.row, c.column, 1, c.span,
                        c.column == 2 ? Qt::AlignRight : Qt::Alignment());
    // The ratio and carry captions take the ledger's words (formLoad).
    for (const auto& [member, name, row, column] :
         {std::tuple{&frmMaster::lblSupplyRatio, "lblSupplyRatio", 4, 0},
          std::tuple{&frmMaster::lblSaleRatio, "lblSaleRatio", 4, 2},
          std::tuple{&frmMaster::lblStartSupplyCarry, "lblStartSupplyCarry", 5, 0},
          std::tuple{&frmMaster::lblStartSaleCarry, "lblStartSaleCarry", 5, 2}}) {
        QLabel* l = this->*member = label({});
        named(l, name);
        grid->addWidget(l, row, column, column == 2 ? Qt::AlignRight : Qt::Alignment());
    }

    // Contacts and transfer accounts: the option button marks the main one.
    const auto optionPair = [&](const QString& caption, const QString& name,
                                std::array<QRadioButton*, 3>& pair, int firstRow) {
        auto* group = new QButtonGroup(this);
        for (int i = 1; i <= 2; ++i) {
            auto* opt = new QRadioButton(caption.arg(QChar(u'０' + i)), central);
            opt->setObjectName(name.arg(i));
            gSetTag(opt, kLocked);
            group->addButton(opt, i);
            pair[static_cast<std::size_t>(i)] = opt;
            grid->addWidget(opt, firstRow + i - 1, 0);
        }
    };
    optionPair(QStringLiteral("担当者%1"), QStringLiteral("optChargePerson_%1"), optChargePerson,
               7);
    optionPair(QStringLiteral("振込先%1"), QStringLiteral("optBankAccount_%1"), optBankAccount, 14);

    // The phone notes take typing or a choice from their list.
    for (const auto& [member, name, row] :
         {std::tuple{&frmMaster::cboPhone1Notes, "cboPhone1Notes", 11},
          std::tuple{&frmMaster::cboPhone2Notes, "cboPhone2Notes", 12},
          std::tuple{&frmMaster::cboFaxNotes, "cboFaxNotes", 13}}) {
        auto* c = this->*member = new QComboBox(central);
        named(c, name);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        gSetTag(c, kLocked);
        auto* h = new QHBoxLayout();
        h->addWidget(c, 1);
        h->addWidget(label(QStringLiteral("記入可")));
        grid->addLayout(h, row, 3);
    }

    txtNotes = new QPlainTextEdit(central);
    named(txtNotes, "txtNotes");
    txtNotes->setTabChangesFocus(true);
    txtNotes->setMinimumHeight(70);
    gSetTag(txtNotes, kLocked);
    grid->addWidget(label(QStringLiteral("メモ")), 17, 0, Qt::AlignTop);
    grid->addWidget(txtNotes, 17, 1, 1, 3);
    txtMasterID->setVisible(false);

    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnMinimumWidth(1, 230);
    grid->setColumnMinimumWidth(3, 230);

    // ---- tab order: the boxes were made first; the option buttons, the phone notes and the
    // memo take their places after the control they follow.
    for (const auto& [after, control] : std::initializer_list<std::pair<QWidget*, QWidget*>>{
             {txtStartSaleCarry, optChargePerson[1]},
             {txtChargePerson1Notes, optChargePerson[2]},
             {txtPhone1, cboPhone1Notes},
             {txtPhone2, cboPhone2Notes},
             {txtFax, cboFaxNotes},
             {cboFaxNotes, optBankAccount[1]},
             {txtBankAccount1, optBankAccount[2]},
             {txtInvoiceFrom, txtNotes},
             {txtNotes, txtMasterID}})
        setTabOrder(after, control);

    return grid;
}

bool frmMaster::formLoad() {
    setWindowTitle(QStringLiteral("仕入先 　追加したデータの削除はできません。"));
    gSetFormCaption(this, 0);
    QString supplyRatio, supplyCarry, saleRatio, saleCarry;
    if (!gGetMasterSideLabels(gdbData(), 1, supplyRatio, supplyCarry) ||
        !gGetMasterSideLabels(gdbData(), 2, saleRatio, saleCarry))
        return false;
    lblSupplyRatio->setText(supplyRatio);
    lblStartSupplyCarry->setText(supplyCarry);
    lblSaleRatio->setText(saleRatio);
    lblStartSaleCarry->setText(saleCarry);
    gClearControls(this);
    gLockControlsByTag(this, true, kLocked);
    cboLngSupplier->clear();
    QStringList numbers;
    numbers.reserve(kMaxSupplierNumber);
    for (int n = 1; n <= kMaxSupplierNumber; ++n)
        numbers << QString::number(n);
    cboLngSupplier->addItems(numbers);
    cboLngSupplier->setCurrentIndex(-1);
    mSetProcButtons(false);
    mDspProcClass(100);
    return true;
}

void frmMaster::mSetProcButtons(bool editing) {
    // A data file that cannot be written is shown, never changed.
    const bool writable = !gDataFileReadOnly();
    cmdProc[Add]->setEnabled(!editing && writable);
    cmdProc[Modify]->setEnabled(!editing && writable);
    cmdProc[Delete]->setEnabled(!editing && writable);
    cmdProc[Confirm]->setEnabled(editing);
    cmdProc[Cancel]->setEnabled(editing);
    (editing ? cmdProc[Confirm] : cmdProc[Add])->setFocus();
}

void frmMaster::mDspProcClass(int mode) {
    for (QLabel* pic : picProcess)
        pic->setVisible(false);
    txtProcClass->clear();
    static const QStringList words{QStringLiteral("追加"), QStringLiteral("修正"),
                                   QStringLiteral("削除")};
    if (mode >= 0 && mode <= 2) {
        picProcess[static_cast<std::size_t>(mode)]->setVisible(true);
        txtProcClass->setText(words.at(mode));
    }
}

SupplierEntry frmMaster::entry() const {
    SupplierEntry e;
    e.masterID = txtMasterID->text();
    e.supplier = cboLngSupplier->currentText();
    e.valid = chkValid->isChecked();
    e.regularSupplyRatio = txtRegularSupplyRatio->text();
    e.regularSaleRatio = txtRegularSaleRatio->text();
    e.startSupplyCarry = txtStartSupplyCarry->text();
    e.startSaleCarry = txtStartSaleCarry->text();
    e.supplierName = txtSupplierName->text();
    e.position = txtPosition->text();
    e.supplierShortName = txtSupplierShortName->text();
    e.kana = txtKana->text();
    e.chargePerson = optChargePerson[2]->isChecked() ? 2 : 1;
    e.chargePerson1 = txtChargePerson1->text();
    e.chargePersonNotes1 = txtChargePerson1Notes->text();
    e.chargePerson2 = txtChargePerson2->text();
    e.chargePersonNotes2 = txtChargePerson2Notes->text();
    e.postCode1 = txtPostalCode1->text();
    e.address1 = txtAddress1->text();
    e.postCode2 = txtPostalCode2->text();
    e.address2 = txtAddress2->text();
    e.phone1 = txtPhone1->text();
    e.phone1Notes = cboPhone1Notes->currentText();
    e.phone2 = txtPhone2->text();
    e.phone2Notes = cboPhone2Notes->currentText();
    e.fax = txtFax->text();
    e.faxNotes = cboFaxNotes->currentText();
    e.bankAccount = optBankAccount[2]->isChecked() ? 2 : 1;
    e.bankAccount1 = txtBankAccount1->text();
    e.bankAccount2 = txtBankAccount2->text();
    e.notes = txtNotes->toPlainText();
    e.invoiceNo = txtInvoiceNo->text();
    e.invoiceFrom = txtInvoiceFrom->text();
    return e;
}

void frmMaster::setShown(const ShownRow& row) {
    m_shown = row;
    m_loaded = entry();
    lblChangedElsewhere->setVisible(false);
}

void frmMaster::forgetShown() {
    m_shown.clear();
    m_loaded = SupplierEntry();
    lblChangedElsewhere->setVisible(false);
}

bool frmMaster::reloadShown() {
    ShownRow row;
    if (!gReadShownSupplier(gdbData(), txtMasterID->text().toInt(), row))
        return false;
    if (!row.found()) {
        gProcMasterData1(*this, Cancel);
        return true;
    }
    return gDspMasterData(
        *this, static_cast<qint32>(row.value(QStringLiteral("lngSupplier")).toLongLong()));
}

void frmMaster::otherChanged(const QString& table, qint64 masterID) {
    // Only a supplier being modified is shown; the boxes are replaced only while they hold what
    // was loaded, so nothing typed is lost: else the change is told, and confirming reloads.
    if (table != QLatin1String("T_MASTER") || m_procMode != 1 || !m_shown.found() ||
        (masterID != 0 && masterID != txtMasterID->text().toLongLong()))
        return;
    if (entry() != m_loaded) {
        lblChangedElsewhere->setVisible(true);
        return;
    }
    ShownRow row;
    if (!gReadShownSupplier(gdbData(), txtMasterID->text().toInt(), row))
        gProcFatalError(QStringLiteral("frmMaster_otherChanged"));
    else if (!row.found())
        lblChangedElsewhere->setVisible(true); // removed elsewhere: confirming says so
    else if (!reloadShown())
        gProcFatalError(QStringLiteral("frmMaster_otherChanged"));
}

void frmMaster::cmdProcClick(int index) {
    if (!gProcMasterData1(*this, index))
        gProcFatalError(QStringLiteral("frmMaster_cmdProc_Click"));
}

bool frmMaster::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == cboLngSupplier || watched == cboLngSupplier->view()) &&
        event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        const int digit = text.size() == 1 ? text.at(0).digitValue() : -1;
        if (digit >= 0) {
            if (!m_numberTyped.isValid() ||
                m_numberTyped.elapsed() > QApplication::keyboardInputInterval())
                m_typedNumber.clear();
            m_numberTyped.start();
            m_typedNumber += QChar(u'0' + digit);
            int found = cboLngSupplier->findText(QString::number(m_typedNumber.toInt()));
            if (found < 0) { // beyond the list: this digit starts a new number
                m_typedNumber = QChar(u'0' + digit);
                found = cboLngSupplier->findText(QString::number(digit));
            }
            if (found >= 0) {
                cboLngSupplier->setCurrentIndex(found);
                cboLngSupplier->view()->setCurrentIndex(cboLngSupplier->model()->index(found, 0));
            }
            return true;
        }
    }
    // A phone note takes typed characters only while it is at most 16 bytes wide; then only
    // Backspace works.
    QComboBox* combo = nullptr;
    if (watched == cboPhone1Notes->lineEdit())
        combo = cboPhone1Notes;
    else if (watched == cboPhone2Notes->lineEdit())
        combo = cboPhone2Notes;
    if (combo && sjisByteWidth(combo->currentText()) > kPhoneNoteBytes) {
        if (event->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(event);
            switch (ke->key()) {
            case Qt::Key_Backspace:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Escape:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                break;
            default:
                if (!ke->text().isEmpty())
                    return true;
            }
        } else if (event->type() == QEvent::InputMethod) {
            auto* ime = static_cast<QInputMethodEvent*>(event);
            if (!ime->commitString().isEmpty())
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMaster::closeEvent(QCloseEvent* event) {
    if (!gblnMasterFromData)
        gShowMenu();
    QMainWindow::closeEvent(event);
}

// ---- the button actions ----------------------------------------------------------------------

void gSelectOption(const std::array<QRadioButton*, 3>& pair, qint32 index) {
    QButtonGroup* group = pair[1]->group();
    if (index == 1 || index == 2) {
        pair[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    // Neither: an exclusive group cannot be emptied while exclusive.
    if (group)
        group->setExclusive(false);
    pair[1]->setChecked(false);
    pair[2]->setChecked(false);
    if (group)
        group->setExclusive(true);
}

namespace {

bool procAdd(frmMaster* f) {
    qint32 masterID = 0;
    qint32 supplier = 0;
    if (!gGetNewLngMasterID(gdbData(), masterID) || !gGetNewLngSupplier(gdbData(), supplier))
        return false;
    if (masterID == 0 || supplier == 0) {
        // Numbers and IDs have three digits: the list is full.
        svc().prompt().show(
            QStringLiteral("仕入先は%1件まで登録できます。").arg(kMaxSupplierNumber) +
                QStringLiteral("\r\n") + QStringLiteral("これ以上追加することはできません。"),
            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
        return true;
    }
    f->setProcMode(0);
    f->mDspProcClass(0);
    f->mSetProcButtons(true);
    gLockControlsByTag(f, false, kLocked);
    if (!gSetComboItem(f->cboPhone1Notes, f->cboPhone2Notes))
        return false;
    f->txtMasterID->setText(QString::number(masterID));
    f->cboLngSupplier->setCurrentIndex(f->cboLngSupplier->findText(QString::number(supplier)));
    gSelectOption(f->optChargePerson, 1);
    gSelectOption(f->optBankAccount, 1);
    for (QLineEdit* e : {f->txtRegularSupplyRatio, f->txtRegularSaleRatio, f->txtStartSupplyCarry,
                         f->txtStartSaleCarry})
        e->setText(QStringLiteral("0"));
    f->txtSupplierName->setFocus();
    return true;
}

bool procModify(frmMaster* f) {
    qint32 count = 0;
    if (!gGetSupplierCount(gdbData(), count, false))
        return false;
    if (count == 0) {
        gDispMsg(34, QStringLiteral("仕入先データが"));
        return true;
    }
    f->setProcMode(1);
    f->mDspProcClass(1);
    if (!gSetComboItem(f->cboPhone1Notes, f->cboPhone2Notes))
        return false;
    frmSelectMaster* select = frmSelectMaster::instance(*f);
    if (!select)
        return false;
    return gDspForm(select, 0, 1);
}

void backToIdle(frmMaster* f) {
    f->forgetShown();
    gClearControls(f);
    gLockControlsByTag(f, true, kLocked);
    f->mDspProcClass(100);
    f->mSetProcButtons(false);
}

bool procConfirm(frmMaster* f) {
    const qint32 mode = f->procMode();
    if (mode != 0 && mode != 1) {
        gProcError(QStringLiteral("gProcMasterData1"), QStringLiteral("unknown mode %1").arg(mode));
        return false;
    }
    gTrimControlsByTag(f, QString());
    const SupplierEntry e = f->entry();
    const SupplierCheck check = mChkMasterData(e);
    if (!check.valid) {
        gDispMsg(check.msgCode, check.msgPrefix);
        if (auto* w = f->findChild<QWidget*>(check.focus))
            w->setFocus();
        return true;
    }
    if (!check.confirmText.isEmpty() &&
        svc().prompt().show(check.confirmText, gstrAppTitle,
                            MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2) !=
            MsgResult::Yes) {
        f->txtInvoiceNo->setFocus();
        return true;
    }
    SupplierRecord record;
    if (!gEntryToRecord(e, record)) {
        gProcError(QStringLiteral("gProcMasterData1"),
                   QStringLiteral("master ID or supplier number missing"));
        return false;
    }
    if (mode == 0) {
        // Another program may have added a supplier with the proposed master ID meanwhile.
        ShownRow taken;
        if (!gReadShownSupplier(gdbData(), record.lngMasterID, taken))
            return false;
        if (taken.found()) {
            if (!gGetNewLngMasterID(gdbData(), record.lngMasterID))
                return false;
            f->txtMasterID->setText(QString::number(record.lngMasterID));
        }
    }
    bool duplicate = false;
    if (!gChkDuplicateSupplier(gdbData(), record.lngMasterID, record.lngSupplier, duplicate))
        return false;
    if (duplicate) {
        gDispMsg(29, QStringLiteral("仕入先番号が"));
        f->cboLngSupplier->setFocus();
        return true;
    }
    bool conflict = false;
    if (!mSaveMasterData(gdbData(), mode, record, mode == 1 ? &f->shown() : nullptr, &conflict)) {
        if (!conflict)
            return false;
        // Another program changed (or removed) the supplier since it was shown: its values are
        // shown instead of being overwritten, and the user decides again.
        svc().prompt().show(
            QStringLiteral("この仕入先はほかのパソコンで変更されたため、保存しませんでした。\r\n"
                           "最新の内容を表示しました。必要ならもう一度入力してください。"),
            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
        return f->reloadShown();
    }
    backToIdle(f);
    return true;
}

} // namespace

bool gProcMasterData1(frmMaster& window, int index) {
    switch (index) {
    case frmMaster::Add:
        return procAdd(&window);
    case frmMaster::Modify:
        return procModify(&window);
    case frmMaster::Confirm:
        return procConfirm(&window);
    case frmMaster::Cancel:
        backToIdle(&window);
        return true;
    case frmMaster::Close:
        window.close();
        return true;
    default:
        return true;
    }
}

bool gDspMasterData(frmMaster& f, qint32 supplier) {
    qint32 masterID = 0;
    SupplierRecord r;
    // The stored row first: a change between the two reads is then taken as a change since.
    ShownRow shown;
    if (!gGetMasterIDBySupplier(gdbData(), supplier, masterID) ||
        !gReadShownSupplier(gdbData(), masterID, shown) ||
        !gGetMasterData(gdbData(), masterID, r)) {
        gProcError(QStringLiteral("gDspMasterData"),
                   QStringLiteral("supplier number %1 could not be read").arg(supplier));
        return false;
    }
    f.txtMasterID->setText(QString::number(masterID));
    f.cboLngSupplier->setCurrentIndex(f.cboLngSupplier->findText(QString::number(supplier)));
    f.chkValid->setChecked(r.blnValid);
    f.txtRegularSupplyRatio->setText(currencyPlain(r.curRegularSupplyRatio));
    f.txtRegularSaleRatio->setText(currencyPlain(r.curRegularSaleRatio));
    f.txtSupplierName->setText(r.strSupplierName);
    f.txtPosition->setText(r.strPosition);
    f.txtSupplierShortName->setText(r.strSupplierShortName);
    f.txtKana->setText(r.strKana);
    gSelectOption(f.optChargePerson, r.lngChargePerson);
    f.txtChargePerson1->setText(r.strChargePerson1);
    f.txtChargePerson1Notes->setText(r.strChargePersonNotes1);
    f.txtChargePerson2->setText(r.strChargePerson2);
    f.txtChargePerson2Notes->setText(r.strChargePersonNotes2);
    f.txtPostalCode1->setText(r.strPostCode1);
    f.txtAddress1->setText(r.strAddress1);
    f.txtPostalCode2->setText(r.strPostCode2);
    f.txtAddress2->setText(r.strAddress2);
    f.txtPhone1->setText(r.strPhone1);
    f.cboPhone1Notes->setEditText(r.strPhone1Notes);
    f.txtPhone2->setText(r.strPhone2);
    f.cboPhone2Notes->setEditText(r.strPhone2Notes);
    f.txtFax->setText(r.strFax);
    f.cboFaxNotes->setEditText(r.strFaxNotes);
    gSelectOption(f.optBankAccount, r.lngBankAccount);
    f.txtBankAccount1->setText(r.strBankAccount1);
    f.txtBankAccount2->setText(r.strBankAccount2);
    f.txtNotes->setPlainText(r.strNotes);
    f.txtInvoiceNo->setText(r.strInvoiceNo);
    f.txtInvoiceFrom->setText(r.datInvoiceFrom.isValid() ? termDateText(r.datInvoiceFrom)
                                                         : QString());
    f.txtLastupdate->setText(r.datLastUpdate.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    f.txtStartSupplyCarry->setText(formatNumber(r.curStartSupplyCarry, QStringLiteral("#,##0")));
    f.txtStartSaleCarry->setText(formatNumber(r.curStartSaleCarry, QStringLiteral("#,##0")));
    f.setShown(shown);
    return true;
}
