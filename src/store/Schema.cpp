#include "store/Schema.h"

#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"

#include <QMutex>
#include <QMutexLocker>
#include <map>
#include <sqlite3.h>

namespace {

QString columnText(sqlite3_stmt* st, int col) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)));
}

// Runs a query of three text columns and hands each row to `row`.
template <typename Row> int eachRow(sqlite3* db, const char* sql, Row row) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            row(columnText(st, 0), columnText(st, 1), columnText(st, 2));
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

void put(QMap<QString, QString>& map, const QString& name) {
    map.insert(name.toUpper(), name);
}

// The shape of a file of `version`: the first schema and the migrations up to that version,
// run on an empty database in memory.
bool buildExpected(int version, SchemaShape& shape) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(":memory:", &db) == SQLITE_OK &&
              sqlite3_exec(db, gBaseSchemaScript(), nullptr, nullptr, nullptr) == SQLITE_OK;
    int count = 0;
    const MigrationScript* scripts = gMigrationScripts(&count);
    for (int i = 0; ok && i < count; ++i) {
        if (scripts[i].version <= version)
            ok = sqlite3_exec(db, scripts[i].sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ok = ok && gReadSchema(db, shape);
    sqlite3_close(db);
    return ok;
}

void addMissing(QStringList& out, const QString& kind, const QMap<QString, QString>& expected,
                const QMap<QString, QString>& actual) {
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        if (!actual.contains(it.key()))
            out << kind + QLatin1Char(' ') + it.value();
}

// The parts whose table or view `actual` has: a missing table is named once for its columns,
// indexes and triggers. `ownerOf` gives a part's table or view (upper case).
template <typename Owner>
QMap<QString, QString> ofPresentOwners(const QMap<QString, QString>& parts,
                                       const SchemaShape& actual, Owner ownerOf) {
    QMap<QString, QString> out;
    for (auto it = parts.cbegin(); it != parts.cend(); ++it) {
        const QString owner = ownerOf(it.key());
        if (actual.tables.contains(owner) || actual.views.contains(owner))
            out.insert(it.key(), it.value());
    }
    return out;
}

} // namespace

bool gReadSchema(sqlite3* db, SchemaShape& shape, int* rc) {
    shape = SchemaShape();
    // SQLite's own objects (sqlite_sequence, the indexes of UNIQUE constraints) follow from the
    // tables and are not compared.
    int result =
        eachRow(db,
                "SELECT type, name, tbl_name FROM sqlite_master WHERE name NOT LIKE 'sqlite\\_%' "
                "ESCAPE '\\'",
                [&](const QString& type, const QString& name, const QString& owner) {
                    if (type == QLatin1String("table")) {
                        put(shape.tables, name);
                    } else if (type == QLatin1String("view")) {
                        put(shape.views, name);
                    } else if (type == QLatin1String("index") || type == QLatin1String("trigger")) {
                        put(type == QLatin1String("index") ? shape.indexes : shape.triggers, name);
                        shape.owners.insert(name.toUpper(), owner.toUpper());
                    }
                });
    if (result == SQLITE_OK)
        result = eachRow(db,
                         "SELECT m.name, p.name, '' FROM sqlite_master AS m, "
                         "pragma_table_info(m.name) AS p WHERE m.type = 'table' AND m.name NOT "
                         "LIKE 'sqlite\\_%' ESCAPE '\\'",
                         [&](const QString& table, const QString& column, const QString&) {
                             put(shape.columns, table + QLatin1Char('.') + column);
                         });
    if (rc)
        *rc = result;
    return result == SQLITE_OK;
}

bool gExpectedSchema(int version, SchemaShape& shape) {
    if (version < 1 || version > kDbSchemaVersion)
        return false;
    static QMutex mutex;
    static std::map<int, SchemaShape> built;
    const QMutexLocker lock(&mutex);
    auto it = built.find(version);
    if (it == built.end()) {
        SchemaShape made;
        if (!buildExpected(version, made))
            return false;
        it = built.emplace(version, made).first;
    }
    shape = it->second;
    return true;
}

QStringList gMissingSchemaParts(const SchemaShape& expected, const SchemaShape& actual) {
    QStringList out;
    const auto tableOf = [](const QString& column) {
        return column.section(QLatin1Char('.'), 0, 0);
    };
    const auto ownerOf = [&expected](const QString& part) { return expected.owners.value(part); };
    addMissing(out, QStringLiteral("テーブル"), expected.tables, actual.tables);
    addMissing(out, QStringLiteral("ビュー"), expected.views, actual.views);
    addMissing(out, QStringLiteral("列"), ofPresentOwners(expected.columns, actual, tableOf),
               actual.columns);
    addMissing(out, QStringLiteral("索引"), ofPresentOwners(expected.indexes, actual, ownerOf),
               actual.indexes);
    addMissing(out, QStringLiteral("トリガー"), ofPresentOwners(expected.triggers, actual, ownerOf),
               actual.triggers);
    return out;
}

QStringList gPartsAheadOfVersion(int version, const SchemaShape& actual) {
    SchemaShape from, current;
    if (version >= kDbSchemaVersion || !gExpectedSchema(version, from) ||
        !gExpectedSchema(kDbSchemaVersion, current))
        return {};
    // A name the migration gives an object is taken in the file by an object of any kind.
    QMap<QString, QString> names = actual.tables;
    names.insert(actual.views);
    names.insert(actual.indexes);
    names.insert(actual.triggers);
    QStringList out;
    const auto ahead = [&](const QString& kind, const QMap<QString, QString>& now,
                           const QMap<QString, QString>& before, const QMap<QString, QString>& in) {
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (!before.contains(it.key()) && in.contains(it.key()))
                out << kind + QLatin1Char(' ') + in.value(it.key());
    };
    ahead(QStringLiteral("テーブル"), current.tables, from.tables, names);
    ahead(QStringLiteral("列"), current.columns, from.columns, actual.columns);
    ahead(QStringLiteral("ビュー"), current.views, from.views, names);
    ahead(QStringLiteral("索引"), current.indexes, from.indexes, names);
    ahead(QStringLiteral("トリガー"), current.triggers, from.triggers, names);
    return out;
}

QString gSchemaPartsText(const QStringList& parts) {
    constexpr int kShown = 5;
    QString text = parts.mid(0, kShown).join(QStringLiteral("、"));
    if (parts.size() > kShown)
        text += QStringLiteral(" ほか %1 件").arg(parts.size() - kShown);
    return text;
}
