#include "store/DataLocation.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "store/DataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace {

const QString kOrganisation = QStringLiteral("Quillo-soft");
const QString kApplication = QStringLiteral("tovaki");

// The keys of the chosen data location.
const QString kChoiceUseServer = QStringLiteral("Server/UseServer");
const QString kChoiceHost = QStringLiteral("Server/Host");
const QString kChoicePort = QStringLiteral("Server/Port");
const QString kChoiceDatabase = QStringLiteral("Server/Database");
const QString kChoiceUser = QStringLiteral("Server/User");

// A value of a connection string, quoted as the client library reads it.
QString connValue(const QString& v) {
    QString out = v;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

void tellFolder(const QString& folder) {
    svc().prompt().show(QStringLiteral("データフォルダーを作成できないか、書き込めないため、"
                                       "起動できません。\r\n%1\r\n"
                                       "フォルダーの権限と空き容量を確認してください。")
                            .arg(QDir::toNativeSeparators(folder)),
                        QString(), MsgStyle::OKOnly | MsgStyle::Critical);
}

// Makes folder with every missing parent; on failure removes again what it made. The folders
// made are returned (outermost first) so that a later failure can remove them as well.
bool makeFolder(const QString& folder, QStringList* made) {
    QStringList missing;
    for (QString f = folder; !QFileInfo::exists(f); f = QFileInfo(f).absolutePath()) {
        if (QFileInfo(f).absolutePath() == f)
            break;
        missing.prepend(f);
    }
    for (const QString& f : std::as_const(missing)) {
        if (!QDir().mkdir(f))
            return false;
        made->append(f);
    }
    return QFileInfo(folder).isDir();
}

void removeFolders(const QStringList& made) {
    for (auto it = made.crbegin(); it != made.crend(); ++it)
        QDir().rmdir(*it);
}

} // namespace

QString gProgramFolder(const QString& executableFolder) {
    const QString beside = QDir::cleanPath(executableFolder);
    const QString installed = QDir::cleanPath(beside + QStringLiteral("/../share/tovaki"));
    if (!QFileInfo(beside + QStringLiteral("/sys")).isDir() &&
        QFileInfo(installed + QStringLiteral("/sys")).isDir())
        return installed;
    return beside;
}

QString gUserDataFolder() {
    // The same folder whichever program asks (tovaki-report has a name of its own).
    const QString organisation = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    QCoreApplication::setOrganizationName(kOrganisation);
    QCoreApplication::setApplicationName(kApplication);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setOrganizationName(organisation);
    QCoreApplication::setApplicationName(application);
    return folder;
}

bool gResolveDataFile(const QString& dataOption, const QString& portableFolder,
                      const QString& programFolder, QString* dataFile) {
    QString named = dataOption;
    if (named.isEmpty())
        named = qEnvironmentVariable("TOVAKI_DB");
    if (!named.isEmpty()) {
        const QString path = QDir::cleanPath(QFileInfo(named).absoluteFilePath());
        if (!QFileInfo(path).isFile()) {
            svc().prompt().show(QStringLiteral("指定されたデータファイルがありません。\r\n%1\r\n"
                                               "ファイル名を確認してください。")
                                    .arg(QDir::toNativeSeparators(path)),
                                QString(), MsgStyle::OKOnly | MsgStyle::Critical);
            return false;
        }
        *dataFile = path;
        return true;
    }
    const QString portable = QDir::cleanPath(portableFolder) + QStringLiteral("/sys/db1");
    if (QFileInfo::exists(portable)) {
        *dataFile = portable;
        return true;
    }
    const QString folder = QDir::cleanPath(gUserDataFolder());
    if (folder.isEmpty()) { // no home folder to put it in
        tellFolder(QStringLiteral("~/.local/share/Quillo-soft/tovaki"));
        return false;
    }
    const QString path = folder + QStringLiteral("/db1");
    *dataFile = path;
    if (QFileInfo::exists(path))
        return true;
    const QString empty = QDir::cleanPath(programFolder) + QStringLiteral("/sys/db1.empty");
    if (!QFileInfo(empty).isFile())
        return true; // opening the missing data file takes the fatal path
    QStringList made;
    if (!makeFolder(folder, &made)) {
        removeFolders(made);
        tellFolder(folder);
        return false;
    }
    if (!made.isEmpty())
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    if (!QFileInfo(folder).isWritable() ||
        !gCopyDataFile(empty, path, QStringLiteral("gResolveDataFile"))) {
        removeFolders(made);
        tellFolder(folder);
        return false;
    }
    return true;
}

ServerChoice gReadServerChoice() {
    QSettings settings(kOrganisation, kApplication);
    ServerChoice c;
    c.useServer = settings.value(kChoiceUseServer, false).toBool();
    c.host = settings.value(kChoiceHost).toString();
    bool ok = false;
    const int port = settings.value(kChoicePort).toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        c.port = port;
    c.database = settings.value(kChoiceDatabase).toString();
    c.user = settings.value(kChoiceUser).toString();
    return c;
}

bool gWriteServerChoice(const ServerChoice& choice) {
    QSettings settings(kOrganisation, kApplication);
    settings.setValue(kChoiceUseServer, choice.useServer);
    settings.setValue(kChoiceHost, choice.host);
    settings.setValue(kChoicePort, choice.port);
    settings.setValue(kChoiceDatabase, choice.database);
    settings.setValue(kChoiceUser, choice.user);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        gProcError(QStringLiteral("gWriteServerChoice"), settings.fileName());
        return false;
    }
    return true;
}

QString gServerChoiceConnInfo(const ServerChoice& choice) {
    if (!choice.useServer)
        return {};
    QStringList parts;
    if (!choice.host.isEmpty())
        parts << QStringLiteral("host=") + connValue(choice.host);
    parts << QStringLiteral("port=") + connValue(QString::number(choice.port));
    parts << QStringLiteral("dbname=") + connValue(choice.database);
    if (!choice.user.isEmpty())
        parts << QStringLiteral("user=") + connValue(choice.user);
    return parts.join(QLatin1Char(' '));
}

QString gStartupServer(const QString& serverOption, const QString& dataOption) {
    if (!serverOption.isEmpty())
        return serverOption;
    if (!dataOption.isEmpty() || !qEnvironmentVariableIsEmpty("TOVAKI_DB"))
        return {};
    return gServerChoiceConnInfo(gReadServerChoice());
}
