#include "base/CheckedFileWriter.h"

#include <cerrno>
#include <system_error>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::generic_category().message(code).c_str());
}

} // namespace

CheckedFileWriter::CheckedFileWriter(const QString& path) : m_file(path) {}

bool CheckedFileWriter::fail(const QString& reason) {
    cancel(reason.isEmpty() ? QStringLiteral("書き込みに失敗しました") : reason);
    return false;
}

void CheckedFileWriter::cancel(const QString& reason) {
    if (!reason.isEmpty())
        m_error = reason;
    // The reason is taken before this: cancelWriting() replaces the device's error text with
    // its own. The temporary file is removed when m_file is destroyed.
    m_file.cancelWriting();
    m_cancelled = true;
}

bool CheckedFileWriter::open() {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool CheckedFileWriter::write(const char* data, qint64 size) {
    if (m_cancelled || !m_file.isOpen())
        return false;
    while (size > 0) {
        // A short write (the disk filled up within it) is followed by one that fails with the
        // system's reason.
        const qint64 n = m_file.write(data, size);
        if (n <= 0)
            return fail(m_file.errorString());
        data += n;
        size -= n;
    }
    return true;
}

bool CheckedFileWriter::commit() {
    if (m_cancelled || !m_file.isOpen())
        return false;
    if (m_file.error() != QFileDevice::NoError || !m_file.flush())
        return fail(m_file.errorString());
#ifdef Q_OS_UNIX
    // QSaveFile syncs too but does not look at the result; a file system that reports a lost
    // write only here (network and delayed-allocation file systems) is caught. A file system
    // that cannot sync at all is not a failure.
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL && errno != ENOTSUP && errno != ENOSYS)
        return fail(systemReason(errno));
#endif
    if (!m_file.commit()) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool gWriteQuotedCsv(const QString& path, const std::vector<QStringList>& records, QString& error) {
    QByteArray data("\xEF\xBB\xBF");
    for (const QStringList& record : records) {
        for (qsizetype i = 0; i < record.size(); ++i) {
            if (i > 0)
                data += ',';
            QString field = record[i];
            data += '"' + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")).toUtf8() + '"';
        }
        data += "\r\n";
    }
    CheckedFileWriter writer(path);
    if (writer.open() && writer.write(data) && writer.commit())
        return true;
    error = writer.errorString();
    return false;
}
