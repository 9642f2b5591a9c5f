#include "app/Startup.h"

#include "app/ErrorLog.h"
#include "app/Globals.h"
#include "app/MsgCatalogue.h"
#include "app/Services.h"
#include "app/WindowDisplay.h"
#include "app/frmMenu.h"
#include "store/Database.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLockFile>
#include <memory>

namespace {

std::unique_ptr<QLockFile>& instanceLock() {
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

QString programFolderOrDefault(const QString& programFolder) {
    QString folder =
        programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    folder = QDir::cleanPath(folder);
    return folder;
}

} // namespace

QString gInstanceLockPath() {
    return gAddBackSlash(gGetTempFolder()) + appTitle() + QStringLiteral(".lock");
}

bool gChkPrevInstance(bool showMessage) {
    const QString path = gInstanceLockPath();
    std::unique_ptr<QLockFile>& held = instanceLock();
    if (held && held->isLocked() && held->fileName() == path)
        return true;
    auto lock = std::make_unique<QLockFile>(path);
    // The lock lasts as long as the program runs; only a lock left by a dead process is stale.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        held = std::move(lock);
        return true;
    }
    if (showMessage)
        svc().prompt().show(QStringLiteral("既に起動されています"), QString(), MsgStyle::OKOnly);
    svc().process().terminate(0);
    return false;
}

void gReleaseInstanceLock() {
    instanceLock().reset();
}

bool mInitProgram(const QString& programFolder) {
    gstrAppPath = programFolderOrDefault(programFolder);
    gstrDbPath = gstrAppPath + QStringLiteral("/sys/") + QStringLiteral("db1");

    if (!DbInit(gstrDbPath)) {
        const QString text = QStringLiteral("必要とするデータ保存用データベースが開けません。");
        svc().prompt().show(text, QString(), MsgStyle::OKOnly | MsgStyle::Critical);
        gProcError(QStringLiteral("Main"), text);
        gProcError(QStringLiteral("mInitProgram"));
        return false;
    }
    if (!gMsgInit(gAddBackSlash(gstrAppPath) + QStringLiteral("sys/") + QStringLiteral("msg"))) {
        svc().prompt().show(QStringLiteral("必要とするメッセージデータベースが開けません"),
                            QString(), MsgStyle::OKOnly | MsgStyle::Critical);
        gProcError(QStringLiteral("Main"),
                   QStringLiteral("必要とするメッセージマスタデータベースが開けません。"));
        gProcError(QStringLiteral("mInitProgram"));
        return false;
    }
    gstrAppTitle = appTitle();
    return true;
}

bool Main(const QString& programFolder) {
    if (!gChkPrevInstance(false))
        return false;
    if (!mInitProgram(programFolder)) {
        gProcFatalError(QStringLiteral("Main"));
        return false;
    }
    if (!gDspForm(frmMenu::instance(), 0, 0)) {
        gProcFatalError(QStringLiteral("Main"));
        return false;
    }
    gstrExcelFormatPath = gAddBackSlash(gstrAppPath) + QStringLiteral("sys/excel_format/");
    return true;
}

void gPrepareApplication(QApplication& app, const QString& programFolder) {
    const QString folder = programFolderOrDefault(programFolder);
    app.setApplicationName(appTitle());
    app.setApplicationVersion(appVersionText());
    app.setWindowIcon(QIcon(gAddBackSlash(folder) + QStringLiteral("sys/icon.ico")));
    app.setQuitOnLastWindowClosed(false);
    // Kanji drawn with Japanese glyph forms rather than the Chinese variants a generic
    // fallback may pick.
    const QStringList preferred = {
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
        QStringLiteral("IPAexGothic"),      QStringLiteral("IPAGothic"),
        QStringLiteral("Yu Gothic UI"),     QStringLiteral("Meiryo UI"),
        QStringLiteral("MS UI Gothic")};
    const QStringList families = QFontDatabase::families();
    for (const QString& family : preferred) {
        if (families.contains(family)) {
            QFont font = app.font();
            font.setFamilies({family});
            app.setFont(font);
            break;
        }
    }
}
