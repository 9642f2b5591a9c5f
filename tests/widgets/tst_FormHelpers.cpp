#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "widgets/FormHelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_FormHelpers : public QObject {
    Q_OBJECT
private slots:
    void init() { TestServices::install(); }

    void byteLimit_data();
    void byteLimit();
    void clearAndLockByTag();
};

void tst_FormHelpers::byteLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("full-width never split") << 5 << u"abあい"_s << u"abあ"_s;
    QTest::newRow("half-width kana counts one") << 3 << u"ｱｲｳｴ"_s << u"ｱｲｳ"_s;
    QTest::newRow("exactly full") << 4 << u"あい"_s << u"あい"_s;
}

void tst_FormHelpers::byteLimit() {
    QFETCH(int, limit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QLineEdit e;
    gSetMaxSjisBytes(&e, limit);
    typeText(&e, typed);
    QCOMPARE(e.text(), kept);
    // A cut is told, a text that fits is not.
    QCoreApplication::processEvents();
    QCOMPARE(e.property("cutNotice").toString().isEmpty(), kept == typed);
    // ... and keeps a mark in the box, which outlasts the tooltip.
    auto* mark = e.findChild<QAction*>(u"cutMark"_s);
    QCOMPARE(mark && mark->isVisible(), kept != typed);
}

void tst_FormHelpers::clearAndLockByTag() {
    QWidget w;
    auto* locked = new QLineEdit(u"a"_s, &w);
    gSetTag(locked, u"LOCKED"_s);
    auto* kept = new QLineEdit(u"修正"_s, &w);
    gSetTag(kept, u"NOTCLEAR"_s);
    auto* notes = new QComboBox(&w);
    notes->setEditable(true);
    notes->addItems({u"自宅"_s, u"携帯電話"_s});
    notes->setEditText(u"倉庫"_s);
    auto* check = new QCheckBox(&w);
    gSetTag(check, u"LOCKED"_s);
    check->setChecked(true);
    auto* button = new QPushButton(&w);
    gClearControls(&w);
    QCOMPARE(locked->text() + kept->text() + notes->currentText(), u"修正"_s);
    QCOMPARE(notes->count(), 2);
    QVERIFY(check->isChecked());
    gLockControlsByTag(&w, true, u"LOCKED"_s);
    QVERIFY(!locked->isEnabled() && !check->isEnabled());
    QVERIFY(kept->isEnabled() && button->isEnabled());
}

QTEST_MAIN(tst_FormHelpers)
#include "tst_FormHelpers.moc"
