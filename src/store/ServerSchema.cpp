#include "store/ServerSchema.h"

#include "base/ErrorLog.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"

// Generated from resources/server (ServerScripts.cpp.in).
const char* gServerBaseSchemaScript();
const MigrationScript* gServerMigrationScripts(int* count);

namespace {

// The scripts after version `from` up to this program's version, each followed by its version.
bool runChain(Database& db, int from, const QString& procName) {
    int count = 0;
    const MigrationScript* scripts = gServerMigrationScripts(&count);
    for (int i = 0; i < count; ++i) {
        const MigrationScript& s = scripts[i];
        if (s.version <= from || s.version > kDbSchemaVersion)
            continue;
        if (!db.executeScript(QString::fromUtf8(s.sql), procName))
            return false;
        const bool lastOfVersion = i + 1 == count || scripts[i + 1].version != s.version;
        if (lastOfVersion &&
            !db.executeSQL(QStringLiteral("UPDATE T_SCHEMA_VERSION SET lngVersion = ?"),
                           {s.version}, procName))
            return false;
    }
    return true;
}

} // namespace

ServerSchemaState gServerSchemaState(Database& db, int* version) {
    const QString proc = QStringLiteral("gServerSchemaState");
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT count(*) AS lngTables, "
                                         "count(CASE WHEN table_name = 't_schema_version' "
                                         "THEN 1 END) AS lngMarks FROM information_schema.tables "
                                         "WHERE table_schema = current_schema()"),
                          {}, proc) ||
        !rs.moveFirst())
        return ServerSchemaState::Failed;
    if (rs.lng(0) == 0)
        return ServerSchemaState::Empty;
    if (rs.lng(1) == 0)
        return ServerSchemaState::Foreign;
    const int v = db.schemaVersion();
    if (version)
        *version = v;
    if (v < 1)
        return ServerSchemaState::Foreign;
    if (v > kDbSchemaVersion)
        return ServerSchemaState::Newer;
    return v < kDbSchemaVersion ? ServerSchemaState::Older : ServerSchemaState::Current;
}

bool gServerInit(Database& db, const QString& procName) {
    if (gServerSchemaState(db) != ServerSchemaState::Empty) {
        gProcError(procName, QStringLiteral("the database is not empty"));
        return false;
    }
    Transaction tx(db);
    return tx.ok() && db.executeScript(QString::fromUtf8(gServerBaseSchemaScript()), procName) &&
           runChain(db, 1, procName) && tx.commit();
}

bool gServerMigrate(Database& db, const QString& procName) {
    int version = 0;
    if (gServerSchemaState(db, &version) != ServerSchemaState::Older)
        return gServerSchemaState(db) == ServerSchemaState::Current;
    Transaction tx(db);
    return tx.ok() && runChain(db, version, procName) && tx.commit();
}

QString gServerSchemaStateText(ServerSchemaState state, int version) {
    switch (state) {
    case ServerSchemaState::Empty:
        return QStringLiteral("サーバーのデータベースは空です。\r\n"
                              "tovaki-admin init で本ソフトの表を作ってから使ってください。");
    case ServerSchemaState::Foreign:
        return QStringLiteral("サーバーのデータベースは本ソフトのものではありません。\r\n"
                              "接続文字列の dbname（データベース名）を確認してください。\r\n"
                              "データベースは変更していません。");
    case ServerSchemaState::Newer:
        return QStringLiteral("サーバーのデータベースは新しいバージョン（%1）の本ソフトで"
                              "作られたため、使えません。\r\n"
                              "本ソフトを新しいバージョンにしてください。\r\n"
                              "データベースは変更していません。")
            .arg(version);
    case ServerSchemaState::Failed:
        return QStringLiteral("サーバーのデータベースを読み込めませんでした。\r\n"
                              "接続したユーザーにデータベースを読む権限があるか確認してください。");
    case ServerSchemaState::Current:
    case ServerSchemaState::Older:
        break;
    }
    return {};
}

QString gServerConnectFailureText(const QString& clientText) {
    struct Case {
        const char* clue; // a part of the client library's text, lower case
        const char* text;
    };
    // The first case whose clue the text holds; the order puts the specific before the general.
    static const Case cases[] = {
        {"not available in this build",
         "この版の本ソフトはサーバーモードに対応していません。\r\n"
         "データファイルを使うか、サーバーモードに対応した版をお使いください。"},
        {"invalid connection option",
         "接続文字列が正しくありません（知らない項目があります）。\r\n"
         "「host=… dbname=… user=…」の形で書かれているか確認してください。"},
        {"missing \"=\"", "接続文字列が正しくありません。\r\n"
                          "「host=… dbname=… user=…」の形で書かれているか確認してください。"},
        {"unterminated quoted string",
         "接続文字列が正しくありません（引用符が閉じていません）。\r\n"
         "「host=… dbname=… user=…」の形で書かれているか確認してください。"},
        {"could not translate host name",
         "サーバーのホスト名が見つかりません。\r\n"
         "接続文字列の host（サーバーのパソコン名またはアドレス）を確認してください。"},
        {"password authentication failed",
         "パスワードが違うため、サーバーに接続できません。\r\n"
         "~/.pgpass（Windows では %APPDATA%\\postgresql\\pgpass.conf）のパスワードを"
         "確認してください。"},
        {"no password supplied",
         "サーバーがパスワードを求めていますが、パスワードがありません。\r\n"
         "~/.pgpass（Windows では %APPDATA%\\postgresql\\pgpass.conf）に"
         "パスワードを書いてください。"},
        {"role \"", "サーバーにそのユーザーがありません。\r\n"
                    "接続文字列の user（ユーザー名）を確認してください。"},
        {"database \"", "サーバーにそのデータベースがありません。\r\n"
                        "接続文字列の dbname（データベース名）を確認してください。"},
        {"no pg_hba.conf entry",
         "サーバーがこのパソコン・ユーザーからの接続を許可していません。\r\n"
         "サーバーの pg_hba.conf の設定を管理者に確認してもらってください。"},
        {"timeout expired", "サーバーから応答がありません。\r\n"
                            "ネットワークの接続と、接続文字列の host・port を確認してください。"},
        {"connection refused",
         "サーバーに接続できません（接続を拒否されました）。\r\n"
         "サーバーが動いているか、接続文字列の host・port を確認してください。"},
        {"no such file or directory",
         "サーバーに接続できません（サーバーが見つかりません）。\r\n"
         "サーバーが動いているか、接続文字列の host・port を確認してください。"},
    };
    const QString lower = clientText.toLower();
    for (const Case& c : cases)
        if (lower.contains(QString::fromUtf8(c.clue)))
            return QString::fromUtf8(c.text);
    return QStringLiteral("サーバーに接続できません。\r\n"
                          "接続文字列（host・port・dbname・user）と、サーバーが動いているかを"
                          "確認してください。\r\n") +
           clientText;
}
