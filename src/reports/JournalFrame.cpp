#include "reports/JournalFrame.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/Journal.h"
#include "reports/ReportRegistry.h"
#include "store/Database.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "widgets/FormHelpers.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The account settings with the captions of their boxes.
struct AccountBox {
    int setting;
    const char16_t* caption;
};
constexpr AccountBox kAccountBoxes[] = {
    {SettingNo::JournalPurchases, u"仕入"},      {SettingNo::JournalPayables, u"買掛"},
    {SettingNo::JournalCash, u"支払・入金"},     {SettingNo::JournalReceivables, u"売掛"},
    {SettingNo::JournalSales, u"売上"},          {SettingNo::JournalInputTax, u"仮払消費税"},
    {SettingNo::JournalOutputTax, u"仮受消費税"}};

} // namespace

JournalFrame::JournalFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(gReportCaption(QStringLiteral("journal")), host, parent) {
    setObjectName(QStringLiteral("FrameJournal"));
    cboJournalStartDate = dateBox("cboJournalStartDate");
    cboJournalEndDate = dateBox("cboJournalEndDate");
    optJournalYayoi = new QRadioButton(QStringLiteral("弥生インポート形式"), this);
    optJournalYayoi->setObjectName(QStringLiteral("optJournalYayoi"));
    optJournalYayoi->setChecked(true);
    optJournalGeneric = new QRadioButton(QStringLiteral("汎用 CSV"), this);
    optJournalGeneric->setObjectName(QStringLiteral("optJournalGeneric"));
    cmdMakeJournal = new QPushButton(QStringLiteral("作 成"), this);
    cmdMakeJournal->setObjectName(QStringLiteral("cmdMakeJournal"));
    cmdMakeJournal->setMinimumWidth(96);
    connect(cmdMakeJournal, &QPushButton::clicked, this, [this] { cmdMakeJournal_Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("仕入帳・売上帳の行を会計ソフトに取り込む仕訳として書き出します"), this));
    auto* row = new QHBoxLayout();
    row->addWidget(cboJournalStartDate);
    row->addWidget(new QLabel(QStringLiteral("～"), this));
    row->addWidget(cboJournalEndDate);
    row->addSpacing(8);
    row->addWidget(optJournalYayoi);
    row->addWidget(optJournalGeneric);
    row->addStretch(1);
    row->addWidget(cmdMakeJournal);
    layout->addLayout(row);
    auto* accounts = new QGridLayout();
    int i = 0;
    for (const AccountBox& b : kAccountBoxes) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("txtJournalAccount%1").arg(i));
        edit->setMaxLength(settingDef(SettingNo::JournalPurchases).maximum);
        txtJournalAccount << edit;
        accounts->addWidget(new QLabel(QString::fromUtf16(b.caption), this), i / 4, (i % 4) * 2);
        accounts->addWidget(edit, i / 4, (i % 4) * 2 + 1);
        ++i;
    }
    layout->addLayout(accounts);
}

bool JournalFrame::formLoad() {
    TermLists lists;
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay) || !gGetTermLists(svc().clock().today(), closeDay, lists)) {
        gProcError(QStringLiteral("frmPrint_Journal_Load"));
        return false;
    }
    cboJournalStartDate->clear();
    cboJournalStartDate->addItems(lists.startItems);
    cboJournalStartDate->setEditText(lists.startText);
    cboJournalEndDate->clear();
    cboJournalEndDate->addItems(lists.endItems);
    cboJournalEndDate->setEditText(lists.endText);
    for (qsizetype i = 0; i < txtJournalAccount.size(); ++i) {
        QString name;
        if (!gGetSetting(kAccountBoxes[i].setting, name)) {
            gProcError(QStringLiteral("frmPrint_Journal_Load"));
            return false;
        }
        txtJournalAccount.at(i)->setText(name);
    }
    return true;
}

bool JournalFrame::storeAccounts() {
    for (qsizetype i = 0; i < txtJournalAccount.size(); ++i) {
        const int number = kAccountBoxes[i].setting;
        QString stored;
        QString typed = txtJournalAccount.at(i)->text().trimmed();
        if (typed.isEmpty())
            typed = gFindSettingDef(number)->defaultString();
        txtJournalAccount.at(i)->setText(typed);
        if (!gGetSetting(number, stored) || (stored != typed && !gSetSystemStrField(number, typed)))
            return false;
    }
    return true;
}

void JournalFrame::cmdMakeJournal_Click() {
    if (host().isBusy())
        return;
    JournalParams p;
    // The boxes take what the ledger's date column takes; the run reads "yyyy/MM/dd".
    if (!gReadDateBox(cboJournalStartDate).isValid() || !gReadDateBox(cboJournalEndDate).isValid())
        return;
    p.startText = cboJournalStartDate->currentText().trimmed();
    p.endText = cboJournalEndDate->currentText().trimmed();
    p.format = optJournalGeneric->isChecked() ? JournalFormat::Generic : JournalFormat::Yayoi;
    p.suppliers = host().suppliers();
    p.outputFolder = host().outputFolder();
    if (!storeAccounts()) {
        gProcError(QStringLiteral("frmPrint_cmdMakeJournal_Click"));
        return;
    }
    QString saved;
    switch (gMakeJournal(gdbData(), p, &saved)) {
    case JournalOutcome::Written:
        svc().prompt().show(QStringLiteral("仕訳ファイルを作成しました。\r\n\r\n") +
                                QDir::toNativeSeparators(saved),
                            gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        break;
    case JournalOutcome::InvalidInput:
        // The dates were read above: a start after the end.
        cboJournalStartDate->setFocus();
        break;
    case JournalOutcome::Failed:
        gProcError(QStringLiteral("frmPrint_cmdMakeJournal_Click"));
        break;
    default:
        break;
    }
}
