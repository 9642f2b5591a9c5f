#include "master/frmMaster.h"
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "base/FormHelpers.h"
#include "base/Globals.h"
#include "base/HelpMenu.h"
#include "base/Services.h"
#include "base/TextWidth.h"
#include "base/WindowDisplay.h"
#include "master/SupplierWidgets.h"
#include "master/frmSelectMaster.h"
#include "store/Formats.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"

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

// Display-only boxes are disabled but stay as readable as entry boxes.
void keepReadable(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    w->setPalette(pal);
}

QString currencyPlain(Currency c) {
    return c.toString();
}

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

    const auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    const auto lineEdit = [&](const char* name, int maxBytes, const QString& tip) {
        auto* e = new QLineEdit(central);
        named(e, name);
        gSetMaxSjisBytes(e, maxBytes);
        if (!tip.isEmpty())
            e->setToolTip(tip);
        gSetTag(e, kLocked);
        return e;
    };
    const auto label = [&](const QString& text) { return new QLabel(text, central); };

    // ---- the button frames
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
    outer->addLayout(top);

    // ---- the entry boxes, in tab order
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    outer->addLayout(grid);
    int row = 0;

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
    grid->addWidget(label(QStringLiteral("仕入先番号")), row, 0);
    {
        auto* h = new QHBoxLayout();
        h->addWidget(cboLngSupplier);
        h->addSpacing(16);
        h->addWidget(chkValid);
        h->addStretch(1);
        grid->addLayout(h, row, 1);
    }
    grid->addWidget(label(QStringLiteral("最終更新日")), row, 2, Qt::AlignRight);
    grid->addWidget(txtLastupdate, row, 3);
    ++row;

    txtSupplierName = lineEdit("txtSupplierName", 125, {});
    grid->addWidget(label(QStringLiteral("社名")), row, 0);
    grid->addWidget(txtSupplierName, row, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("必須")), row, 4);
    ++row;

    txtPosition = lineEdit("txtPosition", 125, {});
    grid->addWidget(label(QStringLiteral("部署名等")), row, 0);
    grid->addWidget(txtPosition, row, 1, 1, 3);
    ++row;

    txtSupplierShortName = lineEdit("txtSupplierShortName", 8, {});
    txtKana = lineEdit("txtKana", 30, {});
    grid->addWidget(label(QStringLiteral("表示社名")), row, 0);
    {
        auto* h = new QHBoxLayout();
        h->addWidget(txtSupplierShortName, 1);
        h->addWidget(label(QStringLiteral("必須")));
        grid->addLayout(h, row, 1);
    }
    grid->addWidget(label(QStringLiteral("ヨミガナ")), row, 2, Qt::AlignRight);
    grid->addWidget(txtKana, row, 3);
    ++row;

    const QString tipRatio = QStringLiteral("4文字小数点１位までです");
    txtRegularSupplyRatio = lineEdit("txtRegularSupplyRatio", 4, tipRatio);
    txtRegularSaleRatio = lineEdit("txtRegularSaleRatio", 4, tipRatio);
    txtStartSupplyCarry = lineEdit("txtStartSupplyCarry", 12, {});
    txtStartSaleCarry = lineEdit("txtStartSaleCarry", 12, {});
    for (QLineEdit* e :
         {txtRegularSupplyRatio, txtRegularSaleRatio, txtStartSupplyCarry, txtStartSaleCarry})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblSupplyRatio = label({});
    named(lblSupplyRatio, "lblSupplyRatio");
    lblSaleRatio = label({});
    named(lblSaleRatio, "lblSaleRatio");
    lblStartSupplyCarry = label({});
    named(lblStartSupplyCarry, "lblStartSupplyCarry");
    lblStartSaleCarry = label({});
    named(lblStartSaleCarry, "lblStartSaleCarry");
    grid->addWidget(lblSupplyRatio, row, 0);
    grid->addWidget(txtRegularSupplyRatio, row, 1, Qt::AlignLeft);
    grid->addWidget(lblSaleRatio, row, 2, Qt::AlignRight);
    grid->addWidget(txtRegularSaleRatio, row, 3, Qt::AlignLeft);
    txtRegularSupplyRatio->setFixedWidth(70);
    txtRegularSaleRatio->setFixedWidth(70);
    ++row;
    grid->addWidget(lblStartSupplyCarry, row, 0);
    grid->addWidget(txtStartSupplyCarry, row, 1, Qt::AlignLeft);
    grid->addWidget(lblStartSaleCarry, row, 2, Qt::AlignRight);
    grid->addWidget(txtStartSaleCarry, row, 3, Qt::AlignLeft);
    txtStartSupplyCarry->setFixedWidth(130);
    txtStartSaleCarry->setFixedWidth(130);
    ++row;
    grid->addWidget(label(QStringLiteral("これら掛率・残高は必要ない場合は  ０を入力してください")),
                    row, 1, 1, 3);
    ++row;

    // Contacts: the option button marks the main one.
    auto* chargeGroup = new QButtonGroup(this);
    for (int i = 1; i <= 2; ++i) {
        auto* opt = new QRadioButton(QStringLiteral("担当者%1").arg(QChar(u'０' + i)), central);
        opt->setObjectName(QStringLiteral("optChargePerson_%1").arg(i));
        gSetTag(opt, kLocked);
        chargeGroup->addButton(opt, i);
        optChargePerson[static_cast<std::size_t>(i)] = opt;
        QLineEdit* person = lineEdit(i == 1 ? "txtChargePerson1" : "txtChargePerson2", 20, {});
        QLineEdit* notes =
            lineEdit(i == 1 ? "txtChargePerson1Notes" : "txtChargePerson2Notes", 20, {});
        (i == 1 ? txtChargePerson1 : txtChargePerson2) = person;
        (i == 1 ? txtChargePerson1Notes : txtChargePerson2Notes) = notes;
        grid->addWidget(opt, row, 0);
        grid->addWidget(person, row, 1);
        grid->addWidget(label(QStringLiteral("備考：")), row, 2, Qt::AlignRight);
        grid->addWidget(notes, row, 3);
        ++row;
    }

    txtPostalCode1 = lineEdit("txtPostalCode1", 8, QStringLiteral("半角のみ8文字までです"));
    txtAddress1 = lineEdit("txtAddress1", 50, {});
    txtPostalCode2 = lineEdit("txtPostalCode2", 8, QStringLiteral("半角のみ8文字までです"));
    txtAddress2 = lineEdit("txtAddress2", 50, {});
    for (int i = 1; i <= 2; ++i) {
        QLineEdit* code = i == 1 ? txtPostalCode1 : txtPostalCode2;
        QLineEdit* address = i == 1 ? txtAddress1 : txtAddress2;
        code->setFixedWidth(90);
        grid->addWidget(label(QStringLiteral("住所%1〒").arg(QChar(u'０' + i))), row, 0);
        auto* h = new QHBoxLayout();
        h->setSpacing(6);
        h->addWidget(code);
        h->addWidget(address, 1);
        grid->addLayout(h, row, 1, 1, 3);
        ++row;
    }

    const auto noteCombo = [&](const char* name) {
        auto* c = new QComboBox(central);
        named(c, name);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        gSetTag(c, kLocked);
        return c;
    };
    txtPhone1 = lineEdit("txtPhone1", 20, {});
    cboPhone1Notes = noteCombo("cboPhone1Notes");
    txtPhone2 = lineEdit("txtPhone2", 20, {});
    cboPhone2Notes = noteCombo("cboPhone2Notes");
    txtFax = lineEdit("txtFax", 20, {});
    cboFaxNotes = noteCombo("cboFaxNotes");
    const QList<std::tuple<QString, QLineEdit*, QComboBox*>> phones{
        {QStringLiteral("電話１"), txtPhone1, cboPhone1Notes},
        {QStringLiteral("電話２"), txtPhone2, cboPhone2Notes},
        {QStringLiteral("ＦＡＸ"), txtFax, cboFaxNotes}};
    for (const auto& [caption, phone, notes] : phones) {
        grid->addWidget(label(caption), row, 0);
        grid->addWidget(phone, row, 1);
        grid->addWidget(label(QStringLiteral("備考：")), row, 2, Qt::AlignRight);
        auto* h = new QHBoxLayout();
        h->addWidget(notes, 1);
        h->addWidget(label(QStringLiteral("記入可")));
        grid->addLayout(h, row, 3);
        ++row;
    }

    auto* bankGroup = new QButtonGroup(this);
    for (int i = 1; i <= 2; ++i) {
        auto* opt = new QRadioButton(QStringLiteral("振込先%1").arg(QChar(u'０' + i)), central);
        opt->setObjectName(QStringLiteral("optBankAccount_%1").arg(i));
        gSetTag(opt, kLocked);
        bankGroup->addButton(opt, i);
        optBankAccount[static_cast<std::size_t>(i)] = opt;
        QLineEdit* account = lineEdit(i == 1 ? "txtBankAccount1" : "txtBankAccount2", 50, {});
        (i == 1 ? txtBankAccount1 : txtBankAccount2) = account;
        grid->addWidget(opt, row, 0);
        grid->addWidget(account, row, 1, 1, 3);
        ++row;
    }

    // The invoice registration number and the date it applies from.
    txtInvoiceNo = lineEdit("txtInvoiceNo", 40,
                            QStringLiteral("Ｔと数字１３桁です（全角・ハイフン・空白は直します）"));
    txtInvoiceFrom = lineEdit("txtInvoiceFrom", 10, QStringLiteral("例：2023/10/01"));
    grid->addWidget(label(QStringLiteral("登録番号")), row, 0);
    grid->addWidget(txtInvoiceNo, row, 1);
    grid->addWidget(label(QStringLiteral("登録日：")), row, 2, Qt::AlignRight);
    grid->addWidget(txtInvoiceFrom, row, 3);
    ++row;

    txtNotes = new QPlainTextEdit(central);
    named(txtNotes, "txtNotes");
    txtNotes->setTabChangesFocus(true);
    txtNotes->setMinimumHeight(70);
    gSetTag(txtNotes, kLocked);
    grid->addWidget(label(QStringLiteral("メモ")), row, 0, Qt::AlignTop);
    grid->addWidget(txtNotes, row, 1, 1, 3);
    ++row;

    txtMasterID = new QLineEdit(central);
    named(txtMasterID, "txtMasterID");
    gSetMaxSjisBytes(txtMasterID, 3);
    gSetTag(txtMasterID, kLocked);
    txtMasterID->setVisible(false);

    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnMinimumWidth(1, 230);
    grid->setColumnMinimumWidth(3, 230);

    // ---- keys
    for (QWidget* w :
         std::initializer_list<QWidget*>{txtPosition, txtAddress1, txtAddress2, txtPhone1,
                                         txtPhone2, txtNotes, cboPhone1Notes, cboPhone2Notes})
        gSetMoveFocusByKey(w, false);
    // Typing digits picks the number (the list's own search: "1", "2" within a moment is 12).
    gSetMoveFocusByKey(cboLngSupplier, false);
    for (QComboBox* c : {cboPhone1Notes, cboPhone2Notes})
        c->lineEdit()->installEventFilter(this);

    // ---- help menu
    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmMaster"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;
}

bool frmMaster::formLoad() {
    setWindowTitle(QStringLiteral("仕入先 　追加したデータの削除はできません。"));
    gSetFormCaption(this, 0);
    QString supplyRatio, supplyCarry, saleRatio, saleCarry;
    if (!gGetMasterSideLabels(1, supplyRatio, supplyCarry) ||
        !gGetMasterSideLabels(2, saleRatio, saleCarry))
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

void frmMaster::cmdProcClick(int index) {
    if (!gProcMasterData1(index))
        gProcFatalError(QStringLiteral("frmMaster_cmdProc_Click"));
}

bool frmMaster::eventFilter(QObject* watched, QEvent* event) {
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
    if (!gGetNewLngMasterID(masterID) || !gGetNewLngSupplier(supplier))
        return false;
    if (masterID == 0 || supplier == 0) {
        // Numbers and IDs have three digits: the list is full.
        svc().prompt().show(
            QStringLiteral("仕入先は%1件まで登録できます。").arg(kMaxSupplierNumber) +
                QStringLiteral("\r\n") + QStringLiteral("これ以上追加することはできません。"),
            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
        return true;
    }
    glngMasterProcMode = 0;
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
    if (!gGetSupplierCount(count, false))
        return false;
    if (count == 0) {
        gDispMsg(34, QStringLiteral("仕入先データが"));
        return true;
    }
    glngMasterProcMode = 1;
    f->mDspProcClass(1);
    if (!gSetComboItem(f->cboPhone1Notes, f->cboPhone2Notes))
        return false;
    frmSelectMaster* select = frmSelectMaster::instance();
    if (!select)
        return false;
    return gDspForm(select, 0, 1);
}

void backToIdle(frmMaster* f) {
    gClearControls(f);
    gLockControlsByTag(f, true, kLocked);
    f->mDspProcClass(100);
    f->mSetProcButtons(false);
}

bool procConfirm(frmMaster* f) {
    if (glngMasterProcMode != 0 && glngMasterProcMode != 1) {
        gProcError(QStringLiteral("gProcMasterData1"),
                   QStringLiteral("unknown mode %1").arg(glngMasterProcMode));
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
    bool duplicate = false;
    if (!gChkDuplicateSupplier(record.lngMasterID, record.lngSupplier, duplicate))
        return false;
    if (duplicate) {
        gDispMsg(29, QStringLiteral("仕入先番号が"));
        f->cboLngSupplier->setFocus();
        return true;
    }
    if (!mSaveMasterData(glngMasterProcMode, record))
        return false;
    backToIdle(f);
    return true;
}

} // namespace

bool gProcMasterData1(int index) {
    frmMaster* f = frmMaster::existing();
    if (!f) {
        gProcError(QStringLiteral("gProcMasterData1"), QStringLiteral("the window is not open"));
        return false;
    }
    switch (index) {
    case frmMaster::Add:
        return procAdd(f);
    case frmMaster::Modify:
        return procModify(f);
    case frmMaster::Confirm:
        return procConfirm(f);
    case frmMaster::Cancel:
        backToIdle(f);
        return true;
    case frmMaster::Close:
        f->close();
        return true;
    default:
        return true;
    }
}

bool gDspMasterData(qint32 supplier) {
    frmMaster* f = frmMaster::existing();
    qint32 masterID = 0;
    SupplierRecord r;
    if (!f || !gGetMasterIDBySupplier(supplier, masterID) || !gGetMasterData(masterID, r)) {
        gProcError(QStringLiteral("gDspMasterData"),
                   QStringLiteral("supplier number %1 could not be read").arg(supplier));
        return false;
    }
    f->txtMasterID->setText(QString::number(masterID));
    f->cboLngSupplier->setCurrentIndex(f->cboLngSupplier->findText(QString::number(supplier)));
    f->chkValid->setChecked(r.blnValid);
    f->txtRegularSupplyRatio->setText(currencyPlain(r.curRegularSupplyRatio));
    f->txtRegularSaleRatio->setText(currencyPlain(r.curRegularSaleRatio));
    f->txtSupplierName->setText(r.strSupplierName);
    f->txtPosition->setText(r.strPosition);
    f->txtSupplierShortName->setText(r.strSupplierShortName);
    f->txtKana->setText(r.strKana);
    gSelectOption(f->optChargePerson, r.lngChargePerson);
    f->txtChargePerson1->setText(r.strChargePerson1);
    f->txtChargePerson1Notes->setText(r.strChargePersonNotes1);
    f->txtChargePerson2->setText(r.strChargePerson2);
    f->txtChargePerson2Notes->setText(r.strChargePersonNotes2);
    f->txtPostalCode1->setText(r.strPostCode1);
    f->txtAddress1->setText(r.strAddress1);
    f->txtPostalCode2->setText(r.strPostCode2);
    f->txtAddress2->setText(r.strAddress2);
    f->txtPhone1->setText(r.strPhone1);
    f->cboPhone1Notes->setEditText(r.strPhone1Notes);
    f->txtPhone2->setText(r.strPhone2);
    f->cboPhone2Notes->setEditText(r.strPhone2Notes);
    f->txtFax->setText(r.strFax);
    f->cboFaxNotes->setEditText(r.strFaxNotes);
    gSelectOption(f->optBankAccount, r.lngBankAccount);
    f->txtBankAccount1->setText(r.strBankAccount1);
    f->txtBankAccount2->setText(r.strBankAccount2);
    f->txtNotes->setPlainText(r.strNotes);
    f->txtInvoiceNo->setText(r.strInvoiceNo);
    f->txtInvoiceFrom->setText(r.datInvoiceFrom.isValid() ? termDateText(r.datInvoiceFrom)
                                                          : QString());
    f->txtLastupdate->setText(r.datLastUpdate.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    f->txtStartSupplyCarry->setText(formatNumber(r.curStartSupplyCarry, QStringLiteral("#,##0")));
    f->txtStartSaleCarry->setText(formatNumber(r.curStartSaleCarry, QStringLiteral("#,##0")));
    return true;
}
