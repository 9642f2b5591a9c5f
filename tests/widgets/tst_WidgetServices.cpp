#include "TestData.h"
#include "base/Globals.h"
#include "widgets/WidgetServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QtTest>

using B = QMessageBox;

class tst_WidgetServices : public QObject {
    Q_OBJECT
private slots:
    void realBoxAnswers_data();
    void realBoxAnswers();
    // Leaves every event loop: keep it last.
    void terminateLeavesTheRunningLoop();
};

void tst_WidgetServices::realBoxAnswers_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("key"); // 0: click Yes
    QTest::addColumn<int>("expected");
    QTest::newRow("yes clicked") << 292 << 0 << 6;
    QTest::newRow("enter takes the No default") << 292 << int(Qt::Key_Return) << 7;
    QTest::newRow("escape on OK/Cancel") << 1 << int(Qt::Key_Escape) << 2;
}

void tst_WidgetServices::realBoxAnswers() {
    QFETCH(int, style);
    QFETCH(int, key);
    QFETCH(int, expected);
    gstrAppTitle.clear(); // before start-up ends, the build's title is used
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen << box->text() << box->windowTitle();
        if (key)
            QTest::keyClick(box, Qt::Key(key));
        else
            box->button(B::Yes)->click();
    });
    WidgetPrompt prompt;
    QCOMPARE(prompt.show(QStringLiteral("削除しますか？"), QString(), style), expected);
    QCOMPARE(seen, QStringList({QStringLiteral("削除しますか？"), appTitle()}));
}

void tst_WidgetServices::terminateLeavesTheRunningLoop() {
    int code = -1;
    QVERIFY(!desktopEndRequested(code));
    QEventLoop outer;
    int innerResult = -1;
    QTimer::singleShot(0, [&] {
        QEventLoop inner;
        QTimer::singleShot(0, [] { DesktopProcess().terminate(3); });
        innerResult = inner.exec();
    });
    QTimer::singleShot(5000, &outer, [&] { outer.exit(99); });
    // Both the modal-like inner loop and the outer one end with the code.
    QCOMPARE(outer.exec(), 3);
    QCOMPARE(innerResult, 3);
    QVERIFY(desktopEndRequested(code));
    QCOMPARE(code, 3);
}

QTEST_MAIN(tst_WidgetServices)
#include "tst_WidgetServices.moc"
