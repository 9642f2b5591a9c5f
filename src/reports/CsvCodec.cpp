#include "reports/CsvCodec.h"

#include "reports/Cp932Converter.h"

#include <QIODevice>
#include <vector>

namespace {

constexpr quint16 kNone = 0;
constexpr char16_t kNoChar = 0xFFFF;

// The code page 932 tables: enc maps a UTF-16 unit to its bytes (one byte below 0x100, else lead
// byte * 256 + trail byte; kNone when not writable); dec maps a byte, or lead * 256 + trail, to its
// character (kNoChar when the bytes are no character).
struct Cp932Tables {
    std::vector<quint16> enc = std::vector<quint16>(0x10000, kNone);
    std::vector<char16_t> dec = std::vector<char16_t>(0x10000, kNoChar);
    bool lead[256] = {};
};

Cp932Tables buildTables() {
    Cp932Tables t;
    for (int b = 0; b < 0x80; ++b) {
        t.dec[b] = static_cast<char16_t>(b);
        t.enc[b] = static_cast<quint16>(b);
    }
    Cp932Converter cp;
    if (!cp.ok())
        return t; // ASCII only: every other character then counts as not writable
    const auto decodeTo = [&](const char* bytes, int n) -> char16_t {
        char16_t unit = kNoChar;
        return cp.decode(bytes, n, unit) ? unit : kNoChar;
    };
    for (int b = 0x80; b < 0x100; ++b) {
        const bool isLead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        t.lead[b] = isLead;
        if (!isLead) {
            const char one = static_cast<char>(b);
            t.dec[b] = decodeTo(&one, 1);
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const char two[2] = {static_cast<char>(b), static_cast<char>(trail)};
            t.dec[(b << 8) | trail] = decodeTo(two, 2);
        }
    }
    for (int u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        char out[2];
        const int n = cp.encode(static_cast<char16_t>(u), out);
        quint16 code = kNone;
        if (n == 1)
            code = static_cast<unsigned char>(out[0]);
        else if (n == 2)
            code = static_cast<quint16>((static_cast<unsigned char>(out[0]) << 8) |
                                        static_cast<unsigned char>(out[1]));
        // Only a character that reads back as itself is writable.
        if (code != kNone && t.dec[code] == static_cast<char16_t>(u))
            t.enc[u] = code;
    }
    return t;
}

const Cp932Tables& tables() {
    static const Cp932Tables t = buildTables();
    return t;
}

bool needsQuotes(QStringView text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u',' || u == u'"' || u == u'\r' || u == u'\n')
            return true;
    }
    return false;
}

} // namespace

bool gCp932Encode(QStringView text, QByteArray& out, QString* badChar) {
    const Cp932Tables& t = tables();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            out.append(static_cast<char>(u));
            continue;
        }
        const quint16 code = t.enc[u];
        if (code == kNone) {
            if (badChar) {
                const bool pair = QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                                  text[i + 1].isLowSurrogate();
                *badChar = text.mid(i, pair ? 2 : 1).toString();
            }
            return false;
        }
        if (code < 0x100) {
            out.append(static_cast<char>(code));
        } else {
            out.append(static_cast<char>(code >> 8));
            out.append(static_cast<char>(code & 0xFF));
        }
    }
    return true;
}

bool gCp932Decode(const char* data, qsizetype size, QString& out) {
    const Cp932Tables& t = tables();
    out.resize(size);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    qsizetype n = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        char16_t c;
        if (b < 0x80) {
            c = b;
        } else if (t.lead[b]) {
            if (i + 1 >= size)
                return false;
            c = t.dec[(b << 8) | static_cast<unsigned char>(data[++i])];
        } else {
            c = t.dec[b];
        }
        if (c == kNoChar)
            return false;
        dst[n++] = c;
    }
    out.truncate(n);
    return true;
}

// ---- CsvRecordWriter -----------------------------------------------------------------------

void CsvRecordWriter::writeStart() {
    if (m_encoding == CsvEncoding::Utf8)
        m_out.append("\xEF\xBB\xBF");
    m_recordStart = m_out.size();
}

bool CsvRecordWriter::addField(QStringView text, QString* badChar) {
    if (!m_firstField)
        m_out.append(',');
    m_firstField = false;
    const bool quoted = needsQuotes(text);
    QString doubled;
    if (quoted) {
        m_out.append('"');
        if (text.contains(u'"')) {
            doubled = text.toString();
            doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            text = doubled;
        }
    }
    if (m_encoding == CsvEncoding::Utf8)
        m_out.append(text.toUtf8());
    else if (!gCp932Encode(text, m_out, badChar))
        return false;
    if (quoted)
        m_out.append('"');
    return true;
}

void CsvRecordWriter::addNumberField(qint64 value) {
    if (!m_firstField)
        m_out.append(',');
    m_firstField = false;
    m_out.append(QByteArray::number(value));
}

void CsvRecordWriter::addAsciiField(QByteArrayView ascii) {
    if (!m_firstField)
        m_out.append(',');
    m_firstField = false;
    m_out.append(ascii);
}

void CsvRecordWriter::endRecord() {
    m_out.append("\r\n");
    m_recordStart = m_out.size();
    m_firstField = true;
}

void CsvRecordWriter::dropRecord() {
    m_out.truncate(m_recordStart);
    m_firstField = true;
}

void CsvRecordWriter::clearWritten() {
    m_out.remove(0, m_recordStart);
    m_recordStart = 0;
}

// ---- CsvReader -----------------------------------------------------------------------------

bool gDetectCsvEncoding(QIODevice& device, CsvEncoding& encoding) {
    const qint64 start = device.pos();
    QByteArray carry; // the start of a sequence the block cut off
    bool valid = true;
    bool first = true;
    while (valid) {
        QByteArray block = device.read(1 << 20);
        if (block.isEmpty() && !device.atEnd())
            return false;
        if (first && block.startsWith("\xEF\xBB\xBF")) {
            encoding = CsvEncoding::Utf8;
            return device.seek(start);
        }
        first = false;
        if (block.isEmpty()) {
            valid = carry.isEmpty();
            break;
        }
        block.prepend(carry);
        carry.clear();
        // A sequence that goes on in the next block waits for it.
        qsizetype lead = block.size() - 1;
        while (lead > 0 && lead > block.size() - 4 && (uchar(block[lead]) & 0xC0) == 0x80)
            --lead;
        const auto b = uchar(block[lead]);
        const qsizetype length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (lead + length > block.size()) {
            carry = block.mid(lead);
            block.truncate(lead);
        }
        valid = QByteArrayView(block).isValidUtf8();
    }
    encoding = valid ? CsvEncoding::Utf8 : CsvEncoding::Cp932;
    return device.seek(start);
}

CsvReader::CsvReader(QIODevice& device, CsvEncoding encoding)
    : m_device(device), m_encoding(encoding) {}

bool CsvReader::fill() {
    if (m_atEnd)
        return false;
    m_buffer = m_device.read(1 << 20);
    m_pos = 0;
    if (m_buffer.isEmpty()) {
        m_atEnd = true;
        return false;
    }
    return true;
}

bool CsvReader::finishField(QStringList& fields) {
    QString text;
    bool ok = true;
    if (m_encoding == CsvEncoding::Utf8) {
        ok = QByteArrayView(m_field).isValidUtf8();
        text = QString::fromUtf8(m_field);
    } else {
        ok = gCp932Decode(m_field.constData(), m_field.size(), text);
        if (!ok)
            text = QString::fromLatin1(m_field);
    }
    if (!ok && !m_malformed) {
        m_malformed = true;
        m_malformedReason = m_encoding == CsvEncoding::Utf8
                                ? QStringLiteral("UTF-8 の文字として読めないバイトがあります")
                                : QStringLiteral("Shift_JIS の文字として読めないバイトがあります");
    }
    fields.append(text);
    m_field.clear();
    return ok;
}

bool CsvReader::next(QStringList& fields) {
    fields.clear();
    m_field.clear();
    m_malformed = false;
    m_malformedReason.clear();
    if (!m_error.isEmpty())
        return false;
    if (!m_started) {
        m_started = true;
        if (fill() && m_buffer.startsWith("\xEF\xBB\xBF")) {
            m_encoding = CsvEncoding::Utf8;
            m_pos = 3;
            m_consumed = 3;
        }
    }
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };
    State state = State::FieldStart;
    bool any = false;
    m_recordLine = m_line;
    const auto malformed = [this](const QString& why) {
        if (!m_malformed) {
            m_malformed = true;
            m_malformedReason = why;
        }
    };
    for (;;) {
        if (m_pos >= m_buffer.size() && !fill()) {
            if (state == State::Quoted) {
                m_error = QStringLiteral("%1 行目で始まる引用符（\"）が閉じられていません")
                              .arg(m_recordLine);
                return false;
            }
            if (!any)
                return false;
            finishField(fields);
            return true;
        }
        const char c = m_buffer.at(m_pos++);
        ++m_consumed;
        any = true;
        if (c == '\0') {
            m_error =
                QStringLiteral("CSV ファイルではありません（%1 行目に文字でないデータがあります）")
                    .arg(m_line);
            return false;
        }
        const bool lineEnd = c == '\r' || c == '\n';
        if (lineEnd && state != State::Quoted) {
            if (c == '\r') {
                if (m_pos >= m_buffer.size())
                    fill();
                if (m_pos < m_buffer.size() && m_buffer.at(m_pos) == '\n') {
                    ++m_pos;
                    ++m_consumed;
                }
            }
            ++m_line;
            finishField(fields);
            return true;
        }
        switch (state) {
        case State::FieldStart:
            if (c == '"') {
                state = State::Quoted;
                break;
            }
            [[fallthrough]];
        case State::Unquoted:
            if (c == ',') {
                finishField(fields);
                state = State::FieldStart;
            } else {
                if (c == '"')
                    malformed(QStringLiteral("引用符（\"）で囲まれていない欄に引用符があります"));
                m_field.append(c);
                state = State::Unquoted;
            }
            break;
        case State::Quoted:
            if (c == '"') {
                state = State::QuoteInQuoted;
            } else {
                if (c == '\n')
                    ++m_line;
                m_field.append(c);
            }
            break;
        case State::QuoteInQuoted:
            if (c == '"') {
                m_field.append('"');
                state = State::Quoted;
            } else if (c == ',') {
                finishField(fields);
                state = State::FieldStart;
            } else {
                malformed(QStringLiteral("閉じる引用符（\"）の後に文字があります"));
                m_field.append(c);
                state = State::Unquoted;
            }
            break;
        }
    }
}
