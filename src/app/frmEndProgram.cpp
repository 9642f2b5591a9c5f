#include "app/frmEndProgram.h"

#include "base/Globals.h"
#include "base/Services.h"
#include "base/WindowDisplay.h"
#include "maintenance/Backup.h"
#include "maintenance/SystemSettings.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

frmEndProgram::frmEndProgram() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmEndProgram"));
    setWindowTitle(QStringLiteral("終了処理"));
    const QIcon icon(gAddBackSlash(svc().paths().app) + QStringLiteral("sys/icon.ico"));
    setWindowIcon(icon);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setPixmap(icon.pixmap(32, 32));
    imgIcon->setFixedSize(40, 40);
    imgIcon->setAlignment(Qt::AlignCenter);

    lblMessage1 = new QLabel(QStringLiteral("終了処理をしています。"), this);
    lblMessage1->setObjectName(QStringLiteral("lblMessage1"));
    lblMessage2 = new QLabel(QStringLiteral("しばらくお待ちください。"), this);
    lblMessage2->setObjectName(QStringLiteral("lblMessage2"));

    auto* text = new QVBoxLayout;
    text->addWidget(lblMessage1);
    text->addWidget(lblMessage2);
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(24, 20, 32, 20);
    root->setSpacing(16);
    root->addWidget(imgIcon, 0, Qt::AlignVCenter);
    root->addLayout(text);
    root->setSizeConstraint(QLayout::SetFixedSize);
}

void frmEndProgram::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    gPlaceWindow(this, 0);
    if (!m_blnStarted) {
        m_blnStarted = true;
        // After the window has been painted.
        QTimer::singleShot(0, this, &frmEndProgram::mRunShutdown);
    }
}

void frmEndProgram::mRunShutdown() {
    gSetFormCaption(this, 0);
    svc().process().processEvents();
    gSleep(2000);
    gTermDataBase();
    m_blnDone = true;
    close();
}

void frmEndProgram::reject() {
    if (m_blnDone)
        QDialog::reject();
}

void frmEndProgram::closeEvent(QCloseEvent* event) {
    if (!m_blnDone) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
    setExisting(nullptr);
    svc().process().terminate(0);
}

bool gTermDataBase() {
    // A compaction that fails is logged by the data layer; the shutdown goes on. A file that
    // start-up refused, or that is read-only or damaged, is left exactly as it is.
    const bool ours = gdbData().isOpen() && gDataFileAccepted() && !gDataFileReadOnly();
    qint32 keep = kAutoBackupDefault;
    if (ours && !gGetAutoBackupCount(keep))
        keep = kAutoBackupDefault;
    DbCloseAndCompact(svc().paths().db);
    // The automatic backup is a copy of the closed, compacted file, taken while the program
    // still holds the file's lock. A damaged file is not copied (the copies are the way back).
    if (ours && keep > 0 && !gDataFileDamaged() && !gWriteAutoBackup(svc().paths().db, keep)) {
        svc().prompt().show(
            QStringLiteral("終了時の自動バックアップを作成できませんでした。\r\n%1\r\n\r\n"
                           "データファイルはそのままです。保存先の空き容量と書き込みの権限を"
                           "確かめてください（詳しくはエラーログにあります）。")
                .arg(QDir::toNativeSeparators(gDataBackupFolder(svc().paths().db))),
            QString(), MsgStyle::OKOnly | MsgStyle::Exclamation);
    }
    gUnlockDataFile();
    return true;
}
