#include "app/Startup.h"

#include "app/frmAbout.h"
#include "app/frmEndProgram.h"
#include "app/frmMenu.h"
#include "base/AppHooks.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "maintenance/frmConnection.h"
#include "store/DataFile.h"
#include "store/DataLocation.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QTimer>
#include <QTranslator>
#include <memory>

namespace {

std::unique_ptr<QLockFile>& instanceLock() {
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

// A second start asks the running instance to come forward through a file beside the lock; the
// running instance looks for it twice a second, removes it and brings its windows forward.
QString raiseRequestPath() {
    return gInstanceLockPath() + QStringLiteral(".raise");
}

void bringWindowsForward() {
    QWidget* front = QApplication::activeModalWidget();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)
            continue;
        if (w->isMinimized())
            w->showNormal();
        w->raise();
        if (!front)
            front = w;
    }
    if (front) {
        front->raise();
        front->activateWindow();
    }
}

void watchRaiseRequests() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
        qApp->findChild<QTimer*>(QStringLiteral("instanceRaiseTimer"), Qt::FindDirectChildrenOnly))
        return;
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("instanceRaiseTimer"));
    timer->setInterval(500);
    QObject::connect(timer, &QTimer::timeout, qApp, [] {
        const QString request = raiseRequestPath();
        if (QFileInfo::exists(request) && QFile::remove(request))
            bringWindowsForward();
    });
    timer->start();
}

QString programFolderOrDefault(const QString& programFolder) {
    return programFolder.isEmpty() ? gProgramFolder(QCoreApplication::applicationDirPath())
                                   : QDir::cleanPath(programFolder);
}

} // namespace

QString gInstanceLockPath() {
    // Per user: another user's program in the same temporary folder is no second instance.
    return gAddBackSlash(gGetTempFolder()) + appTitle() + QLatin1Char('_') + gUserFileTag() +
           QStringLiteral(".lock");
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
        QFile::remove(raiseRequestPath()); // a request no instance took
        watchRaiseRequests();
        return true;
    }
    if (lock->error() != QLockFile::LockFailedError) {
        // Not another instance: the temporary folder cannot take the lock (nor the error log).
        svc().prompt().show(
            QStringLiteral("一時フォルダーに書き込めないため、起動できません。\r\n%1\r\n"
                           "環境変数 TEMP・TMP が書き込めるフォルダーを指しているか、"
                           "フォルダーの権限を確認してください。")
                .arg(QDir::toNativeSeparators(gGetTempFolder())),
            QString(), MsgStyle::OKOnly | MsgStyle::Critical);
        svc().process().terminate(1);
        return false;
    }
    // Ask the running instance to come forward and wait for it to take the request.
    bool cameForward = false;
    QFile request(raiseRequestPath());
    if (request.open(QIODevice::WriteOnly)) {
        request.write(QByteArray::number(QCoreApplication::applicationPid()));
        request.close();
        for (int i = 0; i < 20 && !cameForward; ++i) {
            svc().process().pause(100);
            cameForward = !QFileInfo::exists(request.fileName());
        }
        if (!cameForward)
            QFile::remove(request.fileName());
    }
    if (showMessage)
        svc().prompt().show(
            cameForward ? QStringLiteral("既に起動されています\r\n起動中の画面を前に出しました。")
                        : QStringLiteral("既に起動されています\r\n"
                                         "タスクバーから起動中の画面を選んでください。"),
            QString(), MsgStyle::OKOnly | MsgStyle::Information);
    svc().process().terminate(0);
    return false;
}

void gReleaseInstanceLock() {
    instanceLock().reset();
}

bool gFindDataFile(const QString& programFolder, const QString& dataOption, QString* dataFile) {
    const QString portable =
        programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    return gResolveDataFile(dataOption, portable, programFolderOrDefault(programFolder), dataFile);
}

bool gTakeDataFile(const QString& dataFile) {
    if (!QFileInfo::exists(dataFile))
        return true; // opening it reports the missing file
    DataLockHolder holder;
    switch (gLockDataFile(dataFile, &holder)) {
    case DataLockResult::Locked:
        gRemoveDataFileLeftovers(dataFile);
        return true;
    case DataLockResult::FolderReadOnly:
        // Nobody can write the file in that folder: it is opened read-only.
        return true;
    case DataLockResult::InUse:
        svc().prompt().show(gDataInUseText(dataFile, holder), QString(),
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return false;
    case DataLockResult::Failed:
        break;
    }
    svc().prompt().show(
        QStringLiteral("データファイルのロックファイルを作成できないため、起動できません。\r\n%1")
            .arg(QDir::toNativeSeparators(gDataLockPath(dataFile))),
        QString(), MsgStyle::OKOnly | MsgStyle::Critical);
    return false;
}

bool mInitProgram(const QString& programFolder, const QString& dataFile, const QString& server,
                  bool* openConnectionWindow) {
    svc().setProgramFolder(programFolderOrDefault(programFolder), dataFile);
    if (openConnectionWindow)
        *openConnectionWindow = false;

    bool opened = server.isEmpty() ? DbInit(gdbData(), svc().paths().db, false)
                                   : DbInitServer(gdbData(), server);
    // A server that asks for a password ~/.pgpass does not hold: the user types it, for this
    // session only.
    if (!opened && !server.isEmpty() && gdbData().serverWantsPassword()) {
        const QString password = svc().dialogs().askPassword(
            QStringLiteral("サーバーのパスワードを入力してください。\r\n%1").arg(server));
        if (!password.isEmpty())
            opened = DbInitServer(gdbData(), server, password);
    }
    if (!opened) {
        const QString text =
            server.isEmpty() ? QStringLiteral("必要とするデータ保存用データベースが開けません。")
                             : QStringLiteral("サーバーの帳簿に接続できません。");
        const QString why = DbInitRefusal();
        const QString told = why.isEmpty() ? text : text + QStringLiteral("\r\n") + why;
        if (server.isEmpty() || gdbData().isOpen() || !openConnectionWindow)
            svc().prompt().show(told, QString(), MsgStyle::OKOnly | MsgStyle::Critical);
        else
            *openConnectionWindow =
                svc().prompt().show(told + QStringLiteral("\r\n\r\n接続先の設定を開きますか？"),
                                    QString(),
                                    MsgStyle::YesNo | MsgStyle::Critical) == MsgResult::Yes;
        gProcError(QStringLiteral("Main"), text);
        gProcError(QStringLiteral("mInitProgram"));
        return false;
    }
    if (!gMsgInit(gAddBackSlash(svc().paths().app) + QStringLiteral("sys/") +
                  QStringLiteral("msg"))) {
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

void gInstallAppHooks() {
    AppHooks& hooks = gAppHooks();
    hooks.menuWindow = [] { return frmMenu::instance(); };
    hooks.endProgramWindow = [] { return frmEndProgram::instance(); };
    hooks.aboutWindow = [] { return frmAbout::instance(); };
}

bool Main(const QString& programFolder, const QString& dataOption, const QString& server) {
    gInstallAppHooks();
    if (!gChkPrevInstance(true))
        return false;
    QString books = server;
    for (;;) {
        QString dataFile;
        // Server mode has no data file to find or lock: the server keeps its own concurrency.
        if (books.isEmpty() &&
            (!gFindDataFile(programFolder, dataOption, &dataFile) || !gTakeDataFile(dataFile))) {
            svc().process().terminate(1);
            return false;
        }
        bool openWindow = false;
        if (mInitProgram(programFolder, dataFile, books, &openWindow))
            break;
        // A data file that was refused has been explained: that is the one message, and the
        // program ends as it is, without the shutdown (nothing was opened to close). A refused
        // server may be chosen anew in the connection window, and the start tried again.
        if (!gdbData().isOpen()) {
            if (openWindow && gShowConnectionWindow(nullptr, false)) {
                books = gServerChoiceConnInfo(gReadServerChoice());
                continue;
            }
            svc().process().terminate(1);
            return false;
        }
        gProcFatalError(QStringLiteral("Main"));
        return false;
    }
    if (!gDspForm(frmMenu::instance(), 0, 0)) {
        gProcFatalError(QStringLiteral("Main"));
        return false;
    }
    // A damaged file is told once, when first noticed: by the check below, or by a statement
    // that meets a damaged page first. The message waits for the event loop, so it never
    // interrupts the routine that noticed.
    gSetDataFileDamageHandler([]() {
        QTimer::singleShot(0, qApp, []() {
            svc().prompt().show(gDataFileDamagedText(svc().paths().db), QString(),
                                MsgStyle::OKOnly | MsgStyle::Critical);
        });
    });
    if (gDataFileReadOnly())
        QTimer::singleShot(0, qApp, []() {
            svc().prompt().show(gDataFileReadOnlyText(svc().paths().db), QString(),
                                MsgStyle::OKOnly | MsgStyle::Exclamation);
        });
    // The full check reads every page: it runs behind the menu, which stays responsive. (A
    // server checks its own pages.)
    if (!gdbData().isServer())
        gStartDataFileCheck(gdbData(), svc().paths().db);
    return true;
}

void gPrepareApplication(QApplication& app, const QString& programFolder) {
    const QString folder = programFolderOrDefault(programFolder);
    app.setApplicationName(appTitle());
    app.setApplicationVersion(appVersionText());
    app.setWindowIcon(QIcon(gAddBackSlash(folder) + QStringLiteral("sys/icon.ico")));
    app.setQuitOnLastWindowClosed(false);
    gInstallEnterClicksButtons(&app);
    // The standard dialogs and message-box buttons in Japanese, when Qt's translations are
    // installed; English otherwise.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
    else
        delete translator;
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
