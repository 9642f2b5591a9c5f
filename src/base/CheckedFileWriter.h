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
// - the file is synced to disk before it takes the target's name;
// - the file is owner-only (0600) from its creation: what it holds is the books' content. A
//   file that replaces another (whose mode QSaveFile copies) is narrowed to 0600 before anything
//   is written into it.
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
    // The failure as the user is told it: gFileFailureText(the system's error number of the
    // failure, errorString(), the target's path).
    QString failureText() const;

private:
    bool fail(const QString& reason, int code);
    QString m_path;
    QSaveFile m_file;
    QString m_error;
    int m_code = 0; // ENOSPC, EACCES, ...; 0 when not known (a cancel with the caller's reason)
    bool m_cancelled = false;
};

// The cause of a failed write in the user's words, followed by the file on a line of its own:
// 「ディスクの空き容量が足りません。」 (a full disk, a quota or a file-size limit),
// 「書き込む権限がありません。」 (no permission, a read-only file system),
// 「フォルダーが見つかりません。」 (the folder is missing or is a file); any other reason as
// 「書き込みに失敗しました（reason）。」. Lines are joined by CR LF; the path is shown with the
// platform's separators.
QString gFileFailureText(int code, const QString& reason, const QString& path);

// Makes folder owner-only (0700) from its creation; missing parents are made as usual. True when
// the folder exists afterwards (an existing folder keeps its mode).
bool gMakeOwnerOnlyFolder(const QString& folder);

// A small CSV file of plain texts: UTF-8 with a byte-order mark, every field quoted (its quotes
// doubled), records ended by CR LF, written through CheckedFileWriter. False with the system's
// reason in error, and the failure as the user is told it (failureText()) in failureText when
// given.
bool gWriteQuotedCsv(const QString& path, const std::vector<QStringList>& records, QString& error,
                     QString* failureText = nullptr);
