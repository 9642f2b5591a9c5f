#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <vector>

// Writes a new file's content with every step checked, through a temporary file beside the
// target that replaces it only when complete (QSaveFile):
// - the temporary file is written unbuffered, so every write reaches the system and a refusal
//   shows at the write that caused it, not in a flush whose result is lost;
// - a short write is carried on, so the system names its reason;
// - the file is synced to disk before it takes the target's name.
// On any failure the writing is cancelled, the temporary file goes (when the writer is destroyed
// at the latest), the target stays as it was, and errorString() gives the system's reason, e.g.
// "No space left on device" for a full disk or "File too large" at a file-size limit.
class CheckedFileWriter {
public:
    explicit CheckedFileWriter(const QString& path);
    CheckedFileWriter(const CheckedFileWriter&) = delete;
    CheckedFileWriter& operator=(const CheckedFileWriter&) = delete;

    // Each step returns false after a failure of its own or of an earlier step.
    bool open();
    bool write(const char* data, qint64 size); // all of data, or false
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    bool commit(); // synced, then in place of the target
    // Ends the writing without a file; reason (when given) becomes errorString().
    void cancel(const QString& reason = {});

    QString errorString() const { return m_error; }

private:
    bool fail(const QString& reason);
    QSaveFile m_file;
    QString m_error;
    bool m_cancelled = false;
};

// A small CSV file of plain texts: UTF-8 with a byte-order mark, every field quoted (its quotes
// doubled), records ended by CR LF, written through CheckedFileWriter. False with the system's
// reason in error.
bool gWriteQuotedCsv(const QString& path, const std::vector<QStringList>& records, QString& error);
