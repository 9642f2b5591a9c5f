#include "maintenance/frmConnection.h"

#include "base/Services.h"
#include "store/DataLocation.h"
#include "store/Database.h"
#include "store/ServerSchema.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <typename T> T* named(T* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

void tell(const QString& text, int icon) {
    svc().prompt().show(text, QString(), MsgStyle::OKOnly | icon);
}

} // namespace

frmConnection::frmConnection(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConnection"));
    setWindowTitle(QStringLiteral("接続先の設定"));
    optDataFile =
        named(new QRadioButton(QStringLiteral("データファイル（このパソコンの帳簿）"), this),
              QStringLiteral("optDataFile"));
    optServer = named(new QRadioButton(QStringLiteral("サーバー（PostgreSQL）の帳簿"), this),
                      QStringLiteral("optServer"));
    fraServer = named(new QGroupBox(QStringLiteral("サーバー"), this), QStringLiteral("fraServer"));
    txtHost = named(new QLineEdit(fraServer), QStringLiteral("txtHost"));
    txtHost->setPlaceholderText(QStringLiteral("空欄: このパソコン"));
    spnPort = named(new QSpinBox(fraServer), QStringLiteral("spnPort"));
    spnPort->setRange(1, 65535);
    spnPort->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spnPort->setMaximumWidth(100);
    txtDatabase = named(new QLineEdit(fraServer), QStringLiteral("txtDatabase"));
    txtUser = named(new QLineEdit(fraServer), QStringLiteral("txtUser"));
    txtUser->setPlaceholderText(QStringLiteral("空欄: ログイン名"));
    auto* form = new QFormLayout(fraServer);
    form->addRow(QStringLiteral("ホスト"), txtHost);
    form->addRow(QStringLiteral("ポート"), spnPort);
    form->addRow(QStringLiteral("データベース"), txtDatabase);
    form->addRow(QStringLiteral("ユーザー"), txtUser);
    lblPassword = named(new QLabel(QStringLiteral("パスワードは保存しません。\n"
                                                  "~/.pgpass に書いておくか、接続するときに入力"
                                                  "してください。"),
                                   fraServer),
                        QStringLiteral("lblPassword"));
    form->addRow(lblPassword);
    lblNextStart = named(new QLabel(QStringLiteral("設定は次に起動したときから使われます。"), this),
                         QStringLiteral("lblNextStart"));
    cmdTest =
        named(new QPushButton(QStringLiteral("接続テスト"), fraServer), QStringLiteral("cmdTest"));
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(cmdTest);
    testRow->addStretch();
    form->addRow(QString(), testRow);
    cmdSave = named(new QPushButton(QStringLiteral("保存"), this), QStringLiteral("cmdSave"));
    cmdCancel =
        named(new QPushButton(QStringLiteral("キャンセル"), this), QStringLiteral("cmdCancel"));
    for (QPushButton* b : {cmdTest, cmdSave, cmdCancel})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(optDataFile);
    outer->addWidget(optServer);
    outer->addWidget(fraServer);
    outer->addWidget(lblNextStart);
    outer->addLayout(buttons);
    setMinimumWidth(440);

    connect(optServer, &QRadioButton::toggled, fraServer, &QWidget::setEnabled);
    connect(cmdTest, &QPushButton::clicked, this, &frmConnection::cmdTest_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmConnection::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    const ServerChoice c = gReadServerChoice();
    (c.useServer ? optServer : optDataFile)->setChecked(true);
    fraServer->setEnabled(c.useServer);
    txtHost->setText(c.host);
    spnPort->setValue(c.port);
    txtDatabase->setText(c.database);
    txtUser->setText(c.user);
}

ServerChoice frmConnection::choice() const {
    ServerChoice c;
    c.useServer = optServer->isChecked();
    c.host = txtHost->text().trimmed();
    c.port = spnPort->value();
    c.database = txtDatabase->text().trimmed();
    c.user = txtUser->text().trimmed();
    return c;
}

void frmConnection::cmdTest_Click() {
    ServerChoice c = choice();
    if (c.database.isEmpty()) {
        tell(QStringLiteral("データベース名を入力してください。"), MsgStyle::Exclamation);
        txtDatabase->setFocus();
        return;
    }
    c.useServer = true;
    Database db;
    bool ok = db.openServer(gServerChoiceConnInfo(c), QStringLiteral("frmConnection_cmdTest"));
    if (!ok && db.serverWantsPassword()) {
        const QString password =
            svc().dialogs().askPassword(QStringLiteral("サーバーのパスワードを入力してください。"));
        if (password.isEmpty())
            return;
        ok = db.openServer(gServerChoiceConnInfo(c), QStringLiteral("frmConnection_cmdTest"),
                           password);
    }
    if (!ok) {
        tell(QStringLiteral("接続できません。\r\n") + gServerConnectFailureText(db.serverFailure()),
             MsgStyle::Exclamation);
        return;
    }
    int version = 0;
    const ServerSchemaState state = gServerSchemaState(db, &version);
    if (state == ServerSchemaState::Current || state == ServerSchemaState::Older)
        tell(QStringLiteral("接続できました。"), MsgStyle::Information);
    else
        tell(QStringLiteral("接続はできましたが、この帳簿は使えません。\r\n") +
                 gServerSchemaStateText(state, version),
             MsgStyle::Exclamation);
}

void frmConnection::cmdSave_Click() {
    const ServerChoice c = choice();
    if (c.useServer && c.database.isEmpty()) {
        tell(QStringLiteral("データベース名を入力してください。"), MsgStyle::Exclamation);
        txtDatabase->setFocus();
        return;
    }
    if (!gWriteServerChoice(c)) {
        tell(QStringLiteral("接続先の設定を保存できませんでした。\r\n"
                            "ホームフォルダーの .config に書き込めるか確認してください。"),
             MsgStyle::Critical);
        return;
    }
    accept();
}

bool gShowConnectionWindow(QWidget* parent, bool nextStart) {
    frmConnection w(parent);
    w.lblNextStart->setVisible(nextStart);
    return w.exec() == QDialog::Accepted;
}
