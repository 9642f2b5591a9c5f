#include "app/Startup.h"
#include "store/DataLocation.h"
#include "widgets/WidgetServices.h"

#include <QApplication>
#include <QStringList>

namespace {

// The data file named by "--db FILE" or "--db=FILE"; "" when none.
QString dataOption(const QStringList& args) {
    const QString name = QStringLiteral("--db");
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == name && i + 1 < args.size())
            return args.at(i + 1);
        if (args.at(i).startsWith(name + QLatin1Char('=')))
            return args.at(i).mid(name.size() + 1);
    }
    return {};
}

// The server of server mode named by "--server CONNINFO" or "--server=CONNINFO", else by the
// environment's TOVAKI_SERVER; "" for the data file.
QString serverOption(const QStringList& args) {
    const QString name = QStringLiteral("--server");
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == name && i + 1 < args.size())
            return args.at(i + 1);
        if (args.at(i).startsWith(name + QLatin1Char('=')))
            return args.at(i).mid(name.size() + 1);
    }
    return qEnvironmentVariable("TOVAKI_SERVER");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    gPrepareApplication(app, QString());
    installWidgetServices();
    int code = 0;
    // A start-up that ended the program (second instance, fatal failure) had no loop to leave.
    const QStringList args = QCoreApplication::arguments();
    // Without a server or a data file named, the data location chosen in the connection window.
    const QString db = dataOption(args);
    if (Main(QString(), db, gStartupServer(serverOption(args), db)) && !desktopEndRequested(code))
        code = app.exec();
    else
        desktopEndRequested(code);
    gReleaseInstanceLock();
    return code;
}
