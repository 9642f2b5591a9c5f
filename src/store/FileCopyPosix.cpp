#include "store/FileCopy.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

int gCopyFileDurably(const QString& source, const QString& part) {
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(part);
    const int in = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    const int out = ::open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    // Marks the partial copy as being written, until it is closed (gRemoveUnlessBeingWritten).
    ::flock(out, LOCK_EX | LOCK_NB);
    std::unique_ptr<char[]> buf(new char[1 << 20]);
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in, buf.get(), 1 << 20);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.get() + done, std::size_t(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                err = errno;
                break;
            }
            done += w;
        }
        if (err)
            break;
    }
    if (!err && ::fsync(out) != 0)
        err = errno;
    if (::close(out) != 0 && !err)
        err = errno;
    ::close(in);
    return err;
}

void gRemoveUnlessBeingWritten(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        QFile::remove(path);
    ::close(fd);
}

bool gCanReplaceOpenFile() {
    return true;
}
