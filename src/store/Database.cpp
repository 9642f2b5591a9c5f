#include "store/Database.h"

#include "app/ErrorLog.h"
#include "app/Globals.h"
#include "store/Currency.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <sqlite3.h>
#include <system_error>

namespace {

QString sqliteError(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database");
}

void report(sqlite3* db, const QString& procName, const QString& text) {
    gSetLastError(db ? sqlite3_extended_errcode(db) : 0, QStringLiteral("SQLite"), sqliteError(db));
    gProcError(procName, text);
}

QString rightTrimmed(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
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
            case QMetaType::QDate: {
                const QByteArray b = dbDateText(v.toDate()).toUtf8();
                rc = sqlite3_bind_text(st, idx, b.constData(), static_cast<int>(b.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDateTime: {
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

enum class Kind { Raw, Cur, Bln, Lng, Date, Str };

Kind kindOf(const QString& name) {
    const QString n = name.toLower();
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
        if (s.size() == 10)
            return QVariant(QDate::fromString(s, QStringLiteral("yyyy-MM-dd")));
        return QVariant(QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    case Kind::Str:
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

bool Database::open(const QString& path, const QString& procName) {
    close();
    if (!QFileInfo(path).isFile()) {
        gSetLastError(SQLITE_CANTOPEN, QStringLiteral("SQLite"),
                      QStringLiteral("file not found: ") + path);
        gProcError(procName, path);
        return false;
    }
    sqlite3* db = nullptr;
    const QByteArray p = QFile::encodeName(path);
    int rc =
        sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
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
    const QByteArray q = sql.toUtf8();
    int rc = sqlite3_prepare_v2(m_db, q.constData(), static_cast<int>(q.size()), &st, nullptr);
    if (rc == SQLITE_OK && !bindAll(st, params))
        rc = SQLITE_ERROR;
    if (rc == SQLITE_OK) {
        do {
            rc = sqlite3_step(st);
        } while (rc == SQLITE_ROW);
    }
    const bool ok = (rc == SQLITE_DONE);
    if (!ok)
        report(m_db, procName, QStringLiteral("SQL=") + sql);
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

qint64 Database::lastInsertId() const {
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}
int Database::changes() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}
QString Database::lastErrorText() const {
    return sqliteError(m_db);
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
    m_active = m_db.begin();
}
Transaction::~Transaction() {
    if (m_active)
        m_db.rollback();
}
bool Transaction::commit() {
    if (!m_active)
        return false;
    m_active = false;
    if (m_db.commit())
        return true;
    m_db.rollback();
    return false;
}

ResultSet::ResultSet(Database& db) : m_db(db) {}

bool ResultSet::openRecordSet(const QString& sqlIn, const QVariantList& params,
                              const QString& procName) {
    m_rows.clear();
    m_pos = 0;
    const QString sql = rightTrimmed(sqlIn);
    sqlite3* db = m_db.handle();
    if (!db || sql.isEmpty()) {
        gProcError(procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    const QByteArray q = sql.toUtf8();
    int rc = sqlite3_prepare_v2(db, q.constData(), static_cast<int>(q.size()), &st, nullptr);
    if (rc == SQLITE_OK && !bindAll(st, params))
        rc = SQLITE_ERROR;
    if (rc != SQLITE_OK) {
        report(db, procName, QStringLiteral("SQL=") + sql);
        sqlite3_finalize(st);
        return false;
    }
    const int n = sqlite3_column_count(st);
    QStringList names;
    std::vector<Kind> kinds;
    for (int c = 0; c < n; ++c) {
        names << QString::fromUtf8(sqlite3_column_name(st, c));
        kinds.push_back(kindOf(names.back()));
    }
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QVariantList row;
        row.reserve(n);
        for (int c = 0; c < n; ++c)
            row << readColumn(st, c, kinds[static_cast<std::size_t>(c)]);
        m_rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        m_rows.clear();
        report(db, procName, QStringLiteral("SQL=") + sql);
        return false;
    }
    m_fieldNames = names;
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
    default:
        return QVariant(QString());
    }
}

QString ResultSet::text(int index) const {
    return value(index).toString();
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
    return value(index).toBool();
}

Database& gdbData() {
    static Database db;
    return db;
}

bool DbInit(const QString& path) {
    if (!gdbData().open(path)) {
        gProcError(QStringLiteral("DbInit"));
        return false;
    }
    return true;
}

void DbClose() {
    gdbData().close();
}

bool DbCompactDataBase(const QString& pathIn) {
    const QString path = rightTrimmed(pathIn);
    const QString proc = QStringLiteral("DbCompactDataBase");
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        gProcError(proc, path);
        return false;
    }
    const QFileInfo fi(path);
    const QString folder = gAddBackSlash(fi.absolutePath());
    QString temp;
    for (int n = 1;; ++n) {
        temp = folder + QStringLiteral("CompactDataBase%1.mdb").arg(n);
        if (!QFileInfo::exists(temp))
            break;
    }
    sqlite3* db = nullptr;
    const QByteArray p = QFile::encodeName(path);
    int rc = sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &st, nullptr);
    }
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
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK) {
        QFile::remove(temp);
        gProcError(proc, path);
        return false;
    }
    QFile::setPermissions(temp, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
}
