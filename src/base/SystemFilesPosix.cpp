#include "base/SystemFiles.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

OwnerOnlyCreation::OwnerOnlyCreation() : m_saved(::umask(0077)) {}

OwnerOnlyCreation::~OwnerOnlyCreation() {
    ::umask(static_cast<mode_t>(m_saved));
}

int gSyncFileHandle(int handle) {
    if (::fsync(handle) == 0 || errno == EINVAL || errno == ENOTSUP || errno == ENOSYS)
        return 0;
    return errno;
}

QString gSystemLoginName() {
    const uid_t uid = ::geteuid();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return {};
}

QString gSystemUserId() {
    return QString::number(::geteuid());
}

void gAppendToOwnFile(const QString& path, const QByteArray& bytes) {
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
}

bool gPathTooLong(const QString&) {
    return false;
}

std::filesystem::path gFsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QByteArray gNativeFileBytes(const QString& path) {
    return QFile::encodeName(path);
}

bool gOwnerMadeReadOnly(const QFileInfo& info) {
    return info.ownerId() == ::geteuid() && !(info.permissions() & QFileDevice::WriteOwner);
}

bool gOnNetworkDrive(const QString&) {
    return false;
}

void gMakeChildFilesOwnerOnly(QProcess& process) {
    process.setChildProcessModifier([] { ::umask(0077); });
}
