#include "base/ErrorLog.h"

#include "base/Globals.h"
#include "base/Services.h"
#include "base/SystemFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>

namespace {

struct LastError {
    int number = 0;
    QString source;
    QString description;
};

LastError& lastError() {
    static LastError e;
    return e;
}

const QString kCrLf = QStringLiteral("\r\n");

// The browser line of the log has no counterpart here; the value is read from the settings
// store where a Windows build would find it, and is "Can'tGet" otherwise.
QString ieVersion() {
#ifdef Q_OS_WIN
    QSettings reg(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer"),
                  QSettings::NativeFormat);
    const QString v = reg.value(QStringLiteral("Version")).toString();
    if (!v.isEmpty())
        return v;
#endif
    return QStringLiteral("Can'tGet");
}

} // namespace

QString gUserFileTag() {
    static const QString name = [] {
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._-]+$"));
        const QString login = gSystemLoginName();
        return plain.match(login).hasMatch() ? login : gSystemUserId();
    }();
    return name;
}

void gSetLastError(int number, const QString& source, const QString& description) {
    lastError() = {number, source, description};
}

QString gGetTempFolder() {
    const QStringList candidates = {qEnvironmentVariable("temp"), qEnvironmentVariable("tmp"),
                                    QDir::tempPath(), svc().paths().app};
    for (const QString& c : candidates)
        if (!c.isEmpty() && QFileInfo(c).isDir())
            return c;
    return {};
}

bool gGetErrLogPath(QString& path) {
    const QString folder = gGetTempFolder();
    if (folder.isEmpty())
        return false;
    path = gAddBackSlash(folder) + appTitle() + QStringLiteral("_ErrLog_") + gUserFileTag() +
           QStringLiteral(".txt");
    return true;
}

QString gComposeErrorText(const QString& procName, const QString& text, int number,
                          const QString& source, const QString& description) {
    QStringList lines;
    lines << QStringLiteral("アプリケーション名：") + appTitle();
    lines << QStringLiteral("アプリケーションヴァージョン：") + appVersionText();
    if (!text.isEmpty())
        lines << text;
    lines << QStringLiteral("エラー番号：") + QString::number(number);
    lines << procName + QStringLiteral(" (") + source + QStringLiteral(")でエラーが発生しました。");
    lines << QStringLiteral("管理者に問い合わせて下さい｡");
    lines << QStringLiteral("エラー内容：") + description;
    lines << QStringLiteral("発生日時：") +
                 svc().clock().now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    lines << QStringLiteral("WINTYPE：");
    lines << QStringLiteral("\tVersion：") + QSysInfo::prettyProductName();
    const QStringList ver = QSysInfo::kernelVersion().split(QLatin1Char('.'));
    lines << QStringLiteral("\tMajor：") + ver.value(0);
    lines << QStringLiteral("\tMinor：") + ver.value(1);
    lines << QStringLiteral("\tBuild：") + ver.value(2);
    lines << QStringLiteral("\tSubVersion：") + QSysInfo::kernelType() + QLatin1Char(' ') +
                 QSysInfo::kernelVersion();
    lines << QStringLiteral("\tIeType：") + ieVersion();
    return lines.join(kCrLf) + kCrLf;
}

void gProcError(const QString& procName, const QString& text) {
    const LastError err = lastError();
    lastError() = {};
    QString path;
    if (!gGetErrLogPath(path))
        return;
    const QString entry =
        kCrLf + gComposeErrorText(procName, text, err.number, err.source, err.description) + kCrLf +
        kCrLf;
    gAppendToOwnFile(path, entry.toUtf8());
}
