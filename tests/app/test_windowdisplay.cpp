#include "TestData.h"
#include "TestServices.h"
#include "app/frmEndProgram.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/WindowDisplay.h"
#include "ledger/InitCboTargetDate.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QtTest>

namespace {

// Records what the shutdown window shows while it waits.
class WatchingProcess : public RecordingProcess {
public:
    QString caption;
    QStringList labels;
    bool dataOpenDuringWait = false;
    void pause(int ms) override {
        RecordingProcess::pause(ms);
        if (frmEndProgram* w = frmEndProgram::existing()) {
            caption = w->windowTitle();
            labels = {w->lblMessage1->text(), w->lblMessage2->text()};
        }
        dataOpenDuringWait = gdbData().isOpen();
    }
};

QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

class TestWindowDisplay : public QObject {
    Q_OBJECT
private slots:
    void init() { m_t = TestServices::install(); }
    void cleanup() {
        DbClose();
        gMsgClose();
    }

    void screenSizeIsThePrimaryScreen();
    void placesWindows_data();
    void placesWindows();
    void unknownPositionIsReported();
    void designedPositionIsKept();
    void sizeToScreenShare();
    void modalReturnsWhenClosed_data();
    void modalReturnsWhenClosed();
    void missingWindowIsReported();
    void captionModes_data();
    void captionModes();
    void twipsUseTheScreenDpi();
    void sleepRefusesNegative();
    void terminationClosesAndCompactsTheDataFile();
    void terminationGoesOnWithoutTheDataFile();
    void fatalErrorSequence_data();
    void fatalErrorSequence();
    void periodBoxes_data();
    void periodBoxes();
    void periodBoxesWithoutTheDataFile();

private:
    TestServices m_t{};
};

void TestWindowDisplay::screenSizeIsThePrimaryScreen() {
    int w = 0;
    int h = 0;
    QVERIFY(gGetScreenSize(w, h));
    QCOMPARE(QSize(w, h), screenSize());
    QVERIFY(w > 0 && h > 0);
}

void TestWindowDisplay::placesWindows_data() {
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("position");
    const QSize s = screenSize();
    QTest::newRow("centred") << QSize(300, 200) << 0;
    QTest::newRow("upper third") << QSize(301, 203) << 1;
    QTest::newRow("larger than the screen") << QSize(s.width() + 201, s.height() + 101) << 1;
}

void TestWindowDisplay::placesWindows() {
    QFETCH(QSize, window);
    QFETCH(int, position);
    TestProgramFolder f;
    QWidget w;
    // Without a frame: the offscreen platform moves framed windows at negative offsets by the
    // frame's width.
    w.setWindowFlag(Qt::FramelessWindowHint);
    w.setFixedSize(window);
    QVERIFY(gDspForm(&w, position, 0));
    QVERIFY(w.isVisible());
    const QSize s = screenSize();
    const QSize frame = w.frameGeometry().size();
    const int d = position == 0 ? 2 : 3;
    // Truncating divisions; a window larger than the screen keeps its negative offsets.
    QCOMPARE(w.frameGeometry().topLeft(),
             QPoint((s.width() - frame.width()) / 2, (s.height() - frame.height()) / d));
    QCOMPARE(f.errorLogEntries(), 0);
}

void TestWindowDisplay::unknownPositionIsReported() {
    TestProgramFolder f;
    QWidget w;
    w.setFixedSize(100, 100);
    w.move(11, 12);
    QVERIFY(!gDspWindowPosition(&w, 2));
    QCOMPARE(w.pos(), QPoint(11, 12));
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("gDspWindowPosition")});
}

void TestWindowDisplay::designedPositionIsKept() {
    TestProgramFolder f;
    QWidget w;
    w.setFixedSize(200, 100);
    w.move(17, 23);
    QVERIFY(gDspForm(&w, 9, 0));
    QVERIFY(w.isVisible());
    QCOMPARE(w.pos(), QPoint(17, 23));
}

void TestWindowDisplay::sizeToScreenShare() {
    QWidget w;
    w.show();
    QVERIFY(gDspWindowSize(&w, 0.5));
    const QSize s = screenSize();
    QCOMPARE(w.frameGeometry().width(), qRound(s.width() * 0.5));
    QCOMPARE(w.frameGeometry().height(), qRound(s.height() * 0.5));
}

void TestWindowDisplay::modalReturnsWhenClosed_data() {
    QTest::addColumn<bool>("dialog");
    QTest::newRow("dialog") << true;
    QTest::newRow("plain window") << false;
}

void TestWindowDisplay::modalReturnsWhenClosed() {
    QFETCH(bool, dialog);
    QWidget* w = dialog ? new QDialog : new QWidget;
    w->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> guard(w);
    bool wasModalAndVisible = false;
    QTimer::singleShot(0, [&] {
        wasModalAndVisible = guard && guard->isVisible() && QApplication::activeModalWidget() == w;
        if (guard)
            guard->close();
    });
    QVERIFY(gDspForm(w, 0, 1));
    QVERIFY(wasModalAndVisible);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard);
}

void TestWindowDisplay::missingWindowIsReported() {
    TestProgramFolder f;
    QVERIFY(!gDspForm(nullptr, 0, 0));
    QVERIFY(!gDspForm(nullptr, 0, 1));
    QCOMPARE(f.errorLogProcedures(), QStringList(2, QStringLiteral("gDspForm")));
}

void TestWindowDisplay::captionModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0: caption first") << 0 << QStringLiteral("メニュー     ") + appTitle();
    QTest::newRow("1: title first") << 1 << appTitle() + QStringLiteral("     メニュー");
}

void TestWindowDisplay::captionModes() {
    QFETCH(int, mode);
    QFETCH(QString, expected);
    gstrAppTitle = appTitle();
    QWidget w;
    w.setWindowTitle(QStringLiteral("メニュー"));
    gSetFormCaption(&w, mode);
    QCOMPARE(w.windowTitle(), expected);
    // A window whose caption was already set (shown again) does not grow a second title.
    gSetFormCaption(&w, mode);
    QCOMPARE(w.windowTitle(), expected);
}

void TestWindowDisplay::twipsUseTheScreenDpi() {
    const double dpiX = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
    const double dpiY = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    QCOMPARE(twipsToPixelsX(1440), qRound(dpiX));
    QCOMPARE(twipsToPixelsY(2880), qRound(2 * dpiY));
    QCOMPARE(twipsToPixelsX(0), 0);
}

void TestWindowDisplay::sleepRefusesNegative() {
    QVERIFY(!gSleep(-1));
    QVERIFY(gSleep(0));
    QVERIFY(gSleep(2000));
    QCOMPARE(m_t.process->pauses, QList<int>({0, 2000}));
}

void TestWindowDisplay::terminationClosesAndCompactsTheDataFile() {
    TestProgramFolder f;
    QVERIFY(f.open());
    QVERIFY(gTermDataBase());
    QVERIFY(!gdbData().isOpen());
    QVERIFY(QFileInfo::exists(f.dbPath()));
    QVERIFY(QDir(f.path() + QStringLiteral("/sys"))
                .entryList({QStringLiteral("CompactDataBase*")})
                .isEmpty());
    QCOMPARE(f.errorLogEntries(), 0);
}

void TestWindowDisplay::terminationGoesOnWithoutTheDataFile() {
    TestProgramFolder f;
    QVERIFY(QFile::remove(f.dbPath()));
    QVERIFY(gTermDataBase());
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("DbCompactDataBase")});
}

void TestWindowDisplay::fatalErrorSequence_data() {
    QTest::addColumn<bool>("logOpens");
    QTest::addColumn<QString>("notice");
    QTest::newRow("log shown") << true
                               << QStringLiteral("エラーログに関するお問い合わせ・ご報告は\r\n"
                                                 "説明書に記載しております。");
    QTest::newRow("log not shown") << false << QStringLiteral("エラーログが表示できませんでした。");
}

void TestWindowDisplay::fatalErrorSequence() {
    QFETCH(bool, logOpens);
    QFETCH(QString, notice);
    TestProgramFolder f;
    QVERIFY(f.open());
    auto* process = new WatchingProcess;
    svc().setProcess(std::unique_ptr<ProcessService>(process));
    m_t.shell->result = logOpens;

    gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"), QStringLiteral("期間="));

    QCOMPARE(m_t.prompt->texts(), QStringList({QStringLiteral("致命的エラーが発生しました。\r\n"
                                                              "このアプリケーションを終了します。"),
                                               notice}));
    QCOMPARE(m_t.prompt->shown.at(0).style, MsgStyle::Critical);
    QCOMPARE(m_t.prompt->shown.at(1).style, MsgStyle::Information);
    QCOMPARE(m_t.prompt->shown.at(0).title, QString());
    QCOMPARE(m_t.shell->opened, QStringList{f.errorLogPath()});
    QCOMPARE(f.errorLogProcedures(), QStringList{QStringLiteral("frmData_cmdCalcSum_Click")});
    QVERIFY(f.errorLog().contains(QStringLiteral("\r\n期間=\r\n")));
    // The shutdown window ran: it was seen waiting, then the data file was closed.
    QCOMPARE(process->pauses, QList<int>{2000});
    QCOMPARE(process->caption, QStringLiteral("終了処理     ") + appTitle());
    QCOMPARE(process->labels, QStringList({QStringLiteral("終了処理をしています。"),
                                           QStringLiteral("しばらくお待ちください。")}));
    QVERIFY(process->dataOpenDuringWait);
    QVERIFY(!gdbData().isOpen());
    QVERIFY(!frmEndProgram::existing());
    QCOMPARE(process->terminations, QList<int>({0, 1}));
}

void TestWindowDisplay::periodBoxes_data() {
    QTest::addColumn<int>("closeDay"); // 0: no setting stored
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QStringList>("shown");     // start, end
    QTest::addColumn<QStringList>("startHead"); // first entries of the start list
    QTest::addColumn<QStringList>("endHead");
    QTest::addColumn<QString>("lastEnd");
    const QStringList s20 = {QStringLiteral("2024/02/21"), QStringLiteral("2024/03/20")};
    const QStringList start20 = {QStringLiteral("2024/02/21"), QStringLiteral("2024/01/21")};
    const QStringList end20 = {QStringLiteral("2024/03/20"), QStringLiteral("2024/02/20"),
                               QStringLiteral("2024/01/20")};
    QTest::newRow("default close day 20, editable")
        << 0 << true << s20 << start20 << end20 << QStringLiteral("2022/08/20");
    QTest::newRow("close day 20, list only")
        << 20 << false << s20 << start20 << end20 << QStringLiteral("2022/08/20");
    QTest::newRow("month end in a leap February")
        << 31 << true << QStringList{QStringLiteral("2024/02/01"), QStringLiteral("2024/02/29")}
        << QStringList{QStringLiteral("2024/02/01"), QStringLiteral("2024/01/01"),
                       QStringLiteral("2023/12/01")}
        << QStringList{QStringLiteral("2024/02/29"), QStringLiteral("2024/01/31"),
                       QStringLiteral("2023/12/31"), QStringLiteral("2023/11/30")}
        << QStringLiteral("2022/07/31");
}

void TestWindowDisplay::periodBoxes() {
    QFETCH(int, closeDay);
    QFETCH(bool, editable);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, startHead);
    QFETCH(QStringList, endHead);
    QFETCH(QString, lastEnd);
    TestProgramFolder f;
    QVERIFY(f.open());
    if (closeDay > 0)
        QVERIFY(gSetSystemLngField(8, closeDay));
    m_t.clock->fixed = QDateTime(QDate(2024, 3, 5), QTime(8, 0));
    QComboBox start;
    QComboBox end;
    start.setEditable(editable);
    end.setEditable(editable);
    start.addItem(QStringLiteral("古い項目"));
    QVERIFY(gInitCboTargetDate(&start, &end));
    QCOMPARE(start.currentText(), shown.at(0));
    QCOMPARE(end.currentText(), shown.at(1));
    QCOMPARE(start.count(), 19);
    QCOMPARE(end.count(), 20);
    for (int i = 0; i < startHead.size(); ++i)
        QCOMPARE(start.itemText(i), startHead.at(i));
    for (int i = 0; i < endHead.size(); ++i)
        QCOMPARE(end.itemText(i), endHead.at(i));
    QCOMPARE(end.itemText(19), lastEnd);
    QCOMPARE(f.errorLogEntries(), 0);
}

void TestWindowDisplay::periodBoxesWithoutTheDataFile() {
    TestProgramFolder f;
    QComboBox start;
    QComboBox end;
    start.addItem(QStringLiteral("2024/02/21"));
    QVERIFY(!gInitCboTargetDate(&start, &end));
    QCOMPARE(start.count(), 1); // the boxes keep what they had
    QCOMPARE(f.errorLogProcedures().last(), QStringLiteral("gInitCboTargetDate"));
    QVERIFY(!gInitCboTargetDate(nullptr, &end));
}

QTEST_MAIN(TestWindowDisplay)
#include "test_windowdisplay.moc"
