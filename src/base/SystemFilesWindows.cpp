#include "base/SystemFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <io.h>
#include <windows.h>

OwnerOnlyCreation::OwnerOnlyCreation() = default;

OwnerOnlyCreation::~OwnerOnlyCreation() = default;

int gSyncFileHandle(int handle) {
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(handle));
    if (h == INVALID_HANDLE_VALUE || FlushFileBuffers(h))
        return 0;
    // A device or a pipe that cannot be flushed is not a failure.
    return GetLastError() == ERROR_INVALID_HANDLE || GetLastError() == ERROR_INVALID_FUNCTION ? 0
                                                                                              : EIO;
}

QString gSystemLoginName() {
    wchar_t name[257];
    DWORD size = 257;
    if (GetUserNameW(name, &size) && size > 0)
        return QString::fromWCharArray(name, static_cast<qsizetype>(size - 1));
    return qEnvironmentVariable("USERNAME");
}

QString gSystemUserId() {
    return QStringLiteral("user");
}

void gAppendToOwnFile(const QString& path, const QByteArray& bytes) {
    // A link or anything but a plain file is left alone.
    const QFileInfo info(path);
    if (info.exists() && (info.isSymLink() || info.isJunction() || !info.isFile()))
        return;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(bytes);
}

bool gPathTooLong(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).size() >= MAX_PATH;
}

std::filesystem::path gFsPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
}

QByteArray gNativeFileBytes(const QString& path) {
    return QDir::toNativeSeparators(path).toUtf8();
}

bool gOwnerMadeReadOnly(const QFileInfo&) {
    return false;
}

bool gOnNetworkDrive(const QString& path) {
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.startsWith(QStringLiteral("\\\\")))
        return true;
    if (native.size() < 2 || native.at(1) != QLatin1Char(':'))
        return false;
    const QString root = native.left(2) + QLatin1Char('\\');
    return GetDriveTypeW(reinterpret_cast<const wchar_t*>(root.utf16())) == DRIVE_REMOTE;
}

void gMakeChildFilesOwnerOnly(QProcess&) {}
