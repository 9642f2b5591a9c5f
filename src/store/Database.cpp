#include "store/Database.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Migration.h"
#include "store/Schema.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <sqlite3.h>
#include <system_error>

namespace {

QString sqliteError(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database");
}

// A damaged page met by the program's own connection is told to the user once; every other
// failure is only logged.
void noticeDamage(sqlite3* db, int rc) {
    const int primary = rc & 0xff;
    if (db && db == gdbData().handle() && (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB))
        gReportDataFileDamaged();
}

void report(sqlite3* db, const QString& procName, const QString& text) {
    const int rc = db ? sqlite3_extended_errcode(db) : 0;
    gSetLastError(rc, QStringLiteral("SQLite"), sqliteError(db));
    gProcError(procName, text);
    noticeDamage(db, rc);
}

// Reports a failed statement: the engine's own message, or the layer's reason when it refused
// the statement itself.
void reportFailure(sqlite3* db, int rc, const QString& why, const QString& procName,
                   const QString& text) {
    if (why.isEmpty()) {
        report(db, procName, text);
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
            case QMetaType::QDate: {
                if (!v.toDate().isValid()) {
                    rc = sqlite3_bind_null(st, idx);
                    break;
                }
                const QByteArray b = dbDateText(v.toDate()).toUtf8();
                rc = sqlite3_bind_text(st, idx, b.constData(), static_cast<int>(b.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDateTime: {
                if (!v.toDateTime().isValid()) {
                    rc = sqlite3_bind_null(st, idx);
                    break;
                }
                const QByteArray b = dbDateTimeText(v.toDateTime()).toUtf8();
                rc = sqlite3_bind_text(st, idx, b.constData(), static_cast<int>(b.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray b = v.toString().toUtf8();
                rc = sqlite3_bind_text(st, idx, b.constData(), static_cast<int>(b.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
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
    const QByteArray p = QFile::encodeName(path);
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
    sqlite3_exec(db, "PRAGMA foreign_keys=OFF", nullptr, nullptr, nullptr);
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
    if (sql.isEmpty() || !m_db) {
        if (!m_db)
            gSetLastError(SQLITE_MISUSE, QStringLiteral("SQLite"),
                          QStringLiteral("database not open"));
        gProcError(procName, QStringLiteral("SQL=") + sql);
        return false;
    }
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
        reportFailure(m_db, rc, why, procName, QStringLiteral("SQL=") + sql);
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
        report(m_db, procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    return true;
}

int Database::schemaVersion() const {
    if (!m_db)
        return -1;
    sqlite3_stmt* st = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
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
    if (!db || sql.isEmpty()) {
        if (!db)
            gSetLastError(SQLITE_MISUSE, QStringLiteral("SQLite"),
                          QStringLiteral("database not open"));
        gProcError(procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    QString why;
    int rc = prepareBound(db, sql, params, &st, why);
    if (rc != SQLITE_OK) {
        reportFailure(db, rc, why, procName, QStringLiteral("SQL=") + sql);
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
        report(db, procName, QStringLiteral("SQL=") + sql);
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
    if (!db || m_sql.isEmpty()) {
        if (!db)
            gSetLastError(SQLITE_MISUSE, QStringLiteral("SQLite"),
                          QStringLiteral("database not open"));
        gProcError(procName, QStringLiteral("SQL=") + m_sql);
        return false;
    }
    QString why;
    // A statement prepared for binding one by one takes any number of placeholders.
    const int rc =
        params ? prepareBound(db, m_sql, *params, &m_st, why) : prepareBound(db, m_sql, &m_st, why);
    if (rc != SQLITE_OK) {
        reportFailure(db, rc, why, procName, QStringLiteral("SQL=") + m_sql);
        sqlite3_finalize(m_st);
        m_st = nullptr;
        return false;
    }
    m_failed = false;
    return true;
}

void RowCursor::fail() {
    if (!m_failed)
        report(m_db.handle(), m_proc, QStringLiteral("SQL=") + m_sql);
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
    const QByteArray u = v.toUtf8();
    if (m_st && sqlite3_bind_text(m_st, index, u.constData(), static_cast<int>(u.size()),
                                  SQLITE_TRANSIENT) != SQLITE_OK)
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

Database& gdbData() {
    static Database db;
    return db;
}

namespace {

QString& initRefusal() {
    static QString text;
    return text;
}

// An older file whose contents do not agree with its version: it cannot be migrated. `parts`
// names what the version should not hold yet, when known.
QString versionMismatchText(int version, const QString& parts) {
    QString text = QStringLiteral("データファイルの内容が、記録されているバージョン（%1）の形式と"
                                  "一致しないため、新しい形式に変換できません。")
                       .arg(version);
    if (!parts.isEmpty())
        text += QStringLiteral("\r\nバージョン%1にはないもの：").arg(version) + parts;
    return text + QStringLiteral("\r\nファイルは変更していません。バックアップから復元するか、"
                                 "正しいデータファイルを置いてください。");
}

// What the user reads when the data file cannot be used, by what was found.
QString refusalText(DataFileStatus status, const QString& path,
                    const DataFileFindings& findings = {}) {
    const QString file = QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    switch (status) {
    case DataFileStatus::Ok:
        break;
    case DataFileStatus::Unreadable:
        return QStringLiteral("データファイルが見つからないか、読み込めません。") + file;
    case DataFileStatus::NotDatabase:
    case DataFileStatus::NotDataFile:
        return QStringLiteral("このファイルは本ソフトのデータファイルではありません。\r\n"
                              "ファイルは変更していません。正しいデータファイルを置くか、"
                              "バックアップから復元してください。") +
               file;
    case DataFileStatus::Damaged:
        return QStringLiteral("データファイルが壊れているため、開けません。\r\n"
                              "ファイルは変更していません。バックアップから復元してください。") +
               file;
    case DataFileStatus::NewerVersion:
        return QStringLiteral("データファイルは新しいバージョンの本ソフトで作られたため、"
                              "このバージョンでは開けません。\r\n"
                              "ファイルは変更していません。新しいバージョンをお使いください。") +
               file;
    case DataFileStatus::Incomplete:
        return QStringLiteral("データファイルに必要な部分が欠けているため、開けません。\r\n"
                              "足りないもの：") +
               gSchemaPartsText(findings.parts) +
               QStringLiteral(
                   "\r\nファイルは変更していません。バックアップから復元してください。") +
               file;
    case DataFileStatus::VersionMismatch:
        return versionMismatchText(findings.version, gSchemaPartsText(findings.parts)) + file;
    }
    return {};
}

// What an engine failure while opening means for the user.
QString openFailureText(int rc, const QString& path) {
    const QString file = QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("データファイルは他のプログラムが使用中のため、開けません。\r\n"
                              "他のプログラムを終了してから、もう一度起動してください。") +
               file;
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("データファイルを開けません（ディスクの読み書きに失敗しました）。\r\n"
                              "ディスクの空き容量と、ファイル・フォルダーの権限を確認してください。"
                              "空きを作ってから、もう一度起動してください。") +
               file;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return refusalText(DataFileStatus::Damaged, path);
    default:
        return QStringLiteral("データファイルを開けません。") + file;
    }
}

bool refuse(const QString& path, const QString& text, int rc, const QString& why) {
    initRefusal() = text;
    gSetLastError(rc, QStringLiteral("SQLite"), why);
    gProcError(QStringLiteral("DbInit"), path);
    return false;
}

// A read-only file keeps the settings and the ranking table in memory for the session: the
// names resolve to these copies first, and nothing reaches the file.
bool shadowWritableTables(Database& db) {
    return db.executeSQL(
               QStringLiteral("CREATE TEMP TABLE T_SYSTEM AS SELECT * FROM main.T_SYSTEM"), {},
               QStringLiteral("DbInit")) &&
           db.executeSQL(QStringLiteral("CREATE TEMP TABLE T_MP_RANKING AS SELECT * FROM "
                                        "main.T_MP_RANKING WHERE 0"),
                         {}, QStringLiteral("DbInit"));
}

// An older file is brought to the program's version before anything else touches it: checked
// in full first (a damaged file is never rewritten), copied into the backup folder, then
// migrated in one transaction. A file that cannot be written cannot be migrated and is refused.
bool migrateDataFile(const QString& path, int version, bool readOnly) {
    const QString file = QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    const auto fail = [&](const QString& text) {
        gdbData().close();
        initRefusal() = text + file;
        return false;
    };
    if (readOnly)
        return fail(QStringLiteral("データファイルは以前のバージョンの形式で、書き込みできないため"
                                   "新しい形式に変換できません。\r\n"
                                   "ファイルは変更していません。書き込みできる場所に置いてから、"
                                   "もう一度起動してください。"));
    if (!gQuickCheckDataFile(path))
        return fail(refusalText(DataFileStatus::Damaged, path));
    const QString copy = gCopyBeforeMigration(path, version, QStringLiteral("DbInit"));
    if (copy.isEmpty())
        return fail(QStringLiteral("データファイルを新しい形式に変換できませんでした。\r\n"
                                   "ファイルは変更していません。ディスクの空き容量と、"
                                   "フォルダーの権限を確認してください。"));
    bool contents = false;
    if (!DbMigrate(gdbData(), QStringLiteral("DbInit"), &contents)) {
        // The migration changed nothing: its copy would only pile up with every attempt.
        QFile::remove(copy);
        if (contents)
            return fail(versionMismatchText(version, {}));
        return fail(QStringLiteral("データファイルを新しい形式に変換できませんでした。\r\n"
                                   "ファイルは変更していません。ディスクの空き容量と、"
                                   "フォルダーの権限を確認してください。"));
    }
    return true;
}

} // namespace

bool DbInit(const QString& path, bool walNow) {
    initRefusal().clear();
    gResetDataFileState(path, false, false);
    gdbData().close();
    DataFileFindings found;
    const DataFileStatus shape = gChkDataFileShape(path, &found);
    if (shape == DataFileStatus::Unreadable && !QFileInfo(path).isFile())
        return refuse(path, refusalText(shape, path), SQLITE_CANTOPEN,
                      QStringLiteral("file not found"));
    if (shape != DataFileStatus::Ok && shape != DataFileStatus::Unreadable)
        return refuse(path, refusalText(shape, path, found), SQLITE_MISMATCH,
                      QStringLiteral("not a data file of this program (%1) %2")
                          .arg(int(shape))
                          .arg(found.parts.join(QLatin1Char(','))));

    const bool readOnly = !gDataFileWritable(path);
    if (!gdbData().open(path, QStringLiteral("DbInit"), readOnly)) {
        initRefusal() = openFailureText(gdbData().lastErrorCode(), path);
        return false;
    }
    if (shape == DataFileStatus::Unreadable) {
        // The shape could not be read through a connection of its own (a log left by a crash
        // that a read-only look cannot recover): the program's connection has recovered it now.
        const DataFileStatus again = gChkDataFileShape(path, &found);
        if (again != DataFileStatus::Ok) {
            gdbData().close();
            return refuse(path, refusalText(again, path, found), SQLITE_MISMATCH,
                          QStringLiteral("not a data file of this program (%1)").arg(int(again)));
        }
    }
    const int version = gdbData().schemaVersion();
    if (version < 1 || version > kDbSchemaVersion) {
        gdbData().close();
        return refuse(path,
                      refusalText(version > kDbSchemaVersion ? DataFileStatus::NewerVersion
                                                             : DataFileStatus::NotDataFile,
                                  path),
                      SQLITE_MISMATCH,
                      QStringLiteral("unsupported schema version %1").arg(version));
    }
    if (version < kDbSchemaVersion && !migrateDataFile(path, version, readOnly))
        return false;
    if (readOnly) {
        if (!shadowWritableTables(gdbData())) {
            initRefusal() = openFailureText(gdbData().lastErrorCode(), path);
            gdbData().close();
            return false;
        }
        gResetDataFileState(path, true, true);
        return true;
    }
    sqlite3_exec(gdbData().handle(), "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    gResetDataFileState(path, true, false);
    if (walNow)
        DbEnableWriteAheadLog();
    return true;
}

bool DbEnableWriteAheadLog() {
    if (!gdbData().isOpen() || gDataFileReadOnly() || gDataFileDamaged())
        return false;
    // Each confirmed cell is one commit. A write-ahead log with full synchronisation keeps every
    // commit durable across a power loss at a fraction of the rollback journal's cost (one
    // flush instead of three). Where the log cannot be used the rollback journal stays. In
    // this mode every other connection to the file is visible to SQLite's locks, which the
    // compaction relies on.
    return sqlite3_exec(gdbData().handle(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) ==
           SQLITE_OK;
}

QString DbInitRefusal() {
    return initRefusal();
}

void DbClose() {
    // Back to a plain rollback journal: the write-ahead log is folded into the file and removed,
    // so the closed file can be copied, compacted or replaced on its own. (Another connection
    // to the file keeps the log: SQLite refuses the switch then.)
    if (gdbData().isOpen() && !gDataFileReadOnly())
        sqlite3_exec(gdbData().handle(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    gdbData().close();
}

namespace {

// Compaction rewrites every page (about ten times a plain copy of the file; about 5 to 8
// seconds at a million lines), so it runs only where it gives back a real share of the file,
// and at most once a week.
bool compactionDue(Database& db) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT freelist_count AS lngFree, page_count AS "
                                         "lngPages FROM pragma_freelist_count, "
                                         "pragma_page_count")) ||
        rs.recordCount() != 1)
        return true; // no figures: compact as before
    const qint64 freePages = rs.lng(0);
    const qint64 pages = rs.lng(1);
    QDateTime last;
    ResultSet time(db);
    if (time.openRecordSet(QStringLiteral("SELECT datField FROM T_SYSTEM WHERE lngID = ?"),
                           {kCompactionTimeRow}) &&
        time.recordCount() == 1)
        last = time.value(0).toDateTime();
    return DbCompactionDue(freePages, pages, last, svc().clock().now());
}

// Records the time of a compaction in the compacted copy (closed, not yet in place).
bool recordCompactionTime(const QString& copy, const QString& procName) {
    Database db;
    return db.open(copy, procName) &&
           gRecordSystemTime(db, kCompactionTimeRow, svc().clock().now(), procName);
}

} // namespace

bool DbCompactionDue(qint64 freePages, qint64 pages, const QDateTime& lastCompaction,
                     const QDateTime& now) {
    if (freePages * 4 < pages)
        return false;
    if (!lastCompaction.isValid() || lastCompaction > now)
        return true;
    return lastCompaction.addDays(7) <= now;
}

void DbCloseAndCompact(const QString& path, const std::function<void()>& beforeCompacting) {
    gWaitDataFileCheck();
    bool compact = gDataFileAccepted() && !gDataFileReadOnly() && !gDataFileDamaged();
    if (compact) {
        if (gdbData().isOpen()) {
            compact = compactionDue(gdbData());
        } else if (QFileInfo(path).isFile()) {
            // The figures of a file closed before: read-only, and only when it is there (a
            // missing file is the compaction's failure to report).
            Database closed;
            if (closed.open(path, QStringLiteral("DbCloseAndCompact"), true))
                compact = compactionDue(closed);
        }
    }
    DbClose();
    if (!compact)
        return;
    if (beforeCompacting)
        beforeCompacting();
    DbCompactDataBase(path);
}

namespace {

// DbReplaceExclusively, handing the connection that holds the exclusive lock to replace.
bool replaceExclusively(const QString& path, const QString& procName,
                        const std::function<bool(sqlite3*)>& replace) {
    // The lock beside the file first: held by this process for its session, or taken for
    // this call.
    const bool heldBefore = gDataFileLockedByUs(path);
    if (!heldBefore) {
        DataLockHolder holder;
        if (gLockDataFile(path, &holder) != DataLockResult::Locked) {
            gSetLastError(SQLITE_BUSY, QStringLiteral("SQLite"),
                          QStringLiteral("the data file is in use (lock %1, process %2)")
                              .arg(gDataLockPath(path))
                              .arg(holder.pid));
            gProcError(procName, path);
            return false;
        }
    }
    struct ReleaseLock {
        bool release;
        ~ReleaseLock() {
            if (release)
                gUnlockDataFile();
        }
    } releaseLock{!heldBefore};

    // Then SQLite's own lock, which also sees a program that ignored the lock file: another
    // connection in write-ahead-log mode makes the switch to a rollback journal fail, and an
    // active reader or writer makes the exclusive lock fail. The lock is kept (exclusive
    // locking mode) until the file has been replaced.
    sqlite3* db = nullptr;
    const QByteArray p = QFile::encodeName(path);
    int rc = sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QStringList mode;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        rc = sqlite3_prepare_v2(db, "PRAGMA journal_mode=DELETE", -1, &st, nullptr);
        if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
            const QString m =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            rc = m.compare(QLatin1String("delete"), Qt::CaseInsensitive) == 0 ? SQLITE_OK
                                                                              : SQLITE_BUSY;
        }
        sqlite3_finalize(st);
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
    // A damaged file cannot be locked through its pages, but it can still be replaced (by a
    // restore) under the lock beside it.
    if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB)
        rc = SQLITE_OK;
    if (rc != SQLITE_OK) {
        gSetLastError(rc, QStringLiteral("SQLite"),
                      (rc & 0xff) == SQLITE_BUSY
                          ? QStringLiteral("another connection has the data file open")
                          : sqliteError(db));
        sqlite3_close_v2(db);
        gProcError(procName, path);
        return false;
    }
    const bool ok = replace(db);
    sqlite3_close_v2(db);
    return ok;
}

} // namespace

bool DbReplaceExclusively(const QString& path, const QString& procName,
                          const std::function<bool()>& replace) {
    return replaceExclusively(path, procName, [&](sqlite3*) { return replace(); });
}

bool DbCompactDataBase(const QString& pathIn) {
    const QString path = rightTrimmed(pathIn);
    const QString proc = QStringLiteral("DbCompactDataBase");
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        gProcError(proc, path);
        return false;
    }
    const QFileInfo fi(path);
    if (gdbData().isOpen() &&
        QFileInfo(gdbData().path()).canonicalFilePath() == fi.canonicalFilePath()) {
        gSetLastError(SQLITE_BUSY, QStringLiteral("SQLite"), QStringLiteral("the file is open"));
        gProcError(proc, path);
        return false;
    }
    // Only this program's own data file is ever rewritten.
    const DataFileStatus shape = gChkDataFileShape(path);
    if (shape != DataFileStatus::Ok) {
        gSetLastError(SQLITE_MISMATCH, QStringLiteral("SQLite"),
                      QStringLiteral("not a data file of this program (%1)").arg(int(shape)));
        gProcError(proc, path);
        return false;
    }
    const QString folder = gAddBackSlash(fi.absolutePath());
    return replaceExclusively(path, proc, [&](sqlite3* db) {
        QString temp;
        for (int n = 1;; ++n) {
            temp = folder + QStringLiteral("CompactDataBase%1.mdb").arg(n);
            if (!QFileInfo::exists(temp))
                break;
        }
        // The copy is owner-only from its first byte: VACUUM INTO fills an empty file, and
        // SQLite gives its journal the same permissions.
        QFile made(temp);
        if (!made.open(QIODevice::NewOnly | QIODevice::WriteOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            gSetLastError(int(made.error()), QStringLiteral("file"), made.errorString());
            gProcError(proc, temp);
            return false;
        }
        made.close();
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            const QByteArray t = QFile::encodeName(temp);
            sqlite3_bind_text(st, 1, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            rc = sqlite3_step(st);
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
        if (rc != SQLITE_OK)
            gSetLastError(rc, QStringLiteral("SQLite"), sqliteError(db));
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) {
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
            gProcError(proc, path);
            return false;
        }
        if (!recordCompactionTime(temp, proc)) {
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
            return false;
        }
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(temp).toStdString(),
                                QFile::encodeName(path).toStdString(), ec);
        if (ec) {
            gSetLastError(ec.value(), QStringLiteral("filesystem"),
                          QString::fromLocal8Bit(ec.message().c_str()));
            QFile::remove(temp);
            gProcError(proc, path);
            return false;
        }
        return true;
    });
}

bool gRecordSystemTime(Database& db, int row, const QDateTime& time, const QString& procName) {
    Transaction tr(db);
    if (!tr.ok())
        return false;
    if (!db.executeSQL(QStringLiteral("UPDATE T_SYSTEM SET datField = ? WHERE lngID = ?"),
                       {time, row}, procName))
        return false;
    // A file that never had the row gets it now, or the time would silently not be kept.
    if (db.changes() == 0 &&
        !db.executeSQL(QStringLiteral("INSERT INTO T_SYSTEM (lngID, datField) VALUES (?, ?)"),
                       {row, time}, procName))
        return false;
    return tr.commit();
}
