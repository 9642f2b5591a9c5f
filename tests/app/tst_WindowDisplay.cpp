// Window placement and sizes (the arithmetic and the windows), captions, modal display, the
// shutdown and fatal-error sequences and the period boxes.
#include "TestData.h"
#include "TestServices.h"
#include "app/frmEndProgram.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/WindowDisplay.h"
#include "base/WindowGeometry.h"
#include "ledger/InitCboTargetDate.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"

#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QtTest>

namespace {

// Records what the shutdown window shows while it waits.
class WatchingProcess : public RecordingProcess {
public:
    QStringList seen; // caption and labels
    bool dataOpenDuringWait = false;
    void pause(int ms) override {
        RecordingProcess::pause(ms);
        if (frmEndProgram* w = frmEndProgram::existing())
            seen = {w->windowTitle(), w->lblMessage1->text(), w->lblMessage2->text()};
        dataOpenDuringWait = gdbData().isOpen();
    }
};

} // namespace

class tst_WindowDisplay : public DataFileTest {
    Q_OBJECT
private slots:
    void offsets_data();
    void offsets();
    void roundingAndTwips();
    void placesAndSizesWindows();
    void modalReturnsWhenClosed_data();
    void modalReturnsWhenClosed();
    void captionModes();
    void shutdownGoesOnWithoutTheDataFile();
    void fatalErrorSequence_data();
    void fatalErrorSequence();
    void periodBoxes();
};

void tst_WindowDisplay::offsets_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("position");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("centred") << QSize(800, 600) << QSize(300, 200) << 0 << QPoint(250, 200);
    QTest::newRow("odd remainders truncate")
        << QSize(1025, 769) << QSize(300, 200) << 1 << QPoint(362, 189);
    // Truncation toward zero, not toward minus infinity: -201 / 2 = -100, -101 / 3 = -33.
    QTest::newRow("negative odd truncates toward zero")
        << QSize(800, 600) << QSize(1001, 701) << 1 << QPoint(-100, -33);
    QTest::newRow("2 is refused") << QSize(800, 600) << QSize(300, 200) << 2 << QPoint(7, 8);
    QTest::newRow("-1 is refused") << QSize(800, 600) << QSize(300, 200) << -1 << QPoint(7, 8);
}

void tst_WindowDisplay::offsets() {
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(int, position);
    QFETCH(QPoint, expected);
    int left = 7;
    int top = 8;
    QCOMPARE(windowOffsetFor(screen.width(), screen.height(), window.width(), window.height(),
                             position, left, top),
             position == 0 || position == 1);
    QCOMPARE(QPoint(left, top), expected);
}

void tst_WindowDisplay::roundingAndTwips() {
    QCOMPARE(QList<int>({roundHalfEven(2.5), roundHalfEven(3.5), roundHalfEven(-2.5),
                         roundHalfEven(2.5001)}),
             QList<int>({2, 4, -2, 3}));
    int w = 0, h = 0;
    windowSizeFor(801, 603, 0.5, w, h);
    QCOMPARE(QSize(w, h), QSize(400, 302));
    QCOMPARE(QList<int>(
                 {twipsToPixels(7, 96.0), twipsToPixels(1215, 96.0), twipsToPixels(-1440, 120.0)}),
             QList<int>({0, 81, -120}));
}

void tst_WindowDisplay::placesAndSizesWindows() {
    const QSize s = QGuiApplication::primaryScreen()->geometry().size();
    int sw = 0, sh = 0;
    QVERIFY(gGetScreenSize(sw, sh));
    QCOMPARE(QSize(sw, sh), s);
    QWidget w;
    // Without a frame: the offscreen platform moves framed windows at negative offsets by the
    // frame's width.
    w.setWindowFlag(Qt::FramelessWindowHint);
    w.setFixedSize(s.width() + 201, s.height() + 101);
    QVERIFY(gDspForm(&w, 1, 0));
    QVERIFY(w.isVisible());
    QCOMPARE(w.pos(), QPoint(-100, -33));
    QVERIFY(gDspForm(&w, 9, 0)); // as designed: stays where it is
    QCOMPARE(w.pos(), QPoint(-100, -33));
    QVERIFY(!gDspWindowPosition(&w, 2));
    QCOMPARE(w.pos(), QPoint(-100, -33));
    QVERIFY(!gDspForm(nullptr, 0, 1));
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{QStringLiteral("gDspWindowPosition"), QStringLiteral("gDspForm")}));
    QWidget sized;
    sized.show();
    QVERIFY(gDspWindowSize(&sized, 0.5));
    QCOMPARE(sized.frameGeometry().size(),
             QSize(qRound(s.width() * 0.5), qRound(s.height() * 0.5)));
}

void tst_WindowDisplay::modalReturnsWhenClosed_data() {
    QTest::addColumn<bool>("dialog");
    QTest::newRow("dialog") << true;
    QTest::newRow("plain window") << false;
}

void tst_WindowDisplay::modalReturnsWhenClosed() {
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

void tst_WindowDisplay::captionModes() {
    QWidget w, other;
    w.setWindowTitle(QStringLiteral("メニュー"));
    other.setWindowTitle(QStringLiteral("メニュー"));
    gSetFormCaption(&w, 0);
    gSetFormCaption(&w, 0); // shown again: no second title
    gSetFormCaption(&other, 1);
    QCOMPARE(w.windowTitle() + u'|' + other.windowTitle(), QStringLiteral("メニュー     ") +
                                                               appTitle() + u'|' + appTitle() +
                                                               QStringLiteral("     メニュー"));
}

void tst_WindowDisplay::shutdownGoesOnWithoutTheDataFile() {
    QVERIFY(!gSleep(-1));
    QVERIFY(gSleep(2000));
    QCOMPARE(m_svc.process->pauses, QList<int>{2000});
    DbClose();
    QVERIFY(QFile::remove(m_folder->dbPath()));
    QVERIFY(gTermDataBase());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{QStringLiteral("DbCompactDataBase")});
}

void tst_WindowDisplay::fatalErrorSequence_data() {
    QTest::addColumn<bool>("logOpens");
    QTest::addColumn<QString>("notice");
    QTest::newRow("log shown") << true
                               << QStringLiteral("エラーログに関するお問い合わせ・ご報告は\r\n"
                                                 "説明書に記載しております。");
    QTest::newRow("log not shown") << false << QStringLiteral("エラーログが表示できませんでした。");
}

void tst_WindowDisplay::fatalErrorSequence() {
    QFETCH(bool, logOpens);
    QFETCH(QString, notice);
    auto* process = new WatchingProcess;
    svc().setProcess(std::unique_ptr<ProcessService>(process));
    m_svc.shell->result = logOpens;

    gProcFatalError(QStringLiteral("frmData_cmdCalcSum_Click"), QStringLiteral("期間="));

    QCOMPARE(m_svc.prompt->texts(),
             QStringList({QStringLiteral("致命的エラーが発生しました。\r\n"
                                         "このアプリケーションを終了します。"),
                          notice}));
    QCOMPARE(m_svc.prompt->shown.at(1).style, MsgStyle::Information);
    QVERIFY(m_folder->errorLog().contains(QStringLiteral("\r\n期間=\r\n")));
    // The shutdown window ran: it was seen waiting, then the data file was closed.
    QCOMPARE(process->pauses, QList<int>{2000});
    QCOMPARE(process->seen, QStringList({QStringLiteral("終了処理     ") + appTitle(),
                                         QStringLiteral("終了処理をしています。"),
                                         QStringLiteral("しばらくお待ちください。")}));
    QVERIFY(process->dataOpenDuringWait && !gdbData().isOpen() && !frmEndProgram::existing());
    QCOMPARE(process->terminations, QList<int>({0, 1}));
}

void tst_WindowDisplay::periodBoxes() {
    QVERIFY(gSetSystemLngField(8, 31));
    QComboBox start, end;
    start.setEditable(true);
    start.addItem(QStringLiteral("古い項目"));
    QVERIFY(gInitCboTargetDate(&start, &end));
    QCOMPARE(start.currentText() + u'-' + end.currentText(),
             QStringLiteral("2024/02/01-2024/02/29"));
    QCOMPARE(start.count() + end.count(), 19 + 20);
    QCOMPARE(end.itemText(19), QStringLiteral("2022/07/31"));
    DbClose();
    QVERIFY(!gInitCboTargetDate(&start, &end));
    QCOMPARE(start.count(), 19); // the boxes keep what they had
    QCOMPARE(m_folder->errorLogProcedures().last(), QStringLiteral("gInitCboTargetDate"));
}

QTEST_MAIN(tst_WindowDisplay)
#include "tst_WindowDisplay.moc"
