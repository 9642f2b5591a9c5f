// tovaki-admin: the books on a PostgreSQL server (server mode).
//   tovaki-admin [--server CONNINFO] init        creates the schema in an empty database
//   tovaki-admin [--server CONNINFO] load FILE   copies a data file or backup into an empty one
//   tovaki-admin [--server CONNINFO] dump FILE   writes the books into a new backup file
// The connection string is libpq's ("host=... dbname=... user=..."), else TOVAKI_SERVER; the
// password comes from ~/.pgpass and is never stored by the program. Each command changes the
// server in one transaction: a failure leaves it as it was. Exit 0 when done, 1 when refused or
// failed (the reason on the standard error), 2 for a wrong command line.
#include "store/Database.h"
#include "store/ServerSchema.h"
#include "store/ServerTransfer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

int fail(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", t.toUtf8().constData());
    return kExitRefused;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovaki-admin"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "サーバーモードの帳簿（PostgreSQL）の管理\n"
        "  init        空のデータベースに本ソフトの表を作る\n"
        "  load FILE   データファイルまたはバックアップを空のデータベースに読み込む\n"
        "  dump FILE   帳簿をバックアップ形式のファイルに書き出す"));
    parser.addHelpOption();
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("接続文字列（\"host=… dbname=… user=…\"）。省略時は TOVAKI_SERVER。"),
        QStringLiteral("CONNINFO"));
    parser.addOption(server);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("init | load | dump"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("load・dump のファイル"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool needsFile = command == QLatin1String("load") || command == QLatin1String("dump");
    if ((command != QLatin1String("init") && !needsFile) || args.size() != (needsFile ? 2 : 1)) {
        std::fprintf(stderr, "%s\n", parser.helpText().toUtf8().constData());
        return kExitUsage;
    }
    const QString conninfo =
        parser.isSet(server) ? parser.value(server) : qEnvironmentVariable("TOVAKI_SERVER");
    if (conninfo.isEmpty())
        return fail(QStringLiteral("接続先のサーバーが指定されていません。\r\n"
                                   "--server \"host=… dbname=… user=…\" または環境変数 "
                                   "TOVAKI_SERVER で指定してください。"));
    Database db;
    if (!db.openServer(conninfo, QStringLiteral("tovaki-admin")))
        return fail(gServerConnectFailureText(db.serverFailure()));
    QString message;
    if (command == QLatin1String("init")) {
        int version = 0;
        const ServerSchemaState state = gServerSchemaState(db, &version);
        if (state != ServerSchemaState::Empty)
            return fail(state == ServerSchemaState::Current || state == ServerSchemaState::Older
                            ? QStringLiteral("データベースにはすでに本ソフトの帳簿があります。"
                                             "データベースは変更していません。")
                            : gServerSchemaStateText(state, version));
        if (!gServerInit(db, QStringLiteral("tovaki-admin")))
            return fail(QStringLiteral("表を作れませんでした。データベースは変更していません。"
                                       "\r\n") +
                        db.lastErrorText());
        return kExitDone;
    }
    const QString file = args.at(1);
    const bool ok = command == QLatin1String("load") ? gServerLoad(db, file, message)
                                                     : gServerDump(db, file, message);
    return ok ? kExitDone : fail(message);
}
