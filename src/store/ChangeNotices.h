#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class Database;

// The changes other programs make to the books on a server, as the server tells them
// (LISTEN/NOTIFY on the channel kChangeChannel). A change recorded in the history sends, when
// its transaction commits, one notification per table and supplier it touched ("T_DATA1 42";
// supplier 0: any supplier of the table, as after an import). The connection listens while a
// server is open and looks for notifications four times a second; its own changes are not
// passed on. On the data file (one program at a time) nothing is ever heard.
class ChangeNotices : public QObject {
    Q_OBJECT

public:
    explicit ChangeNotices(Database& db);

    // Starts listening on the open server connection (nothing on the data file), and stops.
    void start();
    void stop();
    bool listening() const { return m_timer.isActive(); }
    // Reads the notifications that arrived, telling those of other programs.
    void poll();
    // After a lost connection came back: the notifications sent meanwhile never arrived, so
    // every table is told as changed for any supplier.
    void announceMissed();

signals:
    // Another program changed rows of table (T_DATA1, T_DATA2 or T_MASTER, from the history; the
    // class and item lists and T_TAX_RATE, from gSendChangeNotice) of supplier masterID (0: of any
    // supplier, or a table not kept per supplier).
    void rowsChanged(const QString& table, qint64 masterID);

private:
    Database& m_db;
    QTimer m_timer;
    int m_ownPid = 0;
};

// The channel of the notifications.
inline constexpr const char* kChangeChannel = "tovaki_lines";

// Tells the other programs on a server that rows of table changed (masterID: the supplier, 0 for
// any or for a table not kept per supplier, such as the class lists and the tax rates), when the
// open transaction commits (at once outside one). Changes recorded in the history are told by
// HistoryScope; this is for the other tables the windows show. Nothing on the data file. A
// failure is reported under proc.
bool gSendChangeNotice(Database& db, const QString& table, qint64 masterID, const QString& proc);
