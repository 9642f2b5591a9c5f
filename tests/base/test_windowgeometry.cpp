#include "base/WindowGeometry.h"

#include <QtTest>

class TestWindowGeometry : public QObject {
    Q_OBJECT
private slots:
    void offsets_data();
    void offsets();
    void otherPositionsAreRefused_data();
    void otherPositionsAreRefused();
    void halvesRoundToEven_data();
    void halvesRoundToEven();
    void sizes_data();
    void sizes();
    void twips_data();
    void twips();
};

void TestWindowGeometry::offsets_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("position");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("centred") << QSize(800, 600) << QSize(300, 200) << 0 << QPoint(250, 200);
    QTest::newRow("upper third") << QSize(800, 600) << QSize(300, 200) << 1 << QPoint(250, 133);
    QTest::newRow("odd remainders truncate")
        << QSize(1025, 769) << QSize(300, 200) << 1 << QPoint(362, 189);
    QTest::newRow("exact fit") << QSize(800, 600) << QSize(800, 600) << 0 << QPoint(0, 0);
    QTest::newRow("larger window, negative")
        << QSize(800, 600) << QSize(1000, 700) << 0 << QPoint(-100, -50);
    // Truncation toward zero, not toward minus infinity: -201 / 2 = -100, -101 / 3 = -33.
    QTest::newRow("negative odd truncates toward zero")
        << QSize(800, 600) << QSize(1001, 701) << 1 << QPoint(-100, -33);
}

void TestWindowGeometry::offsets() {
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(int, position);
    QFETCH(QPoint, expected);
    int left = 12345;
    int top = 12345;
    QVERIFY(windowOffsetFor(screen.width(), screen.height(), window.width(), window.height(),
                            position, left, top));
    QCOMPARE(QPoint(left, top), expected);
}

void TestWindowGeometry::otherPositionsAreRefused_data() {
    QTest::addColumn<int>("position");
    QTest::newRow("9 as designed") << 9;
    QTest::newRow("2") << 2;
    QTest::newRow("-1") << -1;
}

void TestWindowGeometry::otherPositionsAreRefused() {
    QFETCH(int, position);
    int left = 7;
    int top = 8;
    QVERIFY(!windowOffsetFor(800, 600, 300, 200, position, left, top));
    QCOMPARE(QPoint(left, top), QPoint(7, 8));
}

void TestWindowGeometry::halvesRoundToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("-3.5") << -3.5 << -4;
    QTest::newRow("just below a half") << 2.4999 << 2;
    QTest::newRow("just above a half") << 2.5001 << 3;
    QTest::newRow("whole") << 640.0 << 640;
}

void TestWindowGeometry::halvesRoundToEven() {
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(roundHalfEven(value), expected);
}

void TestWindowGeometry::sizes_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("0.8 of 800x600") << QSize(800, 600) << 0.8 << QSize(640, 480);
    QTest::newRow("halves to even") << QSize(801, 603) << 0.5 << QSize(400, 302);
    QTest::newRow("0.8 of 1366x768") << QSize(1366, 768) << 0.8 << QSize(1093, 614);
    QTest::newRow("whole screen") << QSize(1024, 768) << 1.0 << QSize(1024, 768);
}

void TestWindowGeometry::sizes() {
    QFETCH(QSize, screen);
    QFETCH(double, ratio);
    QFETCH(QSize, expected);
    int w = 0;
    int h = 0;
    windowSizeFor(screen.width(), screen.height(), ratio, w, h);
    QCOMPARE(QSize(w, h), expected);
}

void TestWindowGeometry::twips_data() {
    QTest::addColumn<int>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("one inch at 96") << 1440 << 96.0 << 96;
    QTest::newRow("one pixel at 96") << 15 << 96.0 << 1;
    QTest::newRow("under half a pixel") << 7 << 96.0 << 0;
    QTest::newRow("one inch at 120") << 1440 << 120.0 << 120;
    QTest::newRow("a grid column") << 1215 << 96.0 << 81;
    QTest::newRow("negative") << -1440 << 96.0 << -96;
}

void TestWindowGeometry::twips() {
    QFETCH(int, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips, dpi), pixels);
}

QTEST_GUILESS_MAIN(TestWindowGeometry)
#include "test_windowgeometry.moc"
