#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "base/FormHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

class tst_FormHelpers : public QObject {
    Q_OBJECT
private slots:
    void init() { TestServices::install(); }

    void byteLimit_data();
    void byteLimit();
    void enterMovesToNextEnabledVisibleControl();
    void swallowDiscardsTypedCharacters();
    void trimByTag_data();
    void trimByTag();
    void clearAndLockByTag();
};

void tst_FormHelpers::byteLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("full-width never split") << 5 << u"abあい"_s << u"abあ"_s;
    QTest::newRow("half-width kana counts one") << 3 << u"ｱｲｳｴ"_s << u"ｱｲｳ"_s;
}

void tst_FormHelpers::byteLimit() {
    QFETCH(int, limit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QLineEdit e;
    gSetMaxSjisBytes(&e, limit);
    typeText(&e, typed);
    QCOMPARE(e.text(), kept);
    // A paste keeps what fits at the cursor.
    QLineEdit p;
    gSetMaxSjisBytes(&p, 6);
    typeText(&p, u"abcd"_s);
    p.setCursorPosition(2);
    p.insert(u"XYZW"_s);
    QCOMPARE(p.text(), u"abXYcd"_s);
    p.insert(u"Q"_s);
    QCOMPARE(p.text(), u"abXYcd"_s);
    // Text set by the program (a row written by another program) is left alone.
    p.setText(u"長い仕入先名"_s);
    typeText(&p, u"x"_s);
    QCOMPARE(p.text(), u"長い仕入先名"_s);
    QTest::keyClick(&p, Qt::Key_Backspace);
    QCOMPARE(p.text(), u"長い仕入先"_s);
}

void tst_FormHelpers::enterMovesToNextEnabledVisibleControl() {
    QWidget w;
    auto* layout = new QVBoxLayout(&w);
    auto* first = new QLineEdit(&w);
    auto* disabled = new QLineEdit(&w);
    auto* hidden = new QLineEdit(&w);
    auto* combo = new QComboBox(&w);
    combo->setEditable(true);
    auto* last = new QLineEdit(&w);
    for (QWidget* c : std::initializer_list<QWidget*>{first, disabled, hidden, combo, last})
        layout->addWidget(c);
    disabled->setEnabled(false);
    hidden->setVisible(false);
    gSetMoveFocusByKey(first, false);
    gSetMoveFocusByKey(combo, false);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Return);
    QVERIFY(combo->hasFocus());
    typeText(combo->lineEdit(), u"携帯"_s);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), last);
    QVERIFY(combo->currentText() == u"携帯"_s && combo->count() == 0); // not added to the list
}

void tst_FormHelpers::swallowDiscardsTypedCharacters() {
    QComboBox combo;
    combo.addItems({u"1"_s, u"2"_s, u"3"_s});
    gSetMoveFocusByKey(&combo, true);
    QTest::keyClicks(&combo, u"3"_s);
    QCOMPARE(combo.currentIndex(), 0);
    QTest::keyClick(&combo, Qt::Key_Down);
    QCOMPARE(combo.currentIndex(), 1);
    QVERIFY(gSetComboDropDownRows(&combo, 0)); // zero means every item
    QCOMPARE(combo.maxVisibleItems(), 3);
    QLineEdit edit;
    gSetMoveFocusByKey(&edit, true);
    typeText(&edit, u"ab"_s);
    QCOMPARE(edit.text(), QString());
}

void tst_FormHelpers::trimByTag_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("result");
    QTest::newRow("empty word, tagged") << u"LOCKED"_s << QString() << u"　値　"_s;
    QTest::newRow("word not in tag") << u"LOCKED"_s << u"NOTCLEAR"_s << u"  　値　 "_s;
}

void tst_FormHelpers::trimByTag() {
    QFETCH(QString, tag);
    QFETCH(QString, word);
    QFETCH(QString, result);
    QWidget w;
    auto* e = new QLineEdit(u"  　値　 "_s, &w); // full-width spaces stay
    auto* memo = new QPlainTextEdit(e->text(), &w);
    auto* combo = new QComboBox(&w);
    combo->setEditable(true);
    combo->setEditText(e->text());
    for (QWidget* c : std::initializer_list<QWidget*>{e, memo, combo})
        gSetTag(c, tag);
    gTrimControlsByTag(&w, word);
    QCOMPARE(QStringList({e->text(), memo->toPlainText(), combo->currentText()}),
             QStringList(3, result));
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
    gLockControlsByTag(&w, false, u"LOCKED"_s);
    QVERIFY(locked->isEnabled() && check->isEnabled());
}

QTEST_MAIN(tst_FormHelpers)
#include "tst_FormHelpers.moc"
