#include "TestData.h"
#include "app/Globals.h"
#include "app/WidgetServices.h"

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
    void shellAddresses_data();
    void shellAddresses();
    void emptyRequestsAreRefused();
    void calculatorSearch_data();
    void calculatorSearch();
    // Leaves every event loop: keep it last.
    void terminateLeavesTheRunningLoop();
};

void tst_WidgetServices::layouts_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("escapeButton");
    QTest::newRow("48 warning") << 48 << B::StandardButtons(B::Ok) << int(B::Warning) << int(B::Ok)
                                << int(B::Ok);
    QTest::newRow("292 question, No default")
        << 292 << (B::Yes | B::No) << int(B::Question) << int(B::No) << int(B::No);
    QTest::newRow("36 question, Yes default")
        << 36 << (B::Yes | B::No) << int(B::Question) << int(B::Yes) << int(B::No);
    QTest::newRow("3+64+512 third default")
        << 579 << (B::Yes | B::No | B::Cancel) << int(B::Information) << int(B::Cancel)
        << int(B::Cancel);
    QTest::newRow("2+16 abort/retry/ignore")
        << 18 << (B::Abort | B::Retry | B::Ignore) << int(B::Critical) << int(B::Abort)
        << int(B::NoButton);
    QTest::newRow("5 retry/cancel")
        << 5 << (B::Retry | B::Cancel) << int(B::NoIcon) << int(B::Retry) << int(B::Cancel);
    QTest::newRow("unknown button bits, second default")
        << 263 << B::StandardButtons(B::Ok) << int(B::NoIcon) << int(B::Ok) << int(B::Ok);
}

void tst_WidgetServices::layouts() {
    QFETCH(int, style);
    QFETCH(QMessageBox::StandardButtons, buttons);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);
    QFETCH(int, escapeButton);
    const PromptLayout l = promptLayoutFor(style);
    QCOMPARE(l.buttons, buttons);
    QCOMPARE(int(l.icon), icon);
    QCOMPARE(int(l.defaultButton), defaultButton);
    QCOMPARE(int(l.escapeButton), escapeButton);
}

void tst_WidgetServices::realBoxAnswers_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("action"); // a button's text to click, or "escape" / "enter"
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<int>("expected");
    const QString app = appTitle();
    QTest::newRow("yes clicked") << 292 << QString() << QStringLiteral("&Yes") << app << 6;
    QTest::newRow("enter takes the No default")
        << 292 << QString() << QStringLiteral("enter") << app << 7;
    QTest::newRow("own title kept") << 0 << QStringLiteral("gDispMsg") << QStringLiteral("enter")
                                    << QStringLiteral("gDispMsg") << 1;
    QTest::newRow("escape on OK/Cancel") << 1 << QString() << QStringLiteral("escape") << app << 2;
}

void tst_WidgetServices::realBoxAnswers() {
    QFETCH(int, style);
    QFETCH(QString, title);
    QFETCH(QString, action);
    QFETCH(QString, expectedTitle);
    QFETCH(int, expected);
    gstrAppTitle.clear(); // before start-up ends, the build's title is used
    QString seenText;
    QString seenTitle;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seenText = box->text();
        seenTitle = box->windowTitle();
        if (action == QLatin1String("escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (action == QLatin1String("enter")) {
            QTest::keyClick(box, Qt::Key_Return);
        } else {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == action)
                    b->click();
        }
    });
    WidgetPrompt prompt;
    QCOMPARE(prompt.show(QStringLiteral("削除してもよろしいですか？"), title, style), expected);
    QCOMPARE(seenText, QStringLiteral("削除してもよろしいですか？"));
    QCOMPARE(seenTitle, expectedTitle);
}

void tst_WidgetServices::shellAddresses_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("local");
    QTest::addColumn<QString>("expected"); // local path or full address
    QTest::newRow("hash in a Japanese path")
        << QStringLiteral("/tmp/帳 簿/a#1.xlsx") << true << QStringLiteral("/tmp/帳 簿/a#1.xlsx");
    QTest::newRow("web address") << QStringLiteral("https://example.com/tovaki/") << false
                                 << QStringLiteral("https://example.com/tovaki/");
    QTest::newRow("file address") << QStringLiteral("file:///tmp/x.html") << true
                                  << QStringLiteral("/tmp/x.html");
}

void tst_WidgetServices::shellAddresses() {
    QFETCH(QString, input);
    QFETCH(bool, local);
    QFETCH(QString, expected);
    const QUrl url = shellUrlFor(input);
    QCOMPARE(url.isLocalFile(), local);
    QCOMPARE(local ? url.toLocalFile() : url.toString(), expected);
}

void tst_WidgetServices::emptyRequestsAreRefused() {
    DesktopShell shell;
    QVERIFY(!shell.open(QString()));
    QVERIFY(!shell.open(QStringLiteral("   ")));
    QVERIFY(!shell.startDetached(QString(), {}));
}

void tst_WidgetServices::calculatorSearch_data() {
    QTest::addColumn<QStringList>("installed"); // name, or name + "-" for a non-executable file
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QStringList() << QString();
    QTest::newRow("gnome first, not executable skipped")
        << QStringList{QStringLiteral("xcalc"), QStringLiteral("gnome-calculator-"),
                       QStringLiteral("kcalc"), QStringLiteral("galculator")}
        << QStringLiteral("kcalc");
    QTest::newRow("only xcalc") << QStringList{QStringLiteral("xcalc")} << QStringLiteral("xcalc");
}

void tst_WidgetServices::calculatorSearch() {
    QFETCH(QStringList, installed);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (QString name : installed) {
        const bool executable = !name.endsWith(QLatin1Char('-'));
        if (!executable)
            name.chop(1);
        QFile f(dir.path() + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            p |= QFile::ExeOwner;
        f.setPermissions(p);
    }
    const QString found = findCalculatorProgram({dir.path()});
    QCOMPARE(found, expected.isEmpty() ? QString() : dir.path() + QLatin1Char('/') + expected);
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
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &outer, [&] { outer.exit(99); });
    guard.start(5000);
    // Both the modal-like inner loop and the outer one end with the code.
    QCOMPARE(outer.exec(), 3);
    QCOMPARE(innerResult, 3);
    QVERIFY(desktopEndRequested(code));
    QCOMPARE(code, 3);
}

QTEST_MAIN(tst_WidgetServices)
#include "tst_WidgetServices.moc"
