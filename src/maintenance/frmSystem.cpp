#include "maintenance/frmSystem.h"

#include "base/Globals.h"
#include "base/Services.h"
#include "maintenance/SystemSettings.h"
#include "maintenance/frmConnection.h"
#include "store/ChangeNotices.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/SettingsRegistry.h"
#include "store/ShownRow.h"
#include "store/TaxRates.h"
#include "widgets/FormHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <variant>

namespace {

template <typename T> T* named(T* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

// An entry box of at most maxLength characters (0: no limit), as wide as the sample text and the
// padding; numbers stand right.
QLineEdit* entryBox(QWidget* parent, const QString& name, int maxLength, const QString& widthSample,
                    bool number, int padding = 12) {
    auto* e = named(new QLineEdit(parent), name);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    if (number)
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(widthSample) + padding);
    return e;
}

// A row of the window: controls, captions (a text becomes a label of the parent) and spacings
// (a number of pixels), ending in a stretch.
QHBoxLayout* row(QWidget* parent,
                 std::initializer_list<std::variant<QWidget*, QString, int>> items) {
    auto* layout = new QHBoxLayout;
    for (const auto& item : items) {
        if (const auto* w = std::get_if<QWidget*>(&item))
            layout->addWidget(*w);
        else if (const auto* text = std::get_if<QString>(&item))
            layout->addWidget(new QLabel(*text, parent));
        else
            layout->addSpacing(std::get<int>(item));
    }
    layout->addStretch();
    return layout;
}

} // namespace

frmSystem::frmSystem() {
    setObjectName(QStringLiteral("frmSystem"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("システム"));
    gSetFormCaption(this, 0);
    buildControls();
    if (!mSetup())
        gProcFatalError(QStringLiteral("frmSystem_Form_Load"));
}

void frmSystem::buildControls() {
    auto* central = new QWidget(this);
    fraSettings =
        named(new QGroupBox(QStringLiteral("各種設定"), central), QStringLiteral("fraSettings"));

    // Consumption tax
    fraTax =
        named(new QGroupBox(QStringLiteral(" 消費税関連"), fraSettings), QStringLiteral("fraTax"));
    Text1 = named(new QLineEdit(QStringLiteral("消費税"), fraTax), QStringLiteral("Text1"));
    Text1->setEnabled(false);
    Text1->setFixedWidth(Text1->fontMetrics().horizontalAdvance(QStringLiteral("消費税消")));
    lblTaxRate = named(new QLabel(settingDef(SettingNo::TaxRate).captionText(), fraTax),
                       QStringLiteral("lblTaxRate"));
    txtTaxRate = entryBox(fraTax, QStringLiteral("txtTaxRate"), 4, QStringLiteral("00000"), true);
    lblTaxRate->setBuddy(txtTaxRate);
    lblTaxRate2 = named(new QLabel(QStringLiteral("%"), fraTax), QStringLiteral("lblTaxRate2"));

    // The reduced-rate class and the rate table.
    cboTaxClass = named(new QComboBox(fraTax), QStringLiteral("cboTaxClass"));
    for (int c = settingDef(SettingNo::TaxClass).minimum;
         c <= settingDef(SettingNo::TaxClass).maximum; ++c)
        cboTaxClass->addItem(QStringLiteral("区分%1").arg(c), c);
    cboTaxEntry = named(new QComboBox(fraTax), QStringLiteral("cboTaxEntry"));
    cboTaxEntry->addItem(QStringLiteral("税抜"), 0);
    cboTaxEntry->addItem(QStringLiteral("税込"), 1);
    grdTaxRate = named(new QTableWidget(0, 3, fraTax), QStringLiteral("grdTaxRate"));
    grdTaxRate->setHorizontalHeaderLabels(
        {QStringLiteral("適用日"), QStringLiteral("標準税率 %"), QStringLiteral("軽減税率 %")});
    grdTaxRate->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A chosen row can be corrected or deleted while no ledger line takes its rate.
    grdTaxRate->setSelectionMode(QAbstractItemView::SingleSelection);
    grdTaxRate->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTaxRate->verticalHeader()->setVisible(false);
    grdTaxRate->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grdTaxRate->setFixedHeight(grdTaxRate->horizontalHeader()->sizeHint().height() +
                               6 * grdTaxRate->verticalHeader()->defaultSectionSize() + 4);
    txtRateFrom =
        entryBox(fraTax, QStringLiteral("txtRateFrom"), 0, QStringLiteral("0000/00/000"), false);
    txtRateFrom->setPlaceholderText(QStringLiteral("2030/04/01"));
    txtRateStandard =
        entryBox(fraTax, QStringLiteral("txtRateStandard"), 6, QStringLiteral("0000000"), true);
    txtRateReduced =
        entryBox(fraTax, QStringLiteral("txtRateReduced"), 6, QStringLiteral("0000000"), true);
    cmdAddTaxRate = named(new QPushButton(QStringLiteral("税率を追加"), fraTax),
                          QStringLiteral("cmdAddTaxRate"));
    cmdAddTaxRate->setAutoDefault(false);
    connect(cmdAddTaxRate, &QPushButton::clicked, this, [this] { cmdAddTaxRate_Click(); });
    // Enter in the last box adds the row, as the button does.
    connect(txtRateReduced, &QLineEdit::returnPressed, cmdAddTaxRate, &QPushButton::click);
    cmdChangeTaxRate = named(new QPushButton(QStringLiteral("選んだ行を修正"), fraTax),
                             QStringLiteral("cmdChangeTaxRate"));
    cmdDeleteTaxRate = named(new QPushButton(QStringLiteral("選んだ行を削除"), fraTax),
                             QStringLiteral("cmdDeleteTaxRate"));
    for (QPushButton* b : {cmdChangeTaxRate, cmdDeleteTaxRate}) {
        b->setAutoDefault(false);
        b->setEnabled(false);
    }
    connect(cmdChangeTaxRate, &QPushButton::clicked, this, [this] { cmdEditTaxRate_Click(true); });
    connect(cmdDeleteTaxRate, &QPushButton::clicked, this, [this] { cmdEditTaxRate_Click(false); });
    connect(grdTaxRate, &QTableWidget::currentCellChanged, this,
            [this](int current) { grdTaxRate_RowChosen(current); });
    connect(&gdbData().changeNotices(), &ChangeNotices::rowsChanged, this,
            [this](const QString& table) { otherChangedTaxRates(table); });

    auto* taxLayout = new QVBoxLayout(fraTax);
    taxLayout->addLayout(row(fraTax, {QStringLiteral("品名に"), Text1,
                                      QStringLiteral("という文字を含む伝票を消費税とする")}));
    taxLayout->addWidget(new QLabel(
        QStringLiteral("「消費税」と設定した場合、品名が「６月分消費税」でも消費税伝票とされます"),
        fraTax));
    taxLayout->addLayout(
        row(fraTax, {lblTaxRate, txtTaxRate, lblTaxRate2, 16,
                     QStringLiteral("仕入・売上入力画面の消費税予想で使うだけです。"
                                    "空欄なら下の税率表の期間末の標準税率を使います")}));
    taxLayout->addLayout(
        row(fraTax,
            {named(new QLabel(settingDef(SettingNo::TaxClass).captionText(), fraTax),
                   QStringLiteral("lblTaxClass")),
             cboTaxClass,
             QStringLiteral("（区分の画面で「軽減税率 (8%)」とした項目の伝票が軽減税率です）")}));
    taxLayout->addLayout(row(
        fraTax, {named(new QLabel(settingDef(SettingNo::TaxEntry).captionText(), fraTax),
                       QStringLiteral("lblTaxEntry")),
                 cboTaxEntry,
                 QStringLiteral("（伝票の金額が消費税を含むか。消費税集計表の計算に使います）")}));
    auto* tableBox = new QVBoxLayout;
    tableBox->addWidget(
        new QLabel(QStringLiteral("税率表（伝票の日付の税率で集計します）"), fraTax));
    tableBox->addWidget(grdTaxRate);
    tableBox->addLayout(row(fraTax, {QStringLiteral("適用日"), txtRateFrom, QStringLiteral("標準"),
                                     txtRateStandard, QStringLiteral("% 軽減"), txtRateReduced,
                                     QStringLiteral("%"), cmdAddTaxRate}));
    tableBox->addLayout(row(fraTax, {cmdChangeTaxRate, cmdDeleteTaxRate}));
    tableBox->addWidget(
        new QLabel(QStringLiteral("軽減税率を空欄にすると標準税率と同じになります。\n"
                                  "その税率を使う伝票がまだない行は、選んで修正・削除できます"),
                   fraTax));
    taxLayout->addLayout(tableBox);

    // Ledger words
    fraCaption = named(new QGroupBox(QStringLiteral(" 名称設定"), fraSettings),
                       QStringLiteral("fraCaption"));
    lblPurchase =
        named(new QLabel(settingDef(SettingNo::PurchaseCaption).captionText(), fraCaption),
              QStringLiteral("lblPurchase"));
    txtPurchaseCaption = entryBox(fraCaption, QStringLiteral("txtPurchaseCaption"),
                                  settingDef(SettingNo::PurchaseCaption).maximum,
                                  QStringLiteral("仕入帳"), false, 16);
    lblSales = named(new QLabel(settingDef(SettingNo::SaleCaption).captionText(), fraCaption),
                     QStringLiteral("lblSales"));
    txtSaleCaption =
        entryBox(fraCaption, QStringLiteral("txtSaleCaption"),
                 settingDef(SettingNo::SaleCaption).maximum, QStringLiteral("仕入帳"), false, 16);
    lblPurchase->setBuddy(txtPurchaseCaption);
    lblSales->setBuddy(txtSaleCaption);
    txtShopName = named(new QLineEdit(fraCaption), QStringLiteral("txtShopName"));
    txtShopName->setMaxLength(settingDef(SettingNo::ShopName).maximum);
    txtShopName->setToolTip(QStringLiteral("帳票の見出しに入ります"));
    auto* lblShopName = named(new QLabel(settingDef(SettingNo::ShopName).captionText(), fraCaption),
                              QStringLiteral("lblShopName"));
    lblShopName->setBuddy(txtShopName);
    auto* captionLayout = new QGridLayout(fraCaption);
    captionLayout->addWidget(lblPurchase, 0, 0);
    captionLayout->addWidget(txtPurchaseCaption, 0, 1);
    captionLayout->addWidget(lblSales, 1, 0);
    captionLayout->addWidget(txtSaleCaption, 1, 1);
    captionLayout->addWidget(lblShopName, 2, 0);
    captionLayout->addWidget(txtShopName, 2, 1, 1, 2);
    captionLayout->setColumnStretch(2, 1);

    // Supplier order
    frmSupplierSort =
        named(new QGroupBox(QLatin1Char(' ') + settingDef(SettingNo::SupplierOrder).captionText(),
                            fraSettings),
              QStringLiteral("frmSupplierSort"));
    optMasterSortOrder[0] = new QRadioButton(QStringLiteral("仕入先番号順"), frmSupplierSort);
    optMasterSortOrder[1] = new QRadioButton(QStringLiteral("表示名順"), frmSupplierSort);
    auto* sortLayout = new QVBoxLayout(frmSupplierSort);
    for (int i = 0; i < 2; ++i) {
        optMasterSortOrder[i]->setObjectName(QStringLiteral("optMasterSortOrder_%1").arg(i));
        sortLayout->addWidget(optMasterSortOrder[i]);
    }
    sortLayout->addStretch();

    // Close day: the caption's blank run "毎月         日" is where the list sits.
    Label6 =
        named(new QLabel(settingDef(SettingNo::CloseDay).captionText() + QStringLiteral("　 毎月"),
                         fraSettings),
              QStringLiteral("Label6"));
    cboCloseDay = named(new QComboBox(fraSettings), QStringLiteral("cboCloseDay"));
    gSetSelectionColour(cboCloseDay);
    cboCloseDay->setMinimumContentsLength(2);
    cboCloseDay->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboCloseDay->installEventFilter(this);
    cboCloseDay->view()->installEventFilter(this);
    Label6->setBuddy(cboCloseDay);
    auto* closeLayout = new QVBoxLayout;
    closeLayout->addLayout(row(fraSettings, {Label6, cboCloseDay,
                                             named(new QLabel(QStringLiteral("日"), fraSettings),
                                                   QStringLiteral("lblCloseDayUnit"))}));
    closeLayout->addWidget(
        new QLabel(QStringLiteral("31日に設定すると月末指定となります"), fraSettings));
    closeLayout->addWidget(
        new QLabel(QStringLiteral("(本ソフトウェアは決算日概念は導入していません)"), fraSettings));

    auto* lower = new QHBoxLayout;
    lower->addWidget(fraCaption);
    lower->addWidget(frmSupplierSort);
    lower->addStretch();
    // Automatic backups at shutdown
    fraAutoBackup =
        named(new QGroupBox(QLatin1Char(' ') + settingDef(SettingNo::AutoBackups).captionText(),
                            fraSettings),
              QStringLiteral("fraAutoBackup"));
    spnAutoBackup = named(new QSpinBox(fraAutoBackup), QStringLiteral("spnAutoBackup"));
    spnAutoBackup->setRange(settingDef(SettingNo::AutoBackups).minimum,
                            settingDef(SettingNo::AutoBackups).maximum);
    spnAutoBackup->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* backupLabel =
        new QLabel(QStringLiteral("終了時にデータの控えを作り、新しいものから"), fraAutoBackup);
    backupLabel->setBuddy(spnAutoBackup);
    auto* backupLayout = new QVBoxLayout(fraAutoBackup);
    backupLayout->addLayout(
        row(fraAutoBackup, {backupLabel, spnAutoBackup, QStringLiteral("個残す（0 で作らない）")}));
    backupLayout->addWidget(
        new QLabel(QStringLiteral("控えはデータファイルと同じ場所の「backups」フォルダに作られ、\n"
                                  "「バックアップ」画面から復元できます"),
                   fraAutoBackup));

    // The tax frame on the left, the other settings beside it: the window fits a 1366 × 768
    // screen with its title bar and a task bar.
    auto* side = new QVBoxLayout;
    side->addLayout(lower);
    side->addLayout(closeLayout);
    side->addWidget(fraAutoBackup);
    side->addStretch();
    auto* settingsLayout = new QHBoxLayout(fraSettings);
    settingsLayout->addWidget(fraTax, 1);
    settingsLayout->addLayout(side);

    cmdConnection = named(new QPushButton(QStringLiteral("接続先の設定..."), central),
                          QStringLiteral("cmdConnection"));
    cmdConnection->setAutoDefault(false);
    connect(cmdConnection, &QPushButton::clicked, this,
            [this] { gShowConnectionWindow(this, true); });
    cmdClose =
        named(new QPushButton(QStringLiteral("閉じる"), central), QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    cmdClose->setMinimumWidth(90);
    connect(cmdClose, &QPushButton::clicked, this, &frmSystem::close);
    // Esc closes the window as well (a list that is open takes its own Esc first).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmSystem::close);

    auto* outer = new QVBoxLayout(central);
    outer->addWidget(fraSettings);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdConnection);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    outer->addLayout(buttons);
    outer->setContentsMargins(12, 12, 12, 12);
    setCentralWidget(central);

    gAddHelpMenu(menuBar(), QStringLiteral("frmSystem"));
}

bool frmSystem::mSetup() {
    cboCloseDay->clear();
    for (int day = settingDef(SettingNo::CloseDay).minimum;
         day <= settingDef(SettingNo::CloseDay).maximum; ++day)
        cboCloseDay->addItem(gCloseDayItemText(day), day);

    SystemSettingsValues v;
    if (!gReadSystemSettings(v))
        return false;
    m_closeDayRead = v.closeDay;
    cboCloseDay->setCurrentIndex(cboCloseDay->findData(v.closeDay));
    optMasterSortOrder[v.sortOrder == 1 ? 1 : 0]->setChecked(true);
    txtPurchaseCaption->setText(v.purchaseCaption);
    txtSaleCaption->setText(v.saleCaption);
    txtTaxRate->setText(v.taxRate ? gFormatTaxRate(*v.taxRate) : QString());
    cboTaxClass->setCurrentIndex(cboTaxClass->findData(v.taxClass));
    cboTaxEntry->setCurrentIndex(v.taxEntry == 1 ? 1 : 0);
    txtShopName->setText(v.shopName);
    spnAutoBackup->setValue(v.autoBackups);
    cmdAddTaxRate->setEnabled(!gDataFileReadOnly());
    return mLoadTaxRates();
}

bool frmSystem::mLoadTaxRates() {
    QList<TaxRate> rates;
    if (!gGetTaxRates(gdbData(), rates))
        return false;
    m_rates = rates;
    grdTaxRate->setRowCount(static_cast<int>(rates.size()));
    for (int i = 0; i < rates.size(); ++i) {
        const TaxRate& r = rates.at(i);
        const QStringList cells{termDateText(r.from), gFormatTaxRate(r.standard),
                                gFormatTaxRate(r.reduced)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            item->setTextAlignment(c == 0 ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter));
            grdTaxRate->setItem(i, c, item);
        }
    }
    grdTaxRate->setCurrentCell(-1, -1);
    grdTaxRate->clearSelection();
    grdTaxRate_RowChosen(-1);
    grdTaxRate->scrollToBottom();
    return true;
}

namespace {

QString rateRowText(const TaxRate& r) {
    return QStringLiteral("適用日 %1、標準税率 %2%、軽減税率 %3%")
        .arg(termDateText(r.from), gFormatTaxRate(r.standard), gFormatTaxRate(r.reduced));
}

bool askTaxRate(const QString& text) {
    return svc().prompt().show(text, gstrAppTitle,
                               MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2) ==
           MsgResult::Yes;
}

} // namespace

void frmSystem::grdTaxRate_RowChosen(int row) {
    const bool chosen = row >= 0 && row < m_rates.size();
    cmdChangeTaxRate->setEnabled(chosen && !gDataFileReadOnly());
    cmdDeleteTaxRate->setEnabled(chosen && !gDataFileReadOnly());
    if (!chosen)
        return;
    // The row's values go into the boxes, to be corrected there.
    const TaxRate& r = m_rates.at(row);
    txtRateFrom->setText(termDateText(r.from));
    txtRateStandard->setText(gFormatTaxRate(r.standard));
    txtRateReduced->setText(gFormatTaxRate(r.reduced));
}

void frmSystem::cmdEditTaxRate_Click(bool correct) {
    const int at = grdTaxRate->currentRow();
    if (at < 0 || at >= m_rates.size())
        return;
    const TaxRate old = m_rates.at(at);
    std::optional<TaxRate> replacement;
    if (correct) {
        replacement = mReadTaxRateBoxes();
        if (!replacement)
            return;
    }
    TaxRateEditRefusal refusal = TaxRateEditRefusal::None;
    TaxRateRefusal refused = TaxRateRefusal::None;
    if (!gChkTaxRateEdit(gdbData(), old.from, replacement, refusal, refused)) {
        gProcFatalError(QStringLiteral("frmSystem_cmdEditTaxRate_Click"));
        return;
    }
    const QString doing = correct ? QStringLiteral("修正") : QStringLiteral("削除");
    switch (refusal) {
    case TaxRateEditRefusal::None:
        break;
    case TaxRateEditRefusal::LinesDependOnIt:
        svc().prompt().show(QStringLiteral("%1 からの税率を使う伝票があるため、%2できません。")
                                .arg(termDateText(old.from), doing),
                            gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    case TaxRateEditRefusal::LinesWouldDependOnIt:
        svc().prompt().show(QStringLiteral("修正すると、%1 からの税率を使うことになる伝票が"
                                           "あるため、修正できません。")
                                .arg(termDateText(replacement->from)),
                            gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
        txtRateFrom->setFocus();
        return;
    case TaxRateEditRefusal::Refused:
        svc().prompt().show(gTaxRateRefusalText(refused), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        (refused == TaxRateRefusal::RateOutOfRange ? txtRateStandard : txtRateFrom)->setFocus();
        return;
    }
    const QString question =
        correct ? QStringLiteral("税率表の行\r\n%1\r\nを\r\n%2\r\nに修正します。よろしいですか？")
                      .arg(rateRowText(old), rateRowText(*replacement))
                : QStringLiteral("税率表の行\r\n%1\r\nを削除します。よろしいですか？")
                      .arg(rateRowText(old));
    if (!askTaxRate(question))
        return;
    bool conflict = false;
    if (!gEditTaxRate(gdbData(), old.from, replacement, &old, &conflict) && conflict) {
        // Another program changed the row since it was shown: its values are shown instead.
        svc().prompt().show(gRowChangedElsewhereText(), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        if (!mLoadTaxRates())
            gProcFatalError(QStringLiteral("frmSystem_cmdEditTaxRate_Click"));
        return;
    }
    if (conflict || !mLoadTaxRates()) {
        gProcFatalError(QStringLiteral("frmSystem_cmdEditTaxRate_Click"));
        return;
    }
    for (QLineEdit* e : {txtRateFrom, txtRateStandard, txtRateReduced})
        e->clear();
}

void frmSystem::otherChangedTaxRates(const QString& table) {
    if (table != QLatin1String("T_TAX_RATE"))
        return;
    const int at = grdTaxRate->currentRow();
    const bool wasChosen = at >= 0 && at < m_rates.size();
    const TaxRate chosen = wasChosen ? m_rates.at(at) : TaxRate();
    {
        // Reading the table again leaves the boxes as typed.
        const QSignalBlocker quiet(grdTaxRate);
        if (!mLoadTaxRates()) {
            gProcFatalError(QStringLiteral("frmSystem_otherChangedTaxRates"));
            return;
        }
        for (int i = 0; wasChosen && i < m_rates.size(); ++i) {
            const TaxRate& r = m_rates.at(i);
            if (r.from == chosen.from && r.standard == chosen.standard &&
                r.reduced == chosen.reduced) {
                grdTaxRate->setCurrentCell(i, 0);
                cmdChangeTaxRate->setEnabled(!gDataFileReadOnly());
                cmdDeleteTaxRate->setEnabled(!gDataFileReadOnly());
            }
        }
    }
}

std::optional<TaxRate> frmSystem::mReadTaxRateBoxes() {
    const auto refuse = [this](const QString& text, QLineEdit* focus) {
        svc().prompt().show(text, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
        focus->setFocus();
    };
    TaxRate row;
    row.from = termDateFromText(txtRateFrom->text().trimmed().replace(u'-', u'/'));
    const std::optional<Currency> standard = gParseTaxRate(txtRateStandard->text());
    const QString reducedText = txtRateReduced->text().trimmed();
    const std::optional<Currency> reduced =
        reducedText.isEmpty() ? standard : gParseTaxRate(reducedText);
    if (!row.from.isValid()) {
        refuse(gTaxRateRefusalText(TaxRateRefusal::InvalidDate), txtRateFrom);
        return {};
    }
    if (!standard || !reduced) {
        txtRateStandard->setFocus();
        gDispMsg(2, QStringLiteral("税率 に"));
        return {};
    }
    row.standard = *standard;
    row.reduced = *reduced;
    return row;
}

void frmSystem::cmdAddTaxRate_Click() {
    const auto refuse = [this](const QString& text, QLineEdit* focus) {
        svc().prompt().show(text, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
        focus->setFocus();
    };
    const std::optional<TaxRate> read = mReadTaxRateBoxes();
    if (!read)
        return;
    const TaxRate row = *read;
    QList<TaxRate> rates;
    if (!gGetTaxRates(gdbData(), rates)) {
        gProcFatalError(QStringLiteral("frmSystem_cmdAddTaxRate_Click"));
        return;
    }
    const TaxRateRefusal refusal = gChkTaxRate(rates, row);
    if (refusal != TaxRateRefusal::None) {
        refuse(gTaxRateRefusalText(refusal),
               refusal == TaxRateRefusal::RateOutOfRange ? txtRateStandard : txtRateFrom);
        return;
    }
    if (!askTaxRate(QStringLiteral("税率表に\r\n%1\r\nの行を追加します。よろしいですか？")
                        .arg(rateRowText(row))))
        return;
    if (!gAddTaxRate(gdbData(), row) || !mLoadTaxRates()) {
        gProcFatalError(QStringLiteral("frmSystem_cmdAddTaxRate_Click"));
        return;
    }
    for (QLineEdit* e : {txtRateFrom, txtRateStandard, txtRateReduced})
        e->clear();
}

bool frmSystem::mSave() {
    // An empty box: the estimate takes the rate table's rate.
    const bool noRate = txtTaxRate->text().trimmed().isEmpty();
    const std::optional<Currency> rate =
        noRate ? std::optional<Currency>(Currency()) : gParseTaxRate(txtTaxRate->text());
    // Digits too many for a rate are out of range, not "no number".
    static const QRegularExpression digits(
        QStringLiteral("^\\s*[0-9０-９]+([.．][0-9０-９]*)?\\s*$"));
    if (!rate && digits.match(txtTaxRate->text()).hasMatch()) {
        txtTaxRate->setFocus();
        svc().prompt().show(gTaxRateRangeText(), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return false;
    }
    if (!rate) {
        txtTaxRate->setFocus();
        gDispMsg(2, lblTaxRate->text() + QStringLiteral(" に"));
        return false;
    }
    if (!gTaxRateInRange(*rate)) {
        txtTaxRate->setFocus();
        svc().prompt().show(gTaxRateRangeText(), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return false;
    }
    for (QLineEdit* word : {txtPurchaseCaption, txtSaleCaption}) {
        if (word->text().trimmed().isEmpty()) {
            word->setFocus();
            svc().prompt().show(QStringLiteral("帳簿の名前（仕入・売上）を入力してください。\r\n"
                                               "空欄では、画面の見出しが区別できなくなります。"),
                                gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
            return false;
        }
    }
    SystemSettingsValues v;
    const int day = gCloseDayFromText(cboCloseDay->currentText());
    v.closeDay = day != 0 ? day : m_closeDayRead;
    v.sortOrder = optMasterSortOrder[1]->isChecked() ? 1 : 0;
    v.purchaseCaption = txtPurchaseCaption->text();
    v.saleCaption = txtSaleCaption->text();
    if (!noRate)
        v.taxRate = *rate;
    v.taxClass = cboTaxClass->currentData().toInt();
    v.autoBackups = spnAutoBackup->value();
    v.taxEntry = cboTaxEntry->currentData().toInt();
    v.shopName = txtShopName->text();
    if (!gWriteSystemSettings(v))
        gProcFatalError(QStringLiteral("frmSystem_Form_Unload"));
    return true;
}

void frmSystem::closeEvent(QCloseEvent* event) {
    if (!mSave()) {
        event->ignore();
        return;
    }
    event->accept();
    gShowMenu();
}

bool frmSystem::eventFilter(QObject* watched, QEvent* event) {
    // The close day is chosen from the list only: typed characters are dropped (arrow keys,
    // Enter and the like still move through the list).
    if ((watched == cboCloseDay || watched == cboCloseDay->view()) &&
        event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
