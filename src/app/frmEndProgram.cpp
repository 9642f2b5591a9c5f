#include "app/frmEndProgram.h"

#include "base/Globals.h"
#include "base/Services.h"
#include "maintenance/Backup.h"
#include "maintenance/SystemSettings.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The steps the bar counts: compaction and automatic backup.
constexpr int kStepCount = 2;
} // namespace

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

    // What is being done: empty while the data file is closed, then each step that takes time
    // (compaction, automatic backup) with its place among them.
    lblStep = new QLabel(this);
    lblStep->setObjectName(QStringLiteral("lblStep"));
    lblStep->setMinimumWidth(lblStep->fontMetrics().horizontalAdvance(
        QStringLiteral("データファイルを最適化しています…")));
    prgStep = new QProgressBar(this);
    prgStep->setObjectName(QStringLiteral("prgStep"));
    prgStep->setRange(0, kStepCount);
    prgStep->setValue(0);
    prgStep->setTextVisible(false);

    auto* text = new QVBoxLayout;
    text->addWidget(lblMessage1);
    text->addWidget(lblMessage2);
    text->addWidget(lblStep);
    text->addWidget(prgStep);
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
    gTermDataBase([this](ShutdownStep step) {
        switch (step) {
        case ShutdownStep::Compacting:
            mShowStep(0, QStringLiteral("データファイルを最適化しています…"));
            break;
        case ShutdownStep::BackingUp:
            mShowStep(1, QStringLiteral("バックアップを作成しています…"));
            break;
        }
    });
    prgStep->setValue(kStepCount);
    m_blnDone = true;
    close();
}

// Shows the step about to run and lets the window paint it before the step's work holds the
// program (the copy and the compaction are one call each).
void frmEndProgram::mShowStep(int step, const QString& text) {
    lblStep->setText(text);
    prgStep->setValue(step);
    svc().process().processEvents();
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

bool gTermDataBase(const std::function<void(ShutdownStep)>& onStep) {
    // The books on a server: nothing to compact or copy here (the server is backed up with
    // tovaki-admin dump).
    if (gdbData().isServer()) {
        DbClose(gdbData());
        return true;
    }
    // A compaction that fails is logged by the data layer; the shutdown goes on. A file that
    // start-up refused, or that is read-only or damaged, is left exactly as it is.
    const bool ours = gdbData().isOpen() && gDataFileAccepted() && !gDataFileReadOnly();
    qint32 keep = kAutoBackupDefault;
    if (ours && !gGetAutoBackupCount(keep))
        keep = kAutoBackupDefault;
    DbCloseAndCompact(gdbData(), svc().paths().db, [&onStep] {
        if (onStep)
            onStep(ShutdownStep::Compacting);
    });
    // The automatic backup is a copy of the closed, compacted file, taken while the program
    // still holds the file's lock. A damaged file is not copied (the copies are the way back).
    const bool backUp = ours && keep > 0 && !gDataFileDamaged();
    if (backUp && onStep)
        onStep(ShutdownStep::BackingUp);
    if (backUp && !gWriteAutoBackup(svc().paths().db, keep)) {
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
