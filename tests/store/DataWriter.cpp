// A second program on a data file, for the tests that need two processes:
//   tovaki-test-writer FILE lock|nolock COUNT
// "lock" takes the data file's lock first and prints "in use" and exits 3 when another program
// holds it. Then it opens the file as the program does (write-ahead log, full synchronisation)
// and stores COUNT ledger lines (0: until killed or until standard input closes), printing the
// id of each line after its commit, so that every printed id is an acknowledged write.
#include "store/DataFile.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDate>
#include <QSocketNotifier>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const QString file = args.at(1);
    if (args.at(2) == QLatin1String("lock")) {
        if (gLockDataFile(file) != DataLockResult::Locked) {
            std::printf("in use\n");
            std::fflush(stdout);
            return 3;
        }
    }
    if (!DbInit(file))
        return 4;
    std::printf("open\n");
    std::fflush(stdout);
    const int count = args.at(3).toInt();
    for (int n = 1; count == 0 || n <= count; ++n) {
        if (!gdbData().executeSQL(
                QStringLiteral("INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem)"
                               " VALUES (1, ?, ?, ?)"),
                {QDate(2024, 1, 1), n, QStringLiteral("w%1").arg(n)})) {
            std::printf("failed\n");
            std::fflush(stdout);
            return 5;
        }
        std::printf("%lld\n", static_cast<long long>(gdbData().lastInsertId()));
        std::fflush(stdout);
    }
    DbClose();
    return 0;
}
