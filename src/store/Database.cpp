#include "store/Database.h"

#include "base/ErrorLog.h"
#include "base/SystemFiles.h"
#include "store/ChangeNotices.h"
#include "store/Currency.h"
#include "store/EngineConnection.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {

// A damaged page met by the program's own connection is told to the user once; every other
// failure is only logged.
void noticeDamage(const Database* conn, int rc) {
    if (conn && conn->engine() && conn->engine()->isDamage(rc))
        conn->damageFound();
}

// Reports the engine's last failure under procName. conn: the connection whose statement
// failed, told of a damaged page.
void report(const Database& db, const QString& procName, const QString& text) {
    EngineConnection* e = db.engine();
    const int rc = e ? e->errorCode() : 0;
    gSetLastError(rc, e ? e->engineName() : QStringLiteral("SQLite"),
                  e ? e->errorText() : QStringLiteral("no database"));
    gProcError(procName, text);
    noticeDamage(&db, rc);
}

// Reports a failed statement: the engine's own message, or the layer's reason when it refused
// the statement itself.
void reportFailure(const Database& db, int rc, const QString& why, const QString& procName,
                   const QString& text) {
    if (why.isEmpty()) {
        report(db, procName, text);
        return;
    }
    gSetLastError(rc, db.engine() ? db.engine()->engineName() : QStringLiteral("SQLite"), why);
    gProcError(procName, text);
}

QString rightTrimmed(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

// A statement without a connection or without text is refused (reported under procName): true.
bool refuseUnusable(const Database& db, const QString& sql, const QString& procName) {
    if (db.isOpen() && !sql.isEmpty())
        return false;
    if (!db.isOpen())
        gSetLastError(EngineCode::Misuse, QStringLiteral("SQLite"),
                      QStringLiteral("database not open"));
    gProcError(procName, QStringLiteral("SQL=") + sql);
    return true;
}

// The stored text of a QDate or QDateTime value; a null QString when it is not valid.
QString storedTimeText(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().isValid() ? dbDateText(v.toDate()) : QString();
    return v.toDateTime().isValid() ? dbDateTimeText(v.toDateTime()) : QString();
}

bool bindAll(EngineStatement& st, const QVariantList& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params.at(i);
        const int idx = i + 1;
        bool ok = true;
        if (v.isNull()) {
            ok = st.bindNull(idx);
        } else if (v.metaType() == QMetaType::fromType<Currency>()) {
            ok = st.bindInt(idx, v.value<Currency>().raw());
        } else {
            switch (v.metaType().id()) {
            case QMetaType::Bool:
                ok = st.bindInt(idx, v.toBool() ? 1 : 0);
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::Long:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::ULong:
            case QMetaType::ULongLong:
                ok = st.bindInt(idx, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                ok = st.bindDouble(idx, v.toDouble());
                break;
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                // An invalid date or time is stored as NULL.
                const QString t = storedTimeText(v);
                ok = t.isNull() ? st.bindNull(idx) : st.bindText(idx, t.toUtf8());
                break;
            }
            default:
                ok = st.bindText(idx, v.toString().toUtf8());
                break;
            }
        }
        if (!ok)
            return false;
    }
    return true;
}

// Prepares one statement and, when params is given, binds them. A mismatch between placeholders
// and values is refused instead of leaving placeholders NULL. Null with code and why when it
// fails.
std::unique_ptr<EngineStatement> prepareBound(EngineConnection& conn, const QString& sql,
                                              const QVariantList* params, int& code, QString& why) {
    code = EngineCode::Ok;
    std::unique_ptr<EngineStatement> st = conn.prepare(sql, code, why);
    if (!st || !params)
        return st;
    if (st->parameterCount() != params->size()) {
        why = QStringLiteral("%1 placeholders, %2 values")
                  .arg(st->parameterCount())
                  .arg(params->size());
        code = EngineCode::Range;
        return nullptr;
    }
    if (!bindAll(*st, *params)) {
        code = EngineCode::Error;
        return nullptr;
    }
    return st;
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

QVariant readColumn(const EngineStatement& st, int col, Kind kind) {
    using T = EngineStatement::ValueType;
    const T type = st.type(col);
    if (type == T::Null)
        return {};
    const auto text = [&st, col] {
        const std::string_view t = st.text(col);
        return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    };
    switch (kind) {
    case Kind::Cur:
        if (type == T::Integer)
            return QVariant::fromValue(Currency::fromRaw(st.int64(col)));
        return QVariant::fromValue(
            Currency::fromDouble(st.real(col) / static_cast<double>(Currency::Scale)));
    case Kind::Bln:
        return QVariant(st.int64(col) != 0);
    case Kind::Lng:
        return QVariant(static_cast<qint64>(st.int64(col)));
    case Kind::Date: {
        const QString s = text();
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
        return QVariant(text());
    case Kind::Raw:
        break;
    }
    switch (type) {
    case T::Integer:
        return QVariant(static_cast<qint64>(st.int64(col)));
    case T::Real:
        return QVariant(st.real(col));
    default:
        return QVariant(text());
    }
}

} // namespace

QString dbDateText(const QDate& d) {
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}
QString dbDateTimeText(const QDateTime& dt) {
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

Database::Database() = default;

Database::~Database() {
    close();
}

sqlite3* Database::handle() const {
    return m_conn ? m_conn->sqliteHandle() : nullptr;
}

bool Database::open(const QString& path, const QString& procName, bool readOnly) {
    close();
    if (!QFileInfo(path).isFile()) {
        gSetLastError(EngineCode::CantOpen, QStringLiteral("SQLite"),
                      QStringLiteral("file not found: ") + path);
        gProcError(procName, path);
        return false;
    }
    int code = EngineCode::Ok;
    QString text;
    m_conn = openSqliteConnection(gNativeFileBytes(path), readOnly, code, text);
    if (!m_conn) {
        gSetLastError(code, QStringLiteral("SQLite"), text);
        gProcError(procName, path);
        return false;
    }
    m_server = false;
    m_path = path;
    return true;
}

bool Database::openServer(const QString& conninfo, const QString& procName,
                          const QString& password) {
    close();
    m_serverFailure.clear();
    m_conn = openServerConnection(conninfo, m_serverFailure, password, &m_wantsPassword);
    if (!m_conn) {
        gSetLastError(EngineCode::CantOpen, QStringLiteral("PostgreSQL"), m_serverFailure);
        gProcError(procName, QStringLiteral("server"));
        return false;
    }
    m_server = true;
    m_path = conninfo;
    if (m_notices)
        m_notices->start();
    return true;
}

void Database::close() {
    if (m_notices)
        m_notices->stop();
    m_conn.reset();
    m_server = false;
    m_inTransaction = false;
    m_commitUnknown = false;
}

bool Database::connectionLost() const {
    return isServer() && m_conn->connectionLost();
}

bool Database::reconnect(const QString& procName) {
    if (!isServer())
        return false;
    if (!m_conn->reconnect()) {
        report(*this, procName, QStringLiteral("reconnect"));
        return false;
    }
    m_inTransaction = false;
    // The notices of the new connection's session; what was changed while none could arrive is
    // read again by whoever listens.
    if (m_notices) {
        m_notices->start();
        m_notices->announceMissed();
    }
    return true;
}

bool Database::reviveIfLost(const QString& procName) {
    if (m_inTransaction || !connectionLost())
        return true;
    return reconnect(procName);
}

ChangeNotices& Database::changeNotices() {
    if (!m_notices) {
        m_notices = std::make_unique<ChangeNotices>(*this);
        m_notices->start();
    }
    return *m_notices;
}

bool Database::executeSQL(const QString& sqlIn, const QVariantList& params,
                          const QString& procName) {
    const QString sql = rightTrimmed(sqlIn);
    if (refuseUnusable(*this, sql, procName) || !reviveIfLost(procName))
        return false;
    QString why;
    int code = EngineCode::Ok;
    std::unique_ptr<EngineStatement> st = prepareBound(*m_conn, sql, &params, code, why);
    EngineStatement::Step step = EngineStatement::Step::Error;
    if (st) {
        do {
            step = st->step();
        } while (step == EngineStatement::Step::Row);
    }
    const bool ok = (step == EngineStatement::Step::Done);
    if (!ok)
        reportFailure(*this, code, why, procName, QStringLiteral("SQL=") + sql);
    return ok;
}

bool Database::insertRow(const QString& sql, const QVariantList& params, const QString& procName,
                         qint64& key) {
    RowCursor c(*this);
    if (!c.open(sql, params, procName) || !c.next())
        return false;
    key = c.int64(0);
    return c.run();
}

bool Database::executeScript(const QString& sql, const QString& procName) {
    if (!m_conn) {
        gProcError(procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    if (!m_conn->executeScript(sql)) {
        report(*this, procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    return true;
}

int Database::schemaVersion() const {
    return m_conn ? m_conn->schemaVersion() : -1;
}

qint64 Database::lastInsertId() const {
    return m_conn ? m_conn->lastInsertId() : 0;
}
int Database::changes() const {
    return m_conn ? m_conn->changes() : 0;
}
QString Database::lastErrorText() const {
    return m_conn ? m_conn->errorText() : QStringLiteral("no database");
}
int Database::lastErrorCode() const {
    return m_conn ? m_conn->errorCode() : EngineCode::Ok;
}
bool Database::sumOverflowed() const {
    return m_conn && m_conn->sumOverflowed();
}

bool Database::inTransaction() const {
    return m_inTransaction || (m_conn && m_conn->inTransaction());
}

bool Database::begin() {
    m_commitUnknown = false;
    const QString statement = m_conn ? m_conn->beginStatement() : QStringLiteral("BEGIN IMMEDIATE");
    m_inTransaction = false;
    if (connectionLost() && !reconnect(QStringLiteral("DbBegin")))
        return false;
    bool ok = executeSQL(statement, {}, QStringLiteral("DbBegin"));
    // A server restarted since the last statement is found by this one: nothing was begun yet,
    // so it is begun again on a new connection.
    if (!ok && connectionLost() && reconnect(QStringLiteral("DbBegin")))
        ok = executeSQL(statement, {}, QStringLiteral("DbBegin"));
    m_inTransaction = ok;
    return ok;
}
bool Database::commit() {
    const bool ok = executeSQL(QStringLiteral("COMMIT"), {}, QStringLiteral("DbCommit"));
    m_commitUnknown = !ok && connectionLost();
    // A refused commit of the data file leaves its transaction open for the rollback.
    m_inTransaction = !ok && m_conn && m_conn->inTransaction();
    return ok;
}
void Database::rollback() {
    if (m_conn)
        m_conn->rollbackQuietly();
    m_inTransaction = false;
}

Transaction::Transaction(Database& db) : m_db(db) {
    // Inside a transaction that a caller already opened, a savepoint keeps this one's changes
    // separate: its rollback undoes only what it did, its commit leaves the outer decision open.
    if (m_db.isOpen() && m_db.inTransaction()) {
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
    m_db.engine()->runQuietly("ROLLBACK TO " + name);
    m_db.engine()->runQuietly("RELEASE " + name);
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
    if (refuseUnusable(m_db, sql, procName) || !m_db.reviveIfLost(procName))
        return false;
    QString why;
    int code = EngineCode::Ok;
    std::unique_ptr<EngineStatement> st = prepareBound(*m_db.engine(), sql, &params, code, why);
    if (!st) {
        reportFailure(m_db, code, why, procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    QStringList names;
    std::vector<Kind> kinds;
    std::vector<bool> numeric;
    std::vector<QVariantList> rows;
    EngineStatement::Step step;
    bool described = false;
    // A server knows its result columns once the statement ran: they are read at the first step.
    const auto describe = [&] {
        const int n = st->columnCount();
        for (int c = 0; c < n; ++c) {
            names << st->columnName(c);
            kinds.push_back(kindOf(names.back()));
            // Untyped columns fall back to the declared type for the Null conversion.
            numeric.push_back(st->columnDeclaredNumeric(c));
        }
        described = true;
    };
    while ((step = st->step()) == EngineStatement::Step::Row) {
        if (!described)
            describe();
        const int n = static_cast<int>(kinds.size());
        QVariantList row;
        row.reserve(n);
        for (int c = 0; c < n; ++c)
            row << readColumn(*st, c, kinds[static_cast<std::size_t>(c)]);
        rows.push_back(std::move(row));
    }
    if (step != EngineStatement::Step::Done) {
        report(m_db, procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    if (!described)
        describe();
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

RowCursor::RowCursor(Database& db) : m_db(db) {}
RowCursor::~RowCursor() = default;

bool RowCursor::prepare(const QString& sql, const QString& procName) {
    return start(sql, nullptr, procName);
}

bool RowCursor::open(const QString& sql, const QVariantList& params, const QString& procName) {
    return start(sql, &params, procName);
}

bool RowCursor::start(const QString& sqlIn, const QVariantList* params, const QString& procName) {
    m_st.reset();
    m_sql = rightTrimmed(sqlIn);
    m_proc = procName;
    m_failed = true;
    m_done = false;
    if (refuseUnusable(m_db, m_sql, procName) || !m_db.reviveIfLost(procName))
        return false;
    QString why;
    int code = EngineCode::Ok;
    // A statement prepared for binding one by one takes any number of placeholders.
    m_st = prepareBound(*m_db.engine(), m_sql, params, code, why);
    if (!m_st) {
        reportFailure(m_db, code, why, procName, QStringLiteral("SQL=") + m_sql);
        return false;
    }
    m_failed = false;
    return true;
}

void RowCursor::fail() {
    if (!m_failed)
        report(m_db, m_proc, QStringLiteral("SQL=") + m_sql);
    m_failed = true;
}

void RowCursor::reset() {
    if (!m_st)
        return;
    m_st->reset();
    m_done = false;
}

void RowCursor::bindNull(int index) {
    if (m_st && !m_st->bindNull(index))
        fail();
}

void RowCursor::bindInt(int index, qint64 v) {
    if (m_st && !m_st->bindInt(index, v))
        fail();
}

void RowCursor::bindReal(int index, double v) {
    if (m_st && !m_st->bindDouble(index, v))
        fail();
}

void RowCursor::bindText(int index, const QString& v) {
    if (m_st && !m_st->bindText(index, v.toUtf8()))
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
    const EngineStatement::Step step = m_st->step();
    if (step == EngineStatement::Step::Row)
        return true;
    m_done = true;
    if (step != EngineStatement::Step::Done)
        fail();
    return false;
}

bool RowCursor::run() {
    while (next()) {
    }
    return ready();
}

RowCursor::Type RowCursor::type(int col) const {
    switch (m_st->type(col)) {
    case EngineStatement::ValueType::Integer:
        return Type::Integer;
    case EngineStatement::ValueType::Real:
        return Type::Real;
    case EngineStatement::ValueType::Text:
        return Type::Text;
    case EngineStatement::ValueType::Blob:
        return Type::Blob;
    default:
        return Type::Null;
    }
}

qint64 RowCursor::int64(int col) const {
    return m_st->int64(col);
}

double RowCursor::real(int col) const {
    return m_st->real(col);
}

std::string_view RowCursor::text(int col) const {
    return m_st->text(col);
}

QString RowCursor::qtext(int col) const {
    if (m_st->type(col) == EngineStatement::ValueType::Null)
        return {};
    const std::string_view t = text(col);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}
