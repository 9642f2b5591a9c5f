#include "base/ErrorLog.h"

#include "base/Globals.h"
#include "base/Services.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

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
#ifdef Q_OS_UNIX
        const uid_t uid = ::geteuid();
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
            const QString login = QString::fromLocal8Bit(found->pw_name);
            if (plain.match(login).hasMatch())
                return login;
        }
        return QString::number(uid);
#else
        const QString login = qEnvironmentVariable("USERNAME");
        return plain.match(login).hasMatch() ? login : QStringLiteral("user");
#endif
    }();
    return name;
}

namespace {

// Appends bytes to the log at path. The log is this user's alone: a new one is made owner-only
// (0600), an existing one is narrowed to that when it is wider, and nothing is written when the
// name is taken by a link, a pipe or another user's file (in a shared temporary folder anyone can
// make one). A pipe is opened without waiting for a reader.
void appendToLog(const QString& path, const QByteArray& bytes) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(name.constData(), kFlags | O_CREAT | O_EXCL, 0600);
    const bool made = fd >= 0;
    if (!made && errno == EEXIST)
        fd = ::open(name.constData(), kFlags);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (made || (st.st_mode & 077) == 0 || ::fchmod(fd, 0600) == 0)) {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            data += n;
            left -= n;
        }
    }
    ::close(fd);
#else
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(bytes);
#endif
}

} // namespace

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
    appendToLog(path, entry.toUtf8());
}
