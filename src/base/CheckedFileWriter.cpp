#include "base/CheckedFileWriter.h"

#include "base/SystemFiles.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

constexpr QFileDevice::Permissions kOwnerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::generic_category().message(code).c_str());
}

// The system's error numbers that gFileFailureText explains.
constexpr int kKnownCodes[] = {ENOSPC, EFBIG, EACCES, EPERM, EROFS, ENOENT, ENOTDIR,
#ifdef EDQUOT
                               EDQUOT
#endif
};

// The error number behind a failure whose reason the file device gives as text: errno as it
// stood right after the failing call when the text is its text, else the known number whose text
// it is, else errno when it is a known one (QSaveFile's own text for a target that is not
// writable).
int failureCode(const QString& reason, int current) {
    if (current != 0 && reason == systemReason(current))
        return current;
    for (int code : kKnownCodes)
        if (reason == systemReason(code))
            return code;
    return std::find(std::begin(kKnownCodes), std::end(kKnownCodes), current) !=
                   std::end(kKnownCodes)
               ? current
               : 0;
}

} // namespace

QString gFileFailureText(int code, const QString& reason, const QString& path) {
    QString cause;
    if (gPathTooLong(path))
        return QStringLiteral("ファイルの場所（パス）が長すぎます。もっと短い名前のフォルダーを選ん"
                              "でください。") +
               QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    switch (code) {
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        cause = QStringLiteral("ディスクの空き容量が足りません。");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        cause = QStringLiteral("書き込む権限がありません。");
        break;
    case ENOENT:
    case ENOTDIR:
        cause = QStringLiteral("フォルダーが見つかりません。");
        break;
    default:
        cause = reason.isEmpty()
                    ? QStringLiteral("書き込みに失敗しました。")
                    : QStringLiteral("書き込みに失敗しました（") + reason + QStringLiteral("）。");
        break;
    }
    return cause + QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
}

bool gMakeOwnerOnlyFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (QDir().mkpath(info.absolutePath()))
        QDir().mkdir(folder, kOwnerReadWrite | QFileDevice::ExeOwner);
    return QFileInfo(folder).isDir();
}

CheckedFileWriter::CheckedFileWriter(const QString& path) : m_path(path), m_file(path) {}

bool CheckedFileWriter::fail(const QString& reason, int code) {
    cancel(reason.isEmpty() ? QStringLiteral("書き込みに失敗しました") : reason);
    m_code = failureCode(reason, code);
    return false;
}

QString CheckedFileWriter::failureText() const {
    return gFileFailureText(m_code, m_error, m_path);
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
    // A new file is made under a mask that leaves the group and others nothing, so it is
    // owner-only from its creation. The mask is the process's: a file another thread makes
    // meanwhile can only come out narrower.
    const bool replacing = QFileInfo::exists(m_path);
    bool opened = false;
    int code = 0;
    {
        const OwnerOnlyCreation ownerOnly;
        errno = 0;
        opened = m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        code = errno;
    }
    if (!opened) {
        m_error = m_file.errorString();
        m_code = failureCode(m_error, code);
        return false;
    }
    // QSaveFile gives a file that replaces another that file's mode; it is narrowed before
    // anything is written.
    if (replacing && !m_file.setPermissions(kOwnerReadWrite)) {
        const int failed = errno;
        return fail(m_file.errorString(), failed);
    }
    return true;
}

bool CheckedFileWriter::write(const char* data, qint64 size) {
    if (m_cancelled || !m_file.isOpen())
        return false;
    while (size > 0) {
        // A short write (the disk filled up within it) is followed by one that fails with the
        // system's reason.
        errno = 0;
        const qint64 n = m_file.write(data, size);
        const int code = errno;
        if (n <= 0)
            return fail(m_file.errorString(), code);
        data += n;
        size -= n;
    }
    return true;
}

bool CheckedFileWriter::commit() {
    if (m_cancelled || !m_file.isOpen())
        return false;
    errno = 0;
    if (m_file.error() != QFileDevice::NoError || !m_file.flush()) {
        const int code = errno;
        return fail(m_file.errorString(), code);
    }
    // QSaveFile syncs too but does not look at the result; a file system that reports a lost
    // write only here (network and delayed-allocation file systems) is caught. A file system
    // that cannot sync at all is not a failure.
    if (const int code = gSyncFileHandle(m_file.handle()); code != 0)
        return fail(systemReason(code), code);
    errno = 0;
    if (!m_file.commit()) {
        const int code = errno;
        m_error = m_file.errorString();
        m_code = failureCode(m_error, code);
        return false;
    }
    return true;
}

bool gWriteQuotedCsv(const QString& path, const std::vector<QStringList>& records, QString& error,
                     QString* failureText) {
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
    if (failureText)
        *failureText = writer.failureText();
    return false;
}
