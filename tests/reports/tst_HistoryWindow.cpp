#include "TestData.h"
#include "TestServices.h"
#include "app/frmMenu.h"
#include "ledger/LedgerStore.h"
#include "ledger/frmHistory.h"
#include "master/SupplierRecords.h"
#include "reports/CsvExchange.h"
#include "store/Database.h"
#include "store/History.h"

#include <QAbstractItemView>
#include <QCryptographicHash>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The 変更履歴 window over what the ledgers, the supplier master and a CSV import write into the
// history: an import is one entry that can be undone as one step, only changes the user can see
// are listed, under the captions of the windows, and each names who made it on which PC. Run on
// both back ends.
class tst_HistoryWindow : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void importIsOneEntryUndoneAsOne_data();
    void importIsOneEntryUndoneAsOne();
    void onlyVisibleChangesAreListed_data();
    void onlyVisibleChangesAreListed();
    void entriesNameUserAndPc_data();
    void entriesNameUserAndPc();

private:
    frmHistory* openHistory(); // for every supplier
    QList<QStringList> shownRows(frmHistory* h);
};

void tst_HistoryWindow::init() {
    DataFileTest::init();
    gSetHistoryIdentity({u"佐藤"_s, u"JIMUSHO-PC"_s});
    QVERIFY(addSupplier({.masterID = 1, .supplier = 12, .shortName = u"山田"_s}));
}

void tst_HistoryWindow::cleanup() {
    for (QWidget* w : std::initializer_list<QWidget*>{frmHistory::existing(), frmMenu::existing()})
        delete w;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DataFileTest::cleanup();
}

frmHistory* tst_HistoryWindow::openHistory() {
    frmHistory* h = frmHistory::instance();
    return h->mShow(0) ? h : nullptr;
}

QList<QStringList> tst_HistoryWindow::shownRows(frmHistory* h) {
    QList<QStringList> shown;
    const QAbstractItemModel* m = h->grdHistory->model();
    for (int row = 0; row < m->rowCount(); ++row) {
        shown << QStringList();
        for (int column = 0; column < m->columnCount(); ++column)
            shown.last() << m->index(row, column).data().toString();
    }
    return shown;
}

void tst_HistoryWindow::importIsOneEntryUndoneAsOne_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("since"); // what happens between the import and its undo
    QTest::addColumn<int>("answer");    // to the question
    QTest::addColumn<QString>("told");  // the message after the question ("" none)
    QTest::addColumn<int>("linesLeft"); // of the import's three
    const QString done = u"取り込みを元に戻しました（3 行を削除しました）。"_s;
    const QString refused = u"この取り込みで追加した行の中に、取り込みの後で変更または削除された"
                            "行があるため、元に戻せません。"_s;
    QTest::newRow("purchases") << 1 << QString() << MsgResult::Yes << done << 0;
    QTest::newRow("sales") << 2 << QString() << MsgResult::Yes << done << 0;
    QTest::newRow("answered no") << 1 << QString() << MsgResult::No << QString() << 3;
    QTest::newRow("a line changed")
        << 1 << u"UPDATE T_DATA1 SET curCost = 301 WHERE strItem = '苗'"_s << MsgResult::Yes
        << refused << 3;
    QTest::newRow("a line deleted")
        << 1 << u"DELETE FROM T_DATA1 WHERE strItem = '鉢'"_s << MsgResult::Yes << refused << 2;
    QTest::newRow("undone before")
        << 1 << u"undo"_s << MsgResult::Yes << u"この取り込みは、すでに元に戻されています。"_s << 0;
}

// The import writes one entry (the file's name, lines, checksum and the lines' numbers), none per
// line, listed as one row; 取り込みを元に戻す is on for that row only and, after a question,
// deletes the import's lines as one step (one entry), unless one of them was changed since.
void tst_HistoryWindow::importIsOneEntryUndoneAsOne() {
    QFETCH(int, kind);
    QFETCH(QString, since);
    QFETCH(int, answer);
    QFETCH(QString, told);
    QFETCH(int, linesLeft);
    const QString table = u"T_DATA"_s + QString::number(kind);
    const qint64 before = addLine({.kind = kind, .date = {2024, 1, 5}, .item = u"前"_s});
    QVERIFY(before > 0);
    QTemporaryDir dir;
    QStringList header;
    QVERIFY(gCsvLedgerHeader(kind, header));
    const QByteArray bytes = header.join(u',').toUtf8() +
                             "\r\n12,山田,2024/03/01,,苗,,,,3,,,,300,,,\r\n"
                             "12,山田,2024/03/02,,土,,,,1,,,,500,,,\r\n"
                             "12,山田,2024/03/03,,鉢,,,,2,,,,800,,,\r\n";
    QVERIFY(writeBytes(dir.filePath(u"取込.csv"_s), bytes));
    int entries = dataRowCount(u"SELECT * FROM T_HISTORY"_s);
    const QString sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    if (gTestServer().isEmpty()) {
        CsvImportResult imported;
        QVERIFY(gImportCsv({.table = kind == 1 ? CsvTable::Purchases : CsvTable::Sales,
                            .path = dir.filePath(u"取込.csv"_s)},
                           {}, imported));
    } else {
        // The CSV import itself is not yet in server mode: its lines and its entry as it writes
        // them.
        HistoryScope scope(gdbData(), HistoryOrigin::Imported);
        QVERIFY(scope.ok() && scope.quietLines());
        const std::pair<QString, int> lines[] = {{u"苗"_s, 300}, {u"土"_s, 500}, {u"鉢"_s, 800}};
        for (int i = 0; i < 3; ++i)
            QVERIFY(addLine({.kind = kind,
                             .date = {2024, 3, i + 1},
                             .item = lines[i].first,
                             .cost = lines[i].second}) > 0);
        QVERIFY(gWriteImportEntry(
            gdbData(), table,
            {u"取込.csv"_s, 3, sha256, gHistoryIdRanges({before + 1, before + 2, before + 3})}));
        QVERIFY(scope.commit());
    }
    QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY"_s), entries + 1);
    QCOMPARE(
        dataRow(u"SELECT strTable, lngRowID, strAction, strOrigin, strOld, strNew, strUser, "
                "strHost FROM T_HISTORY WHERE lngID = (SELECT max(lngID) FROM T_HISTORY)"_s),
        (QVariantList{
            table, QVariant(), u"I"_s, u"imported"_s, QVariant(),
            uR"({"strFile":"取込.csv","lngRows":3,"strSha256":"%1","strIDs":"%2-%3"})"_s.arg(sha256)
                .arg(before + 1)
                .arg(before + 3),
            u"佐藤"_s, u"JIMUSHO-PC"_s}));
    // The lines written afterwards are recorded one by one again.
    QCOMPARE(dataRow(u"SELECT blnQuiet FROM T_HISTORY_ORIGIN"_s), QVariantList{QVariant()});

    frmHistory* h = openHistory();
    QVERIFY(h);
    const auto choose = [h](qsizetype row) {
        h->grdHistory->setCurrentIndex(h->grdHistory->model()->index(int(row), 0));
    };
    // The last row is the import's; the one before it, the line added before.
    const qsizetype importRow = shownRows(h).size() - 1;
    const QString book = kind == 1 ? u"仕入帳"_s : u"売上帳"_s;
    QCOMPARE(shownRows(h).at(importRow),
             (QStringList{u"2024/03/05 10:15:00"_s, book, u"（すべて）"_s, QString(), QString(),
                          u"CSV取り込み"_s, QString(), u"取込.csv（3 行）"_s, u"追加"_s,
                          u"取り込み"_s, u"佐藤"_s, u"JIMUSHO-PC"_s}));
    choose(importRow - 1);
    QVERIFY(!h->cmdHistoryUndoImport->isEnabled());
    choose(importRow);
    if (since == u"undo"_s) {
        m_svc.prompt->answers.enqueue(MsgResult::Yes);
        QTest::mouseClick(h->cmdHistoryUndoImport, Qt::LeftButton);
        m_svc.prompt->shown.clear();
        choose(importRow);
    } else if (!since.isEmpty()) {
        HistoryScope typed(gdbData(), HistoryOrigin::Typed);
        QVERIFY(typed.ok() && gdbData().executeSQL(since) && typed.commit());
    }
    entries = dataRowCount(u"SELECT * FROM T_HISTORY"_s);
    QVERIFY(h->cmdHistoryUndoImport->isEnabled());
    m_svc.prompt->answers.enqueue(answer);
    QTest::mouseClick(h->cmdHistoryUndoImport, Qt::LeftButton);
    QStringList texts = m_svc.prompt->texts();
    QVERIFY(texts.takeFirst().endsWith(
        u"取込.csv（3 行）\r\n\r\nこの取り込みで追加した行をすべて削除して、取り込む前に戻しますか？"_s));
    QCOMPARE(texts, told.isEmpty() ? QStringList() : QStringList{told});
    QCOMPARE(dataRowCount(u"SELECT * FROM "_s + table + u" WHERE strItem <> '前'"_s), linesLeft);
    // The undo is one entry, listed as one row.
    const bool undone = linesLeft == 0 && since.isEmpty();
    QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY"_s), entries + (undone ? 1 : 0));
    if (undone)
        QCOMPARE(shownRows(h).last().mid(5),
                 (QStringList{u"CSV取り込み"_s, u"取込.csv（3 行）"_s, QString(), u"削除"_s,
                              u"元に戻す"_s, u"佐藤"_s, u"JIMUSHO-PC"_s}));
}

void tst_HistoryWindow::onlyVisibleChangesAreListed_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("entries");        // history rows the action writes
    QTest::addColumn<QStringList>("listed"); // "項目:変更前:変更後:操作"
    // Two lines without a check mark and one with 1 000.
    QTest::newRow("check reset") << u"reset"_s << 1 << QStringList{u"チェック:1000::変更"_s};
    // Recorded so before checks were reset line by line: from nothing to 0 reads the same.
    QTest::newRow("check reset of an older file")
        << u"UPDATE T_DATA1 SET curCheck = 0"_s << 3 << QStringList{u"チェック:1000::変更"_s};
    QTest::newRow("supplier added")
        << u"supplier"_s << 1
        << QStringList{u"仕入先番号::7:追加"_s,        u"有効::はい:追加"_s,
                       u"部署名等::営業部:追加"_s,     u"表示社名::佐藤:追加"_s,
                       u"主な担当者::担当者１:追加"_s, u"電話１::03-1111-2222:追加"_s,
                       u"主な振込先::振込先１:追加"_s};
    QTest::newRow("a text emptied")
        << u"UPDATE T_MASTER SET strNotes = NULL"_s << 1 << QStringList{u"メモ:旧::変更"_s};
    QTest::newRow("an empty text set to nothing")
        << u"UPDATE T_MASTER SET strKana = NULL"_s << 1 << QStringList{};
}

// A check reset records only the lines it changes; the window lists neither an empty box of an
// added supplier nor a change from nothing to what reads as nothing; the supplier's columns
// carry the supplier window's captions.
void tst_HistoryWindow::onlyVisibleChangesAreListed() {
    QFETCH(QString, action);
    QFETCH(int, entries);
    QFETCH(QStringList, listed);
    QVERIFY(addLine({.date = {2024, 3, 1}, .item = u"苗"_s, .cost = 100}) > 0);
    QVERIFY(addLine({.date = {2024, 3, 2}, .item = u"土"_s, .cost = 200}) > 0);
    QVERIFY(addLine({.date = {2024, 3, 3}, .item = u"鉢"_s, .cost = 300, .check = 1000}) > 0);
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strKana = '', strNotes = '旧'"_s));
    frmHistory* h = openHistory();
    QVERIFY(h);
    const auto shown = [this, h] {
        QStringList out;
        for (const QStringList& row : shownRows(h))
            out << row.at(5) + u':' + row.at(6) + u':' + row.at(7) + u':' + row.at(8);
        return out;
    };
    const qsizetype listedBefore = shown().size();
    const int first = dataRowCount(u"SELECT * FROM T_HISTORY"_s);
    if (action == u"reset"_s) {
        QVERIFY(LedgerStore(1, gdbData()).resetChecks(1));
    } else if (action == u"supplier"_s) {
        SupplierRecord r;
        r.lngMasterID = 2;
        r.lngSupplier = 7;
        r.blnValid = true;
        r.strSupplierShortName = u"佐藤"_s;
        r.strPosition = u"営業部"_s;
        r.strPhone1 = u"03-1111-2222"_s;
        QVERIFY(mDataInsert2(gdbData(), r));
    } else {
        HistoryScope scope(gdbData(), HistoryOrigin::CheckReset);
        QVERIFY(scope.ok() && gdbData().executeSQL(action) && scope.commit());
    }
    QCOMPARE(dataRowCount(u"SELECT * FROM T_HISTORY"_s) - first, entries);
    QTest::mouseClick(h->cmdHistoryShow, Qt::LeftButton);
    QCOMPARE(shown().mid(listedBefore), listed);
}

void tst_HistoryWindow::entriesNameUserAndPc_data() {
    QTest::addColumn<QString>("user"); // the program's (gHistoryIdentity)
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("byTheProgram"); // else written past the program (another tool)
    QTest::addColumn<QStringList>("shown"); // 利用者, パソコン; "*" the server's database user
    QTest::newRow("the program") << u"佐藤"_s << u"JIMUSHO-PC"_s << true
                                 << QStringList{u"佐藤"_s, u"JIMUSHO-PC"_s};
    QTest::newRow("a user the system does not name")
        << QString() << u"TENPO-2"_s << true << QStringList{u"*"_s, u"TENPO-2"_s};
    QTest::newRow("another tool") << u"佐藤"_s << u"JIMUSHO-PC"_s << false
                                  << QStringList{u"*"_s, QString()};
}

// Every entry names who made the change and on which PC (利用者, パソコン): the program's user
// and PC for its own changes, nobody for a change written past it (on a server the database user;
// no PC over the local socket). The origin row holds them only while the program's change is
// being written.
void tst_HistoryWindow::entriesNameUserAndPc() {
    QFETCH(QString, user);
    QFETCH(QString, host);
    QFETCH(bool, byTheProgram);
    QFETCH(QStringList, shown);
    QVERIFY(addLine({.date = {2024, 3, 1}, .item = u"苗"_s, .cost = 100}) > 0);
    frmHistory* h = openHistory();
    QVERIFY(h);
    const qsizetype listedBefore = shownRows(h).size();
    gSetHistoryIdentity({user, host});
    const QString change = u"UPDATE T_DATA1 SET curCost = 2000000 WHERE strItem = '苗'"_s;
    if (byTheProgram) {
        HistoryScope scope(gdbData(), HistoryOrigin::Typed);
        QVERIFY(scope.ok() && gdbData().executeSQL(change) && scope.commit());
    } else {
        QVERIFY(gdbData().executeSQL(change));
    }
    QCOMPARE(dataRow(u"SELECT strUser, strHost FROM T_HISTORY_ORIGIN"_s),
             (QVariantList{QVariant(), QVariant()}));
    QTest::mouseClick(h->cmdHistoryShow, Qt::LeftButton);
    const QList<QStringList> rows = shownRows(h).mid(listedBefore);
    QCOMPARE(rows.size(), 1);
    if (shown.first() == u"*"_s)
        shown.first() = gTestServer().isEmpty()
                            ? QString()
                            : dataRow(u"SELECT session_user AS strUser"_s).value(0).toString();
    QCOMPARE(rows.first().mid(10), shown);
    QCOMPARE(h->grdHistory->model()->headerData(10, Qt::Horizontal).toString() + u' ' +
                 h->grdHistory->model()->headerData(11, Qt::Horizontal).toString(),
             u"利用者 パソコン"_s);
}

QTEST_MAIN(tst_HistoryWindow)
#include "tst_HistoryWindow.moc"
