#include "ledger/frmDataCheck0.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LedgerStore.h"
#include "ledger/frmData.h"
#include "store/Database.h"
#include "widgets/FormHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

frmDataCheck0::frmDataCheck0() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmDataCheck0"));
    setWindowTitle(QStringLiteral("チェックのリセット"));
    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmDataCheck0"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(18, 14, 18, 14);
    auto* note1 = new QLabel(QStringLiteral("「チェック」経理確認用などにお使いください"), central);
    auto* note2 = new QLabel(QStringLiteral("数値を入力することが出来ます"), central);
    layout->addWidget(note1);
    layout->addWidget(note2);
    auto* row = new QHBoxLayout();
    cboSetting = new QComboBox(central);
    cboSetting->setObjectName(QStringLiteral("cboSetting"));
    QPalette yellow = cboSetting->palette();
    yellow.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xC0));
    yellow.setColor(QPalette::Button, QColor(0xFF, 0xFF, 0xC0));
    cboSetting->setPalette(yellow);
    gSetMoveFocusByKey(cboSetting, true);
    lblSetting = new QLabel(central);
    lblSetting->setObjectName(QStringLiteral("lblSetting"));
    row->addWidget(cboSetting);
    row->addWidget(lblSetting);
    row->addStretch();
    layout->addLayout(row);
    cmdCheckTo0 = new QPushButton(QStringLiteral("すべて０"), central);
    cmdCheckTo0->setObjectName(QStringLiteral("cmdCheckTo0"));
    cmdCheckTo0->setMinimumWidth(120);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(cmdCheckTo0);
    layout->addLayout(buttons);
    setCentralWidget(central);
    connect(cmdCheckTo0, &QPushButton::clicked, this, [this] { cmdCheckTo0_Click(); });

    if (!formLoad())
        gProcFatalError(QStringLiteral("frmDataCheck0_Form_Load"));
}

bool frmDataCheck0::formLoad() {
    gSetFormCaption(this, 0);
    cboSetting->addItems({QStringLiteral("全ての"), QStringLiteral("現在の")});
    cboSetting->setCurrentIndex(1);
    switch (glngDataKind) {
    case 1:
        lblSetting->setText(QStringLiteral("仕入先のチェックを０にする"));
        return true;
    case 2:
        lblSetting->setText(QStringLiteral("売上先のチェックを０にする"));
        return true;
    default:
        gProcError(QStringLiteral("frmDataCheck0_Form_Load"),
                   QStringLiteral("glngDataKind=") + QString::number(glngDataKind));
        return false;
    }
}

void frmDataCheck0::cmdCheckTo0_Click() {
    std::optional<qint32> masterID;
    frmData* ledger = frmData::existing();
    if (cboSetting->currentText() == QStringLiteral("現在の")) {
        const QString text = ledger ? ledger->txtMasterID->text() : QString();
        bool ok = false;
        const qint32 id = text.toInt(&ok);
        if (text.isEmpty() || !ok) {
            svc().prompt().show(QStringLiteral("対象が選択されていません"), QString(),
                                MsgStyle::OKOnly);
            return;
        }
        masterID = id;
    }
    // Every mark of the scope goes at once: asked first, "いいえ" changes nothing.
    const QString question =
        cboSetting->currentText() +
        (glngDataKind == 2 ? QStringLiteral("売上先") : QStringLiteral("仕入先")) +
        QStringLiteral("のチェックを０にします。よろしいですか？");
    if (svc().prompt().show(question, QString(),
                            MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2) !=
        MsgResult::Yes)
        return;
    LedgerStore store(glngDataKind, gdbData());
    // A failure is in the error log already; the marks stay as they were.
    qint64 group = 0;
    if (!store.resetChecks(masterID, &group))
        return;
    if (ledger && group != 0)
        ledger->mRecordChange(group);
    if (ledger && !ledger->mRefreshView()) {
        gProcFatalError(QStringLiteral("frmDataCheck0_cmdCheckTo0_Click"));
        return;
    }
    svc().prompt().show(QStringLiteral("処理が完了しました"), QString(), MsgStyle::OKOnly);
}
