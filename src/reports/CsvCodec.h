#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

class QIODevice;

// The CSV files the program writes and reads: RFC 4180 fields (a field holding a comma, a double
// quote, CR or LF is quoted, its quotes doubled), records ended by CR LF, in code page 932
// (Shift_JIS as the spreadsheet programs of Windows read it) or UTF-8 with a byte-order mark.
//
// Code page 932 is converted through tables built once from the C library's iconv ("CP932"),
// restricted to the characters that come back unchanged: a character iconv would fold into
// another (the yen sign into a backslash, the wave dash into the full-width tilde) counts as not
// writable, so no text is ever changed silently. A Windows build has no iconv; it would build
// the same tables with MultiByteToWideChar / WideCharToMultiByte (code page 932).

enum class CsvEncoding {
    Cp932, // Shift_JIS, code page 932
    Utf8,  // UTF-8 with a byte-order mark
};

// Code page 932 bytes of text appended to out. False at the first character code page 932 does
// not hold (out then holds the bytes before it, badChar that character).
bool gCp932Encode(QStringView text, QByteArray& out, QString* badChar = nullptr);
// The text of code page 932 bytes. False when the bytes are not code page 932.
bool gCp932Decode(const char* data, qsizetype size, QString& out);

// The encoding of the bytes from the device's current place to its end: UTF-8 when they start
// with its byte-order mark or are all valid UTF-8 (ASCII alone included), code page 932
// otherwise. Reads in blocks and goes back to where it started; false when the device cannot be
// read.
bool gDetectCsvEncoding(QIODevice& device, CsvEncoding& encoding);

// Builds CSV records in memory.
class CsvRecordWriter {
public:
    explicit CsvRecordWriter(CsvEncoding encoding) : m_encoding(encoding) {}

    // The byte-order mark of UTF-8; nothing for code page 932.
    void writeStart();
    // Appends one field of the current record. False when the encoding cannot hold a character
    // of it (badChar names it); the caller then drops the record (dropRecord).
    bool addField(QStringView text, QString* badChar = nullptr);
    void addNumberField(qint64 value);
    // A field of ASCII text that needs no quotes (numbers, dates).
    void addAsciiField(QByteArrayView ascii);
    // Ends the current record with CR LF.
    void endRecord();
    // Removes what was added since the last endRecord().
    void dropRecord();

    QByteArray& bytes() { return m_out; }
    // Removes the finished records from bytes() (after they were written out).
    void clearWritten();

private:
    CsvEncoding m_encoding;
    QByteArray m_out;
    qsizetype m_recordStart = 0;
    bool m_firstField = true;
};

// Reads CSV records from a device in blocks, so the memory used does not grow with the file.
// A byte-order mark of UTF-8 at the start chooses UTF-8 whatever encoding was asked for.
// Records may end with CR LF, LF or CR; a quoted field may hold line breaks.
class CsvReader {
public:
    CsvReader(QIODevice& device, CsvEncoding encoding);

    // The next record. False at the end of the file, or when the file cannot be read as CSV
    // (error() then says why: NUL bytes, a quote left open at the end).
    bool next(QStringList& fields);
    // The line of the file the record returned last starts on (1 for the first).
    qint64 line() const { return m_recordLine; }
    // The record returned last is not well-formed: a quote inside an unquoted field, text after
    // a closing quote, or bytes that are not text in the encoding. It is returned as read.
    bool recordMalformed() const { return m_malformed; }
    QString malformedReason() const { return m_malformedReason; }
    QString error() const { return m_error; }
    CsvEncoding encoding() const { return m_encoding; }
    qint64 bytesRead() const { return m_consumed; }

private:
    bool fill();
    bool finishField(QStringList& fields);

    QIODevice& m_device;
    CsvEncoding m_encoding;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0;
    qint64 m_line = 1;
    qint64 m_recordLine = 0;
    bool m_started = false;
    bool m_atEnd = false;
    bool m_malformed = false;
    QString m_malformedReason;
    QString m_error;
    QByteArray m_field;
};
