#include "TestData.h"
#include "base/Globals.h"
#include "base/WidgetServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using B = QMessageBox;
Q_DECLARE_METATYPE(QMessageBox::StandardButtons)

class tst_WidgetServices : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void realBoxAnswers_data();
    void realBoxAnswers();
    void shellAddresses();
    void calculatorSearch();
    // Leaves every event loop: keep it last.
    void terminateLeavesTheRunningLoop();
};

void tst_WidgetServices::layouts_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<QList<int>>("iconDefaultEscape");
    const auto row = [](int style, B::StandardButtons buttons, B::Icon icon, B::StandardButton d,
                        B::StandardButton e) {
        QTest::addRow("%d", style) << style << buttons << QList<int>{icon, d, e};
    };
    row(48, B::Ok, B::Warning, B::Ok, B::Ok);
    row(292, B::Yes | B::No, B::Question, B::No, B::No); // second button the default
    row(36, B::Yes | B::No, B::Question, B::Yes, B::No);
    row(579, B::Yes | B::No | B::Cancel, B::Information, B::Cancel, B::Cancel);
    row(18, B::Abort | B::Retry | B::Ignore, B::Critical, B::Abort, B::NoButton);
    row(5, B::Retry | B::Cancel, B::NoIcon, B::Retry, B::Cancel);
    row(263, B::Ok, B::NoIcon, B::Ok, B::Ok); // unknown button bits, second default of one
}

void tst_WidgetServices::layouts() {
    QFETCH(int, style);
    QFETCH(QMessageBox::StandardButtons, buttons);
    QFETCH(QList<int>, iconDefaultEscape);
    const PromptLayout l = promptLayoutFor(style);
    QCOMPARE(l.buttons, buttons);
    QCOMPARE(QList<int>({l.icon, l.defaultButton, l.escapeButton}), iconDefaultEscape);
}

void tst_WidgetServices::realBoxAnswers_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("key"); // 0: click Yes
    QTest::addColumn<int>("expected");
    QTest::newRow("yes clicked") << 292 << QString() << 0 << 6;
    QTest::newRow("enter takes the No default") << 292 << QString() << int(Qt::Key_Return) << 7;
    QTest::newRow("own title kept") << 0 << QStringLiteral("gDispMsg") << int(Qt::Key_Return) << 1;
    QTest::newRow("escape on OK/Cancel") << 1 << QString() << int(Qt::Key_Escape) << 2;
}

void tst_WidgetServices::realBoxAnswers() {
    QFETCH(int, style);
    QFETCH(QString, title);
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
    QCOMPARE(prompt.show(QStringLiteral("削除しますか？"), title, style), expected);
    QCOMPARE(seen,
             QStringList({QStringLiteral("削除しますか？"), title.isEmpty() ? appTitle() : title}));
}

void tst_WidgetServices::shellAddresses() {
    const QUrl local = shellUrlFor(QStringLiteral("/tmp/帳 簿/a#1.xlsx"));
    QVERIFY(local.isLocalFile());
    QCOMPARE(local.toLocalFile(), QStringLiteral("/tmp/帳 簿/a#1.xlsx"));
    QCOMPARE(shellUrlFor(QStringLiteral("file:///tmp/x.html")).toLocalFile(),
             QStringLiteral("/tmp/x.html"));
    const QUrl web = shellUrlFor(QStringLiteral("https://example.com/tovaki/"));
    QVERIFY(!web.isLocalFile());
    QCOMPARE(web.toString(), QStringLiteral("https://example.com/tovaki/"));
    DesktopShell shell;
    QVERIFY(!shell.open(QStringLiteral("   ")));
    QVERIFY(!shell.startDetached(QString(), {}));
}

void tst_WidgetServices::calculatorSearch() {
    QTemporaryDir dir;
    QCOMPARE(findCalculatorProgram({dir.path()}), QString());
    // The first program of the preference order that can run is taken.
    for (const char* name : {"xcalc", "gnome-calculator", "kcalc", "galculator"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                         (f.fileName().endsWith(QLatin1String("gnome-calculator"))
                              ? QFile::Permissions()
                              : QFile::ExeOwner));
    }
    QCOMPARE(findCalculatorProgram({dir.path()}), dir.filePath(QStringLiteral("kcalc")));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("kcalc"))));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("galculator"))));
    QCOMPARE(findCalculatorProgram({dir.path()}), dir.filePath(QStringLiteral("xcalc")));
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
