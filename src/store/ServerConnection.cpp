// The PostgreSQL engine of server mode, through libpq. Statements are run with their values as
// text and the server infers each placeholder's type from where it stands; results are read as
// text and typed by the column's type.
#include "store/EngineConnection.h"

#include <QChar>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <optional>
#include <vector>

namespace {

// The type numbers of the server's built-in types that the store reads.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

bool isIntegerType(Oid t) {
    return t == kInt8 || t == kInt2 || t == kInt4 || t == kOid;
}

// The text of a statement with its "?" and "?N" placeholders as "$N" (a bare "?" takes the
// number after the largest so far, as the data file's engine counts them); quoted texts, quoted
// names and comments are left as they are. count: the largest number.
QByteArray serverPlaceholders(const QByteArray& sql, int& count) {
    QByteArray out;
    out.reserve(sql.size() + 16);
    count = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = sql.at(i);
        if (c == '\'' || c == '"') {
            const qsizetype end = sql.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += sql.mid(i, stop - i);
            i = stop - 1;
            continue;
        }
        if (c == '-' && i + 1 < n && sql.at(i + 1) == '-') {
            const qsizetype end = sql.indexOf('\n', i);
            const qsizetype stop = end < 0 ? n : end;
            out += sql.mid(i, stop - i);
            i = stop - 1;
            continue;
        }
        if (c != '?') {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && sql.at(j) >= '0' && sql.at(j) <= '9')
            ++j;
        const int number = j > i + 1 ? sql.mid(i + 1, j - i - 1).toInt() : count + 1;
        count = std::max(count, number);
        out += '$' + QByteArray::number(number);
        i = j - 1;
    }
    return out;
}

// What every connection of the program sets for its session, at the first connection and again
// after each reconnection.
void applySessionSettings(PGconn* conn) {
    PQsetClientEncoding(conn, "UTF8");
    PQclear(PQexec(conn, "SET application_name = 'tovaki'"));
}

// How long a connection (and a reconnection) may wait for the server before it is refused,
// unless the connection string says otherwise: a network cut then holds the window for seconds,
// not for the system's minutes.
constexpr const char* kConnectTimeoutSeconds = "10";

class ServerConnection;

class ServerStatement final : public EngineStatement {
public:
    ServerStatement(ServerConnection& conn, QByteArray sql, int params)
        : m_conn(conn), m_sql(std::move(sql)), m_values(static_cast<std::size_t>(params)) {}
    ~ServerStatement() override { clearResult(); }

    int parameterCount() const override { return static_cast<int>(m_values.size()); }
    bool bindNull(int index) override { return bind(index, std::nullopt); }
    bool bindInt(int index, qint64 v) override { return bind(index, QByteArray::number(v)); }
    bool bindDouble(int index, double v) override {
        return bind(index, QByteArray::number(v, 'g', 17));
    }
    bool bindText(int index, const QByteArray& utf8) override { return bind(index, utf8); }
    void reset() override {
        clearResult();
        for (auto& v : m_values)
            v.reset();
    }
    Step step() override;

    int columnCount() const override { return m_res ? PQnfields(m_res) : 0; }
    QString columnName(int col) const override {
        return m_res ? QString::fromUtf8(PQfname(m_res, col)) : QString();
    }
    bool columnDeclaredNumeric(int col) const override {
        const Oid t = m_res ? PQftype(m_res, col) : 0;
        return isIntegerType(t) || t == kFloat4 || t == kFloat8 || t == kNumeric || t == kBool;
    }
    ValueType type(int col) const override {
        if (!m_res || m_row < 0 || PQgetisnull(m_res, m_row, col))
            return ValueType::Null;
        const Oid t = PQftype(m_res, col);
        if (isIntegerType(t) || t == kBool)
            return ValueType::Integer;
        if (t == kNumeric) {
            // A sum of integers comes as a numeric without a fraction.
            const char* v = PQgetvalue(m_res, m_row, col);
            for (; *v; ++v)
                if (*v == '.' || *v == 'e' || *v == 'E' || *v == 'N')
                    return ValueType::Real;
            return ValueType::Integer;
        }
        if (t == kFloat4 || t == kFloat8)
            return ValueType::Real;
        return ValueType::Text;
    }
    qint64 int64(int col) const override {
        if (!m_res || m_row < 0 || PQgetisnull(m_res, m_row, col))
            return 0;
        const char* v = PQgetvalue(m_res, m_row, col);
        if (PQftype(m_res, col) == kBool)
            return *v == 't' ? 1 : 0;
        const ValueType t = type(col);
        if (t == ValueType::Real || t == ValueType::Text)
            return static_cast<qint64>(std::strtod(v, nullptr));
        return std::strtoll(v, nullptr, 10);
    }
    double real(int col) const override {
        if (!m_res || m_row < 0 || PQgetisnull(m_res, m_row, col))
            return 0;
        if (PQftype(m_res, col) == kBool)
            return int64(col);
        return std::strtod(PQgetvalue(m_res, m_row, col), nullptr);
    }
    std::string_view text(int col) const override {
        if (!m_res || m_row < 0 || PQgetisnull(m_res, m_row, col))
            return {};
        if (PQftype(m_res, col) == kBool)
            return *PQgetvalue(m_res, m_row, col) == 't' ? std::string_view("1")
                                                         : std::string_view("0");
        return std::string_view(PQgetvalue(m_res, m_row, col),
                                static_cast<std::size_t>(PQgetlength(m_res, m_row, col)));
    }

private:
    bool bind(int index, std::optional<QByteArray> v) {
        if (index < 1 || index > parameterCount())
            return false;
        m_values[static_cast<std::size_t>(index - 1)] = std::move(v);
        return true;
    }
    void clearResult() {
        if (m_res)
            PQclear(m_res);
        m_res = nullptr;
        m_row = -1;
        m_ran = false;
    }
    // Whether an integer column of the current row lies outside the 64-bit integers (a sum the
    // server keeps exact, which the data file's engine refuses as an overflow).
    bool rowOverflows() const;

    ServerConnection& m_conn;
    QByteArray m_sql;
    std::vector<std::optional<QByteArray>> m_values;
    PGresult* m_res = nullptr;
    int m_row = -1;
    bool m_ran = false;
};

class ServerConnection final : public EngineConnection {
public:
    explicit ServerConnection(PGconn* conn) : m_conn(conn) {
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
    }
    ~ServerConnection() override { PQfinish(m_conn); }

    QString engineName() const override { return QStringLiteral("PostgreSQL"); }
    std::unique_ptr<EngineStatement> prepare(const QString& sql, int& code, QString& why) override {
        int count = 0;
        QByteArray text = serverPlaceholders(sql.toUtf8(), count);
        // One statement each: a ";" may only end the text.
        qsizetype end = text.size();
        while (end > 0 && (text.at(end - 1) == ';' || QChar::isSpace(uchar(text.at(end - 1)))))
            --end;
        text.truncate(end);
        if (text.isEmpty()) {
            why = QStringLiteral("no statement");
            code = EngineCode::Misuse;
            return nullptr;
        }
        return std::make_unique<ServerStatement>(*this, std::move(text), count);
    }
    bool executeScript(const QString& sql) override {
        const QByteArray q = sql.toUtf8();
        return take(PQexec(m_conn, q.constData())) != nullptr;
    }
    int schemaVersion() override {
        // A database without the table names no version (asked first: a failed statement would
        // end an open transaction).
        PGresult* r = take(PQexec(m_conn, "SELECT to_regclass('t_schema_version') IS NOT NULL"));
        const bool marked = r && PQntuples(r) == 1 && *PQgetvalue(r, 0, 0) == 't';
        if (r)
            PQclear(r);
        if (!marked)
            return -1;
        r = take(PQexec(m_conn, "SELECT lngVersion FROM T_SCHEMA_VERSION"));
        int version = -1;
        if (r && PQntuples(r) == 1 && !PQgetisnull(r, 0, 0))
            version = std::atoi(PQgetvalue(r, 0, 0));
        if (r)
            PQclear(r);
        return version;
    }
    qint64 lastInsertId() const override { return 0; }
    int changes() const override { return m_changes; }
    QString errorText() const override { return m_error; }
    int errorCode() const override { return m_code; }
    bool isDamage(int) const override { return false; }
    bool sumOverflowed() const override { return m_overflow; }
    bool inTransaction() const override {
        const PGTransactionStatusType s = PQtransactionStatus(m_conn);
        return s == PQTRANS_INTRANS || s == PQTRANS_INERROR;
    }
    QString beginStatement() const override { return QStringLiteral("BEGIN"); }
    void rollbackQuietly() override {
        if (inTransaction())
            runQuietly("ROLLBACK");
    }
    void runQuietly(const QByteArray& sql) override { PQclear(PQexec(m_conn, sql.constData())); }

    // Keeps a result that succeeded (rows or a command: changes() counts its rows) and returns
    // it; a failure is noted (errorText) and null returned.
    PGresult* take(PGresult* r) {
        m_overflow = false;
        const ExecStatusType s = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        if (s == PGRES_TUPLES_OK || s == PGRES_COMMAND_OK || s == PGRES_EMPTY_QUERY) {
            m_changes = std::atoi(PQcmdTuples(r));
            return r;
        }
        const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        m_error = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(m_conn)).trimmed();
        if (state)
            m_error = QStringLiteral("[%1] %2").arg(QString::fromLatin1(state), m_error);
        m_code = EngineCode::Error;
        // A value beyond the integers (numeric_value_out_of_range): the data file's engine
        // calls it an integer overflow.
        m_overflow = state && std::strcmp(state, "22003") == 0;
        if (r)
            PQclear(r);
        return nullptr;
    }
    // A failure of the client library itself (a lost connection).
    void noteClientError() {
        m_error = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        m_code = EngineCode::Error;
        m_overflow = false;
    }
    void noteOverflow() {
        m_error = QStringLiteral("integer overflow");
        m_code = EngineCode::Error;
        m_overflow = true;
    }
    int backendPid() const override { return PQbackendPID(m_conn); }
    bool listen(const QByteArray& channel) override {
        const QByteArray sql = "LISTEN " + channel;
        PGresult* r = take(PQexec(m_conn, sql.constData()));
        if (r)
            PQclear(r);
        return r != nullptr;
    }
    std::vector<EngineNotice> takeNotices() override {
        std::vector<EngineNotice> out;
        // Reads what the server sent meanwhile (a lost connection simply gives nothing).
        PQconsumeInput(m_conn);
        while (PGnotify* n = PQnotifies(m_conn)) {
            out.push_back({QByteArray(n->relname), QByteArray(n->extra), n->be_pid});
            PQfreemem(n);
        }
        return out;
    }
    bool beginCopy(const QByteArray& statement) override {
        PGresult* r = PQexec(m_conn, statement.constData());
        if (r && PQresultStatus(r) == PGRES_COPY_IN) {
            PQclear(r);
            return true;
        }
        if (PGresult* other = take(r)) {
            PQclear(other);
            m_error = QStringLiteral("not a COPY FROM STDIN statement");
            m_code = EngineCode::Misuse;
        }
        return false;
    }
    bool putCopyData(const QByteArray& data) override {
        if (PQputCopyData(m_conn, data.constData(), static_cast<int>(data.size())) == 1)
            return true;
        noteClientError();
        return false;
    }
    bool endCopy(bool abandon) override {
        bool ok = PQputCopyEnd(m_conn, abandon ? "abandoned" : nullptr) == 1;
        if (!ok)
            noteClientError();
        ok = ok && !abandon;
        // The statement's outcome; an abandoned copy keeps the failure that abandoned it.
        while (PGresult* r = PQgetResult(m_conn)) {
            if (!ok) {
                PQclear(r);
                continue;
            }
            PGresult* kept = take(r);
            ok = kept != nullptr;
            if (kept)
                PQclear(kept);
        }
        return ok;
    }
    bool connectionLost() const override { return PQstatus(m_conn) == CONNECTION_BAD; }
    bool reconnect() override {
        // The server ended the transaction with the connection; nothing of it remains to undo.
        PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK) {
            m_error = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
            m_code = EngineCode::CantOpen;
            return false;
        }
        applySessionSettings(m_conn);
        return true;
    }
    PGconn* conn() const { return m_conn; }

private:
    PGconn* m_conn;
    QString m_error;
    int m_code = EngineCode::Ok;
    int m_changes = 0;
    bool m_overflow = false;
};

bool ServerStatement::rowOverflows() const {
    for (int c = 0; c < PQnfields(m_res); ++c) {
        if (PQftype(m_res, c) != kNumeric || type(c) != ValueType::Integer)
            continue;
        errno = 0;
        std::strtoll(PQgetvalue(m_res, m_row, c), nullptr, 10);
        if (errno == ERANGE)
            return true;
    }
    return false;
}

EngineStatement::Step ServerStatement::step() {
    if (!m_ran) {
        m_ran = true;
        std::vector<const char*> values;
        std::vector<int> lengths;
        for (const auto& v : m_values) {
            values.push_back(v ? v->constData() : nullptr);
            lengths.push_back(v ? static_cast<int>(v->size()) : 0);
        }
        m_res = m_conn.take(PQexecParams(m_conn.conn(), m_sql.constData(),
                                         static_cast<int>(values.size()), nullptr, values.data(),
                                         lengths.data(), nullptr, 0));
        if (!m_res)
            return Step::Error;
        m_row = -1;
    }
    if (!m_res)
        return Step::Error;
    if (m_row + 1 >= PQntuples(m_res)) {
        m_row = PQntuples(m_res);
        return Step::Done;
    }
    ++m_row;
    if (rowOverflows()) {
        m_conn.noteOverflow();
        return Step::Error;
    }
    return Step::Row;
}

} // namespace

std::unique_ptr<EngineConnection> openServerConnection(const QString& conninfo, QString& text,
                                                       const QString& password,
                                                       bool* needsPassword) {
    if (needsPassword)
        *needsPassword = false;
    const QByteArray info = conninfo.toUtf8();
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(info.constData(), &parseError);
    if (!options) {
        text = parseError ? QString::fromUtf8(parseError).trimmed()
                          : QStringLiteral("invalid connection string");
        PQfreemem(parseError);
        return nullptr;
    }
    PQconninfoFree(options);
    // The connection string is read as the database's name (expanded): what it names overrides
    // the time-out and the password given before it.
    const QByteArray typed = password.toUtf8();
    std::vector<const char*> keywords{"connect_timeout"};
    std::vector<const char*> values{kConnectTimeoutSeconds};
    if (!password.isEmpty()) {
        keywords.push_back("password");
        values.push_back(typed.constData());
    }
    keywords.insert(keywords.end(), {"dbname", nullptr});
    values.insert(values.end(), {info.constData(), nullptr});
    PGconn* conn = PQconnectdbParams(keywords.data(), values.data(), 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        if (needsPassword && conn)
            *needsPassword = PQconnectionNeedsPassword(conn) == 1;
        text = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed()
                    : QStringLiteral("out of memory");
        PQfinish(conn);
        return nullptr;
    }
    applySessionSettings(conn);
    return std::make_unique<ServerConnection>(conn);
}

bool serverModeAvailable() {
    return true;
}
