#include "store/Database.h"

#include "base/ErrorLog.h"
#include "base/SystemFiles.h"
#include "store/Currency.h"
#include "store/EngineSql.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

QString sqliteError(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database");
}

// A damaged page met by the program's own connection is told to the user once; every other
// failure is only logged.
void noticeDamage(const Database* conn, int rc) {
    const int primary = rc & 0xff;
    if (conn && (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB))
        conn->damageFound();
}

// conn: the connection whose statement failed, told of a damaged page (none while opening).
void report(sqlite3* db, const QString& procName, const QString& text,
            const Database* conn = nullptr) {
    const int rc = db ? sqlite3_extended_errcode(db) : 0;
    gSetLastError(rc, QStringLiteral("SQLite"), sqliteError(db));
    gProcError(procName, text);
    noticeDamage(conn, rc);
}

// Reports a failed statement: the engine's own message, or the layer's reason when it refused
// the statement itself.
void reportFailure(sqlite3* db, int rc, const QString& why, const QString& procName,
                   const QString& text, const Database* conn) {
    if (why.isEmpty()) {
        report(db, procName, text, conn);
        return;
    }
    gSetLastError(rc, QStringLiteral("SQLite"), why);
    gProcError(procName, text);
}

QString rightTrimmed(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

// A statement without a connection or without text is refused (reported under procName): true.
bool refuseUnusable(sqlite3* db, const QString& sql, const QString& procName) {
    if (db && !sql.isEmpty())
        return false;
    if (!db)
        gSetLastError(SQLITE_MISUSE, QStringLiteral("SQLite"), QStringLiteral("database not open"));
    gProcError(procName, QStringLiteral("SQL=") + sql);
    return true;
}

// The text after the first statement may hold only spaces and semicolons: a second statement
// would otherwise be dropped without a word.
bool onlyOneStatement(const char* tail) {
    for (; tail && *tail; ++tail)
        if (*tail != ';' && !QChar::isSpace(static_cast<uchar>(*tail)))
            return false;
    return true;
}

// Prepares one statement and binds its parameters. A mismatch between placeholders and values is
// refused instead of leaving placeholders NULL.
int prepareBound(sqlite3* db, const QString& sql, const QVariantList& params, sqlite3_stmt** st,
                 QString& why);

int bindUtf8(sqlite3_stmt* st, int idx, const QString& text) {
    const QByteArray b = text.toUtf8();
    return sqlite3_bind_text(st, idx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

// The stored text of a QDate or QDateTime value; a null QString when it is not valid.
QString storedTimeText(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().isValid() ? dbDateText(v.toDate()) : QString();
    return v.toDateTime().isValid() ? dbDateTimeText(v.toDateTime()) : QString();
}

bool bindAll(sqlite3_stmt* st, const QVariantList& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params.at(i);
        const int idx = i + 1;
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(st, idx);
        } else if (v.metaType() == QMetaType::fromType<Currency>()) {
            rc = sqlite3_bind_int64(st, idx, v.value<Currency>().raw());
        } else {
            switch (v.metaType().id()) {
            case QMetaType::Bool:
                rc = sqlite3_bind_int(st, idx, v.toBool() ? 1 : 0);
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::Long:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::ULong:
            case QMetaType::ULongLong:
                rc = sqlite3_bind_int64(st, idx, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(st, idx, v.toDouble());
                break;
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                // An invalid date or time is stored as NULL.
                const QString t = storedTimeText(v);
                rc = t.isNull() ? sqlite3_bind_null(st, idx) : bindUtf8(st, idx, t);
                break;
            }
            default:
                rc = bindUtf8(st, idx, v.toString());
                break;
            }
        }
        if (rc != SQLITE_OK)
            return false;
    }
    return true;
}

int prepareBound(sqlite3* db, const QString& sql, sqlite3_stmt** st, QString& why) {
    const QByteArray q = sql.toUtf8();
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, q.constData(), static_cast<int>(q.size()), st, &tail);
    if (rc != SQLITE_OK)
        return rc;
    if (!*st) {
        why = QStringLiteral("no statement");
        return SQLITE_MISUSE;
    }
    if (!onlyOneStatement(tail)) {
        why = QStringLiteral("more than one statement");
        return SQLITE_MISUSE;
    }
    return SQLITE_OK;
}

int prepareBound(sqlite3* db, const QString& sql, const QVariantList& params, sqlite3_stmt** st,
                 QString& why) {
    const int rc = prepareBound(db, sql, st, why);
    if (rc != SQLITE_OK)
        return rc;
    if (sqlite3_bind_parameter_count(*st) != params.size()) {
        why = QStringLiteral("%1 placeholders, %2 values")
                  .arg(sqlite3_bind_parameter_count(*st))
                  .arg(params.size());
        return SQLITE_RANGE;
    }
    if (!bindAll(*st, params))
        return SQLITE_ERROR;
    return SQLITE_OK;
}

enum class Kind { Raw, Cur, Bln, Lng, Date, Str };

// The name that types a result column: an alias or column name, a table-qualified name without
// its table, and for the aggregates and functions that keep their argument's type (Sum(curCost),
// Max(lngSort), IfNull(curX, 0)) the first argument.
QString typingName(QString n) {
    static const QStringList keepType = {QStringLiteral("sum"),    QStringLiteral("total"),
                                         QStringLiteral("min"),    QStringLiteral("max"),
                                         QStringLiteral("avg"),    QStringLiteral("abs"),
                                         QStringLiteral("ifnull"), QStringLiteral("coalesce"),
                                         QStringLiteral("first"),  QStringLiteral("last")};
    for (;;) {
        n = n.trimmed();
        const qsizetype open = n.indexOf(QLatin1Char('('));
        if (open <= 0 || !n.endsWith(QLatin1Char(')')))
            break;
        if (!keepType.contains(n.left(open).trimmed().toLower()))
            return {};
        n = n.mid(open + 1, n.size() - open - 2);
        const qsizetype comma = n.indexOf(QLatin1Char(','));
        if (comma >= 0)
            n = n.left(comma);
        if (n.trimmed().startsWith(QLatin1String("distinct "), Qt::CaseInsensitive))
            n = n.trimmed().mid(9);
    }
    n = n.trimmed();
    const qsizetype dot = n.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        n = n.mid(dot + 1);
    // An expression ("curCost * curRatio") is not typed: its scale is the caller's to know.
    for (const QChar c : n)
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return {};
    return n;
}

Kind kindOf(const QString& name) {
    const QString n = typingName(name).toLower();
    if (n.startsWith(QLatin1String("cur")))
        return Kind::Cur;
    if (n.startsWith(QLatin1String("bln")))
        return Kind::Bln;
    if (n.startsWith(QLatin1String("lng")))
        return Kind::Lng;
    if (n.startsWith(QLatin1String("dat")))
        return Kind::Date;
    if (n.startsWith(QLatin1String("str")))
        return Kind::Str;
    return Kind::Raw;
}

QVariant readColumn(sqlite3_stmt* st, int col, Kind kind) {
    const int type = sqlite3_column_type(st, col);
    if (type == SQLITE_NULL)
        return {};
    switch (kind) {
    case Kind::Cur:
        if (type == SQLITE_INTEGER)
            return QVariant::fromValue(Currency::fromRaw(sqlite3_column_int64(st, col)));
        return QVariant::fromValue(Currency::fromDouble(sqlite3_column_double(st, col) /
                                                        static_cast<double>(Currency::Scale)));
    case Kind::Bln:
        return QVariant(sqlite3_column_int64(st, col) != 0);
    case Kind::Lng:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(st, col)));
    case Kind::Date: {
        const QString s =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                              sqlite3_column_bytes(st, col));
        if (s.size() == 10) {
            const QDate d = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
            if (d.isValid())
                return QVariant(d);
        } else if (s.size() == 19) {
            const QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (dt.isValid())
                return QVariant(dt);
        }
        // A value in no stored form is handed over as it is rather than lost.
        return QVariant(s);
    }
    case Kind::Str:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                              sqlite3_column_bytes(st, col)));
    case Kind::Raw:
        break;
    }
    switch (type) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(st, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, col));
    default:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                              sqlite3_column_bytes(st, col)));
    }
}

} // namespace

QString dbDateText(const QDate& d) {
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}
QString dbDateTimeText(const QDateTime& dt) {
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

Database::~Database() {
    close();
}

bool Database::open(const QString& path, const QString& procName, bool readOnly) {
    close();
    if (!QFileInfo(path).isFile()) {
        gSetLastError(SQLITE_CANTOPEN, QStringLiteral("SQLite"),
                      QStringLiteral("file not found: ") + path);
        gProcError(procName, path);
        return false;
    }
    sqlite3* db = nullptr;
    const QByteArray p = gNativeFileBytes(path);
    int rc = sqlite3_open_v2(
        p.constData(), &db,
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        // Long enough to wait out the start-up check's read of the whole file, which holds a
        // read lock until the file is switched to the write-ahead log.
        sqlite3_busy_timeout(db, 10000);
        // Reading the schema proves the file is a database.
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        report(db, procName, path);
        sqlite3_close_v2(db);
        return false;
    }
    EngineSql::setForeignKeysOff(db);
    m_db = db;
    m_path = path;
    return true;
}

void Database::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Database::executeSQL(const QString& sqlIn, const QVariantList& params,
                          const QString& procName) {
    const QString sql = rightTrimmed(sqlIn);
    if (refuseUnusable(m_db, sql, procName))
        return false;
    sqlite3_stmt* st = nullptr;
    QString why;
    int rc = prepareBound(m_db, sql, params, &st, why);
    if (rc == SQLITE_OK) {
        do {
            rc = sqlite3_step(st);
        } while (rc == SQLITE_ROW);
    }
    const bool ok = (rc == SQLITE_DONE);
    if (!ok)
        reportFailure(m_db, rc, why, procName, QStringLiteral("SQL=") + sql, this);
    sqlite3_finalize(st);
    return ok;
}

bool Database::executeScript(const QString& sql, const QString& procName) {
    if (!m_db) {
        gProcError(procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    const QByteArray q = sql.toUtf8();
    if (sqlite3_exec(m_db, q.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        report(m_db, procName, QStringLiteral("SQL=") + sql, this);
        return false;
    }
    return true;
}

int Database::schemaVersion() const {
    if (!m_db)
        return -1;
    int version = -1;
    EngineSql::readUserVersion(m_db, version);
    return version;
}

qint64 Database::lastInsertId() const {
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}
int Database::changes() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}
QString Database::lastErrorText() const {
    return sqliteError(m_db);
}
int Database::lastErrorCode() const {
    return m_db ? sqlite3_extended_errcode(m_db) : SQLITE_OK;
}

bool Database::begin() {
    return executeSQL(QStringLiteral("BEGIN IMMEDIATE"), {}, QStringLiteral("DbBegin"));
}
bool Database::commit() {
    return executeSQL(QStringLiteral("COMMIT"), {}, QStringLiteral("DbCommit"));
}
void Database::rollback() {
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

Transaction::Transaction(Database& db) : m_db(db) {
    // Inside a transaction that a caller already opened, a savepoint keeps this one's changes
    // separate: its rollback undoes only what it did, its commit leaves the outer decision open.
    if (m_db.isOpen() && !sqlite3_get_autocommit(m_db.handle())) {
        static int counter = 0;
        m_savepoint = QStringLiteral("tovaki_sp%1").arg(++counter);
        m_active = m_db.executeSQL(QStringLiteral("SAVEPOINT ") + m_savepoint, {},
                                   QStringLiteral("DbBegin"));
        return;
    }
    m_active = m_db.begin();
}
Transaction::~Transaction() {
    if (m_active)
        rollbackNow();
}
void Transaction::rollbackNow() {
    m_active = false;
    if (m_savepoint.isEmpty()) {
        m_db.rollback();
        return;
    }
    if (!m_db.isOpen())
        return;
    const QByteArray name = m_savepoint.toUtf8();
    sqlite3_exec(m_db.handle(), ("ROLLBACK TO " + name).constData(), nullptr, nullptr, nullptr);
    sqlite3_exec(m_db.handle(), ("RELEASE " + name).constData(), nullptr, nullptr, nullptr);
}
bool Transaction::commit() {
    if (!m_active)
        return false;
    const bool ok = m_savepoint.isEmpty()
                        ? m_db.commit()
                        : m_db.executeSQL(QStringLiteral("RELEASE ") + m_savepoint, {},
                                          QStringLiteral("DbCommit"));
    if (ok) {
        m_active = false;
        return true;
    }
    rollbackNow();
    return false;
}

ResultSet::ResultSet(Database& db) : m_db(db) {}

bool ResultSet::openRecordSet(const QString& sqlIn, const QVariantList& params,
                              const QString& procName) {
    m_rows.clear();
    m_fieldNames.clear();
    m_numeric.clear();
    m_pos = 0;
    const QString sql = rightTrimmed(sqlIn);
    sqlite3* db = m_db.handle();
    if (refuseUnusable(db, sql, procName))
        return false;
    sqlite3_stmt* st = nullptr;
    QString why;
    int rc = prepareBound(db, sql, params, &st, why);
    if (rc != SQLITE_OK) {
        reportFailure(db, rc, why, procName, QStringLiteral("SQL=") + sql, &m_db);
        sqlite3_finalize(st);
        return false;
    }
    const int n = sqlite3_column_count(st);
    QStringList names;
    std::vector<Kind> kinds;
    std::vector<bool> numeric;
    for (int c = 0; c < n; ++c) {
        names << QString::fromUtf8(sqlite3_column_name(st, c));
        kinds.push_back(kindOf(names.back()));
        // Untyped columns fall back to the declared type for the Null conversion.
        const char* decl = sqlite3_column_decltype(st, c);
        const QByteArray d = QByteArray(decl ? decl : "").toUpper();
        numeric.push_back(d.contains("INT") || d.contains("REAL") || d.contains("NUM") ||
                          d.contains("DOUB") || d.contains("FLOA"));
    }
    std::vector<QVariantList> rows;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QVariantList row;
        row.reserve(n);
        for (int c = 0; c < n; ++c)
            row << readColumn(st, c, kinds[static_cast<std::size_t>(c)]);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        report(db, procName, QStringLiteral("SQL=") + sql, &m_db);
        sqlite3_finalize(st);
        return false;
    }
    sqlite3_finalize(st);
    m_rows = std::move(rows);
    m_fieldNames = names;
    m_numeric = std::move(numeric);
    return true;
}

QString ResultSet::fieldName(int index) const {
    return m_fieldNames.value(index);
}

int ResultSet::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_fieldNames.size(); ++i)
        if (m_fieldNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ResultSet::moveFirst() {
    if (m_rows.empty()) {
        gProcError(QStringLiteral("clsQuilloFunc_MDBDAO_MoveFirst"),
                   QStringLiteral("レコードが無いため、移動できませんでした。"));
        return false;
    }
    m_pos = 0;
    return true;
}

bool ResultSet::moveNext() {
    if (eof()) {
        gProcError(QStringLiteral("clsQuilloFunc_MDBDAO_MoveNext"),
                   QStringLiteral("最終レコードのため、次のレコードに移動できませんでした。"));
        return false;
    }
    ++m_pos;
    return true;
}

void ResultSet::moveLast() {
    if (eof()) {
        gProcError(QStringLiteral("clsQuilloFunc_MDBDAO_MoveLast"),
                   QStringLiteral("すでに最終レコードです。"));
        return;
    }
    m_pos = m_rows.size() - 1;
}

QVariant ResultSet::value(int index) const {
    if (eof() || index < 0 || index >= fieldCount())
        return {};
    return m_rows[m_pos].at(index);
}

QVariant ResultSet::value(const QString& name) const {
    return value(fieldIndex(name));
}

QVariant ResultSet::getFldData(int index) const {
    const QVariant v = value(index);
    if (!v.isNull())
        return v;
    switch (kindOf(fieldName(index))) {
    case Kind::Cur:
        return QVariant::fromValue(Currency());
    case Kind::Lng:
        return QVariant(qint64(0));
    case Kind::Date:
        return QVariant(QStringLiteral("1000/01/01 00:00:00"));
    case Kind::Bln:
        return QVariant(false);
    case Kind::Str:
        return QVariant(QString());
    default:
        break;
    }
    if (index >= 0 && static_cast<std::size_t>(index) < m_numeric.size() &&
        m_numeric[static_cast<std::size_t>(index)])
        return QVariant(qint64(0));
    return QVariant(QString());
}

QString ResultSet::text(int index) const {
    const QVariant v = value(index);
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>().toString();
    return v.toString();
}
qint64 ResultSet::lng(int index) const {
    const QVariant v = value(index);
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>().truncated();
    return v.toLongLong();
}
Currency ResultSet::cur(int index) const {
    const QVariant v = value(index);
    if (v.isNull())
        return {};
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>();
    if (v.metaType().id() == QMetaType::Double)
        return Currency::fromDouble(v.toDouble());
    return Currency::fromInt(v.toLongLong());
}
bool ResultSet::bln(int index) const {
    const QVariant v = value(index);
    if (v.metaType() == QMetaType::fromType<Currency>())
        return !v.value<Currency>().isZero();
    return v.toBool();
}

RowCursor::~RowCursor() {
    sqlite3_finalize(m_st);
}

bool RowCursor::prepare(const QString& sql, const QString& procName) {
    return start(sql, nullptr, procName);
}

bool RowCursor::open(const QString& sql, const QVariantList& params, const QString& procName) {
    return start(sql, &params, procName);
}

bool RowCursor::start(const QString& sqlIn, const QVariantList* params, const QString& procName) {
    sqlite3_finalize(m_st);
    m_st = nullptr;
    m_sql = rightTrimmed(sqlIn);
    m_proc = procName;
    m_failed = true;
    m_done = false;
    sqlite3* db = m_db.handle();
    if (refuseUnusable(db, m_sql, procName))
        return false;
    QString why;
    // A statement prepared for binding one by one takes any number of placeholders.
    const int rc =
        params ? prepareBound(db, m_sql, *params, &m_st, why) : prepareBound(db, m_sql, &m_st, why);
    if (rc != SQLITE_OK) {
        reportFailure(db, rc, why, procName, QStringLiteral("SQL=") + m_sql, &m_db);
        sqlite3_finalize(m_st);
        m_st = nullptr;
        return false;
    }
    m_failed = false;
    return true;
}

void RowCursor::fail() {
    if (!m_failed)
        report(m_db.handle(), m_proc, QStringLiteral("SQL=") + m_sql, &m_db);
    m_failed = true;
}

void RowCursor::reset() {
    if (!m_st)
        return;
    sqlite3_reset(m_st);
    sqlite3_clear_bindings(m_st);
    m_done = false;
}

void RowCursor::bindNull(int index) {
    if (m_st && sqlite3_bind_null(m_st, index) != SQLITE_OK)
        fail();
}

void RowCursor::bindInt(int index, qint64 v) {
    if (m_st && sqlite3_bind_int64(m_st, index, v) != SQLITE_OK)
        fail();
}

void RowCursor::bindText(int index, const QString& v) {
    if (m_st && bindUtf8(m_st, index, v) != SQLITE_OK)
        fail();
}

void RowCursor::bindOptional(int index, const std::optional<QString>& v) {
    v ? bindText(index, *v) : bindNull(index);
}

void RowCursor::bindOptional(int index, const std::optional<qint32>& v) {
    v ? bindInt(index, *v) : bindNull(index);
}

void RowCursor::bindOptional(int index, const std::optional<QDate>& v) {
    v && v->isValid() ? bindText(index, dbDateText(*v)) : bindNull(index);
}

void RowCursor::bindOptional(int index, const std::optional<Currency>& v) {
    v ? bindInt(index, v->raw()) : bindNull(index);
}

bool RowCursor::next() {
    if (!m_st || m_failed || m_done)
        return false;
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    m_done = true;
    if (rc != SQLITE_DONE)
        fail();
    return false;
}

bool RowCursor::run() {
    while (next()) {
    }
    return ready();
}

RowCursor::Type RowCursor::type(int col) const {
    switch (sqlite3_column_type(m_st, col)) {
    case SQLITE_INTEGER:
        return Type::Integer;
    case SQLITE_FLOAT:
        return Type::Real;
    case SQLITE_TEXT:
        return Type::Text;
    case SQLITE_BLOB:
        return Type::Blob;
    default:
        return Type::Null;
    }
}

qint64 RowCursor::int64(int col) const {
    return sqlite3_column_int64(m_st, col);
}

double RowCursor::real(int col) const {
    return sqlite3_column_double(m_st, col);
}

std::string_view RowCursor::text(int col) const {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_st, col));
    return t ? std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(m_st, col)))
             : std::string_view();
}

QString RowCursor::qtext(int col) const {
    if (sqlite3_column_type(m_st, col) == SQLITE_NULL)
        return {};
    const std::string_view t = text(col);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}
