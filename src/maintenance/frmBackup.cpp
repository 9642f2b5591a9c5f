#include "maintenance/frmBackup.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "maintenance/Backup.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"
#include "util/FileHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QGroupBox* makeHalf(QWidget* parent, const QString& name, const QString& caption, QLabel*& image,
                    QStyle::StandardPixmap pixmap, QLabel*& msg, const QString& msgText,
                    QLabel*& msg2, const QString& msg2Text, QPushButton*& button,
                    const QString& buttonName) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    image = new QLabel(box);
    image->setPixmap(parent->style()->standardIcon(pixmap).pixmap(48, 48));
    image->setFixedSize(56, 56);
    image->setAlignment(Qt::AlignCenter);
    msg = new QLabel(msgText, box);
    msg2 = new QLabel(msg2Text, box);
    button = new QPushButton(QStringLiteral("進 む"), box);
    button->setObjectName(buttonName);
    button->setMinimumWidth(96);
    auto* grid = new QGridLayout(box);
    grid->addWidget(image, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(msg, 0, 1);
    grid->addWidget(msg2, 1, 1);
    grid->addWidget(button, 2, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    return box;
}

} // namespace

frmBackup::frmBackup() {
    setObjectName(QStringLiteral("frmBackup"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("バックアップ"));
    gSetFormCaption(this, 0);

    auto* central = new QWidget(this);
    fraBackup =
        makeHalf(central, QStringLiteral("fraBackup"), QStringLiteral("バックアップする"),
                 imgBackup, QStyle::SP_DialogSaveButton, lblBackupMsg,
                 QStringLiteral("現在のデータをバックアップします。"), lblBackupMsg2,
                 QStringLiteral("「進む」ボタンを押して、バックアップ先を指定してください。"),
                 cmdBackup, QStringLiteral("cmdBackup"));
    fraRestore =
        makeHalf(central, QStringLiteral("fraRestore"), QStringLiteral("バックアップデータに戻す"),
                 imgRestore, QStyle::SP_BrowserReload, lblRestoreMsg,
                 QStringLiteral("現在のデータとバックアップデータを置き換えます。"), lblRestoreMsg2,
                 QStringLiteral("「進む」ボタンを押して、バックアップデータを選択してください。"),
                 cmdRestore, QStringLiteral("cmdRestore"));
    imgBackup->setObjectName(QStringLiteral("imgBackup"));
    lblBackupMsg->setObjectName(QStringLiteral("lblBackupMsg"));
    lblBackupMsg2->setObjectName(QStringLiteral("lblBackupMsg2"));
    imgRestore->setObjectName(QStringLiteral("imgRestore"));
    lblRestoreMsg->setObjectName(QStringLiteral("lblRestoreMsg"));
    lblRestoreMsg2->setObjectName(QStringLiteral("lblRestoreMsg2"));

    fraAutoBackup = new QGroupBox(QStringLiteral("自動バックアップに戻す"), central);
    fraAutoBackup->setObjectName(QStringLiteral("fraAutoBackup"));
    lstAutoBackup = new QTableWidget(0, 4, fraAutoBackup);
    lstAutoBackup->setObjectName(QStringLiteral("lstAutoBackup"));
    lstAutoBackup->setHorizontalHeaderLabels({QStringLiteral("作成日時"), QStringLiteral("サイズ"),
                                              QStringLiteral("仕入先数"),
                                              QStringLiteral("明細行数")});
    lstAutoBackup->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstAutoBackup->setSelectionMode(QAbstractItemView::SingleSelection);
    lstAutoBackup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstAutoBackup->verticalHeader()->setVisible(false);
    lstAutoBackup->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {160, 90, 70, 90};
    int tableWidth = 2 * lstAutoBackup->frameWidth() + 20; // room for the scroll bar
    for (int c = 0; c < 4; ++c) {
        lstAutoBackup->setColumnWidth(c, widths[c]);
        tableWidth += widths[c];
    }
    lstAutoBackup->setMinimumSize(tableWidth, 150);
    cmdRestoreAuto = new QPushButton(QStringLiteral("選んだ控えに戻す"), fraAutoBackup);
    cmdRestoreAuto->setObjectName(QStringLiteral("cmdRestoreAuto"));
    // The data the last restore replaced, kept beside the data file.
    cmdRestoreBefore = new QPushButton(QStringLiteral("復元前のデータに戻す"), fraAutoBackup);
    cmdRestoreBefore->setObjectName(QStringLiteral("cmdRestoreBefore"));
    auto* autoLayout = new QVBoxLayout(fraAutoBackup);
    autoLayout->addWidget(
        new QLabel(QStringLiteral("終了時に自動で作られた控えです。戻す控えを選んでください。"),
                   fraAutoBackup));
    autoLayout->addWidget(lstAutoBackup);
    auto* autoButtons = new QHBoxLayout;
    autoButtons->addStretch(1);
    autoButtons->addWidget(cmdRestoreBefore);
    autoButtons->addWidget(cmdRestoreAuto);
    autoLayout->addLayout(autoButtons);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(fraBackup);
    layout->addWidget(fraRestore);
    layout->addWidget(fraAutoBackup);
    layout->setSpacing(12);
    layout->setContentsMargins(16, 16, 16, 16);
    setCentralWidget(central);

    connect(cmdBackup, &QPushButton::clicked, this, &frmBackup::cmdBackup_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &frmBackup::cmdRestore_Click);
    connect(cmdRestoreAuto, &QPushButton::clicked, this, &frmBackup::cmdRestoreAuto_Click);
    connect(cmdRestoreBefore, &QPushButton::clicked, this,
            [this] { mRestoreFrom(svc().paths().db + kBeforeRestoreSuffix); });
    connect(lstAutoBackup, &QTableWidget::cellDoubleClicked, this,
            [this] { cmdRestoreAuto_Click(); });
    mListAutoBackups();
    // The automatic copies are the data file's; books on a server have none.
    fraAutoBackup->setVisible(!gdbData().isServer());

    gAddHelpMenu(menuBar(), QStringLiteral("frmBackup"));
}

void frmBackup::cmdBackup_Click() {
    QString desktop;
    if (!gGetDesktopPath(desktop)) {
        gProcError(QStringLiteral("frmBackup_cmdBackup_Click"));
        return;
    }
    const QString folder =
        gBrowseForFolder(QStringLiteral("バックアップ先のフォルダを指定してください。"), desktop);
    if (folder.isEmpty())
        return;
    if (!gChkBackupSpace(folder)) {
        svc().prompt().show(QStringLiteral("　バックアップ先の保存容量が足りないか　\r\n"
                                           "　バックアップ先に書き込むことができません。　\r\n"
                                           "\r\n"
                                           "　バックアップ先を変更してください。　\r\n"),
                            QString(), MsgStyle::OKOnly);
        return;
    }
    QString refusal;
    bool cancelled = false;
    if (gProcDataBackup(gdbData(), folder, nullptr, &refusal, &cancelled)) {
        // The restore starts in this folder next time.
        if (!gSetSystemStrField(SettingNo::LastBackupFolder, folder))
            gProcError(QStringLiteral("frmBackup_cmdBackup_Click"), folder);
        gDispMsg(6, QStringLiteral("バックアップを"));
    } else if (cancelled)
        ; // nothing was written, nothing to say
    else if (!refusal.isEmpty())
        svc().prompt().show(refusal, QString(), MsgStyle::OKOnly | MsgStyle::Critical);
    else
        gDispMsg(7, QStringLiteral("問題が発生したため、バックアップ処理は"));
    if (!gdbData().isOpen())
        gProcFatalError(QStringLiteral("frmBackup_cmdBackup_Click"));
}

void frmBackup::cmdRestore_Click() {
    // The folder of the last backup made here; the desktop when there is none (any more).
    QString start;
    if (!gGetSetting(SettingNo::LastBackupFolder, start)) {
        gProcError(QStringLiteral("frmBackup_cmdRestore_Click"));
        start.clear();
    }
    if ((start.isEmpty() || !QFileInfo(start).isDir()) && !gGetDesktopPath(start)) {
        gProcFatalError(QStringLiteral("frmBackup_cmdRestore_Click"));
        return;
    }
    const QString ext = kBackupExtension;
    const QString before = kBeforeRestoreSuffix.mid(1);
    // Backups and the data a restore replaced ("db1.before-restore") together first.
    const QString filter =
        gstrAppTitle + QStringLiteral("バックアップファイル・復元前のデータ (*.") + ext +
        QStringLiteral(" *.") + before + QStringLiteral(");;") + gstrAppTitle +
        QStringLiteral("バックアップファイル(*.") + ext.toUpper() + QStringLiteral(") (*.") + ext +
        QStringLiteral(");;復元前のデータ (*.") + before + QLatin1Char(')');
    const QString file =
        gGetOpenFileName(QStringLiteral("バックアップデータを選択してください。"), filter, start);
    if (file.isEmpty())
        return;
    mRestoreFrom(file);
}

bool frmBackup::mListAutoBackups() {
    lstAutoBackup->setRowCount(0);
    const QLocale locale;
    for (const QString& file : gAutoBackupFiles(svc().paths().db)) {
        BackupSummary summary;
        const bool readable = gReadBackupSummary(file, summary);
        const int row = lstAutoBackup->rowCount();
        lstAutoBackup->insertRow(row);
        auto cell = [&](int column, const QString& text, Qt::Alignment align) {
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(align | Qt::AlignVCenter);
            item->setData(Qt::UserRole, file);
            item->setToolTip(QDir::toNativeSeparators(file));
            lstAutoBackup->setItem(row, column, item);
        };
        const Qt::Alignment right = Qt::AlignRight;
        cell(0,
             readable ? summary.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                      : QStringLiteral("（読めません）"),
             Qt::AlignLeft);
        cell(1,
             readable ? locale.toString(double(summary.bytes) / (1024.0 * 1024.0), 'f', 1) +
                            QStringLiteral(" MB")
                      : QString(),
             right);
        cell(2, readable ? locale.toString(summary.suppliers) : QString(), right);
        cell(3, readable ? locale.toString(summary.lines) : QString(), right);
    }
    if (lstAutoBackup->rowCount() > 0)
        lstAutoBackup->selectRow(0);
    cmdRestoreAuto->setEnabled(lstAutoBackup->rowCount() > 0);
    const QString before = svc().paths().db + kBeforeRestoreSuffix;
    cmdRestoreBefore->setEnabled(QFileInfo::exists(before));
    cmdRestoreBefore->setToolTip(QDir::toNativeSeparators(before));
    return true;
}

void frmBackup::cmdRestoreAuto_Click() {
    const QTableWidgetItem* item = lstAutoBackup->item(lstAutoBackup->currentRow(), 0);
    if (!item) {
        svc().prompt().show(QStringLiteral("戻す控えを選んでください。"), QString(),
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
    mRestoreFrom(item->data(Qt::UserRole).toString());
}

void frmBackup::mRestoreFrom(const QString& file) {
    if (gdbData().isServer()) {
        svc().prompt().show(gServerRestoreRefusal(), QString(),
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
    // A file that is plainly no backup is refused at once; any other is named, with its time
    // and what becomes of the current data, and restored only after a yes.
    DataFileFindings found;
    if (const DataFileStatus shape = gChkDataFileShape(file, &found); shape != DataFileStatus::Ok) {
        svc().prompt().show(gDataFileStatusText(shape, found) + QStringLiteral("\r\n") +
                                QStringLiteral("現在のデータは変更していません。"),
                            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    }
    const QString question =
        QStringLiteral("次のバックアップから復元します。\r\n%1\r\nバックアップ日時：%2\r\n\r\n"
                       "現在のデータは次のファイルに残します。\r\n%3\r\n\r\n"
                       "復元してよろしいですか？")
            .arg(QDir::toNativeSeparators(file),
                 gBackupTimeOf(file).toString(QStringLiteral("yyyy/MM/dd HH:mm")),
                 QDir::toNativeSeparators(svc().paths().db + kBeforeRestoreSuffix));
    if (svc().prompt().show(question, QString(),
                            MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2) !=
        MsgResult::Yes)
        return;
    QString refusal;
    if (gProcDataRestore(gdbData(), file, &refusal)) {
        gDispMsg(6, QStringLiteral("復元を"));
    } else if (!refusal.isEmpty()) {
        svc().prompt().show(refusal, QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
    } else {
        gDispMsg(7, QStringLiteral("問題が発生したため、復元処理は"));
    }
    // The program can go on as long as a data file is open; only without one it must end.
    if (!gdbData().isOpen())
        gProcFatalError(QStringLiteral("frmBackup_cmdRestore_Click"));
    else
        mListAutoBackups(); // the data just replaced can be brought back
}

void frmBackup::closeEvent(QCloseEvent* event) {
    event->accept();
    gShowMenu();
}
