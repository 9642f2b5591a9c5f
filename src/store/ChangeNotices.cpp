#include "store/ChangeNotices.h"

#include "store/Database.h"
#include "store/EngineConnection.h"

namespace {

// How often the connection looks for notifications: a change shows within a second.
constexpr int kPollMs = 250;

} // namespace

ChangeNotices::ChangeNotices(Database& db) : m_db(db) {
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &ChangeNotices::poll);
}

void ChangeNotices::start() {
    stop();
    if (!m_db.isServer() || !m_db.engine()->listen(kChangeChannel))
        return;
    m_ownPid = m_db.engine()->backendPid();
    m_timer.start();
}

void ChangeNotices::stop() {
    m_timer.stop();
    m_ownPid = 0;
}

void ChangeNotices::poll() {
    if (!m_db.isServer())
        return;
    for (const EngineNotice& n : m_db.engine()->takeNotices()) {
        if (n.senderPid == m_ownPid || n.channel != kChangeChannel)
            continue;
        const QString text = QString::fromUtf8(n.payload);
        bool ok = false;
        const qint64 masterID = text.section(QLatin1Char(' '), 1, 1).toLongLong(&ok);
        if (ok)
            emit rowsChanged(text.section(QLatin1Char(' '), 0, 0), masterID);
    }
}

void ChangeNotices::announceMissed() {
    // Told after the operation that connected again has finished, not in its middle.
    QTimer::singleShot(0, this, [this] {
        for (const char* table :
             {"T_DATA1", "T_DATA2", "T_MASTER", "T_DATA_CLASS1", "T_DATA_CLASS2", "T_DATA_CLASS3",
              "T_DATA1_ITEM", "T_DATA2_ITEM", "T_TAX_RATE"})
            emit rowsChanged(QString::fromLatin1(table), 0);
    });
}

bool gSendChangeNotice(Database& db, const QString& table, qint64 masterID, const QString& proc) {
    if (!db.isServer())
        return true;
    return db.executeSQL(
        QStringLiteral("SELECT pg_notify(?, ?)"),
        {QString::fromLatin1(kChangeChannel), table + QLatin1Char(' ') + QString::number(masterID)},
        proc);
}
