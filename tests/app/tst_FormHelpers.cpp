#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/FormHelpers.h"

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

    void byteLimitTyping_data();
    void byteLimitTyping();
    void byteLimitPasteKeepsWhatFits_data();
    void byteLimitPasteKeepsWhatFits();
    void byteLimitLeavesProgramTextAlone();
    void enterMovesToNextEnabledVisibleControl();
    void swallowDiscardsTypedCharacters();
    void trimByTag_data();
    void trimByTag();
    void clearKeepsNotClearAndChecks();
    void lockByTag();
    void dropDownRows_data();
    void dropDownRows();
};

void tst_FormHelpers::byteLimitTyping_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("full-width never split") << 5 << u"abあい"_s << u"abあ"_s;
    QTest::newRow("half-width kana counts one") << 3 << u"ｱｲｳｴ"_s << u"ｱｲｳ"_s;
}

void tst_FormHelpers::byteLimitTyping() {
    QFETCH(int, limit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QLineEdit e;
    gSetMaxSjisBytes(&e, limit);
    typeText(&e, typed);
    QCOMPARE(e.text(), kept);
}

void tst_FormHelpers::byteLimitPasteKeepsWhatFits_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("result");
    QTest::newRow("in the middle") << u"abcd"_s << 2 << u"XYZW"_s << u"abXYcd"_s;
    QTest::newRow("full box, middle") << u"abcdef"_s << 3 << u"X"_s << u"abcdef"_s;
}

void tst_FormHelpers::byteLimitPasteKeepsWhatFits() {
    QFETCH(QString, start);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, result);
    QLineEdit e;
    gSetMaxSjisBytes(&e, 6);
    typeText(&e, start);
    e.setCursorPosition(cursor);
    e.insert(pasted);
    QCOMPARE(e.text(), result);
}

void tst_FormHelpers::byteLimitLeavesProgramTextAlone() {
    QLineEdit e;
    gSetMaxSjisBytes(&e, 4);
    e.setText(u"長い仕入先名"_s); // a row written by another program
    QCOMPARE(e.text(), u"長い仕入先名"_s);
    typeText(&e, u"x"_s);
    QCOMPARE(e.text(), u"長い仕入先名"_s);
    QTest::keyClick(&e, Qt::Key_Backspace);
    QCOMPARE(e.text(), u"長い仕入先"_s);
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
    QCOMPARE(combo->currentText(), u"携帯"_s);
    QCOMPARE(combo->count(), 0); // Enter did not add the text to the list
}

void tst_FormHelpers::swallowDiscardsTypedCharacters() {
    QComboBox combo;
    combo.addItems({u"1"_s, u"2"_s, u"3"_s});
    combo.setCurrentIndex(0);
    gSetMoveFocusByKey(&combo, true);
    QTest::keyClicks(&combo, u"3"_s);
    QCOMPARE(combo.currentIndex(), 0);
    QTest::keyClick(&combo, Qt::Key_Down);
    QCOMPARE(combo.currentIndex(), 1);

    QLineEdit edit;
    gSetMoveFocusByKey(&edit, true);
    typeText(&edit, u"ab"_s);
    QCOMPARE(edit.text(), QString());
    QLineEdit free;
    gSetMoveFocusByKey(&free, false);
    typeText(&free, u"ab"_s);
    QCOMPARE(free.text(), u"ab"_s);
}

void tst_FormHelpers::trimByTag_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("result");
    QTest::newRow("empty word, tagged") << u"LOCKED"_s << QString() << u"　値　"_s;
    QTest::newRow("empty word, untagged") << QString() << QString() << u"  　値　 "_s;
    QTest::newRow("word not in tag") << u"LOCKED"_s << u"NOTCLEAR"_s << u"  　値　 "_s;
}

void tst_FormHelpers::trimByTag() {
    QFETCH(QString, tag);
    QFETCH(QString, word);
    QFETCH(QString, result);
    QWidget w;
    auto* e = new QLineEdit(&w);
    auto* memo = new QPlainTextEdit(&w);
    auto* combo = new QComboBox(&w);
    combo->setEditable(true);
    const QString typed = u"  　値　 "_s; // full-width spaces stay
    e->setText(typed);
    memo->setPlainText(typed);
    combo->setEditText(typed);
    for (QWidget* c : std::initializer_list<QWidget*>{e, memo, combo})
        gSetTag(c, tag);
    gTrimControlsByTag(&w, word);
    QCOMPARE(e->text(), result);
    QCOMPARE(memo->toPlainText(), result);
    QCOMPARE(combo->currentText(), result);
}

void tst_FormHelpers::clearKeepsNotClearAndChecks() {
    QWidget w;
    auto* locked = new QLineEdit(u"a"_s, &w);
    gSetTag(locked, u"LOCKED"_s);
    auto* untagged = new QLineEdit(u"b"_s, &w);
    auto* kept = new QLineEdit(u"修正"_s, &w);
    gSetTag(kept, u"NOTCLEAR"_s);
    auto* combo = new QComboBox(&w);
    combo->addItems({u"1"_s, u"2"_s});
    combo->setCurrentIndex(1);
    auto* notes = new QComboBox(&w);
    notes->setEditable(true);
    notes->addItems({u"自宅"_s, u"携帯電話"_s});
    notes->setEditText(u"倉庫"_s);
    auto* check = new QCheckBox(&w);
    check->setChecked(true);
    gClearControls(&w);
    QCOMPARE(locked->text(), QString());
    QCOMPARE(untagged->text(), QString());
    QCOMPARE(kept->text(), u"修正"_s);
    QCOMPARE(combo->currentText(), QString());
    QCOMPARE(combo->count(), 2);
    QCOMPARE(notes->currentText(), QString());
    QCOMPARE(notes->count(), 2);
    QVERIFY(check->isChecked());
}

void tst_FormHelpers::lockByTag() {
    QWidget w;
    auto* box = new QLineEdit(&w);
    gSetTag(box, u"LOCKED"_s);
    auto* check = new QCheckBox(&w);
    gSetTag(check, u"LOCKED"_s);
    auto* other = new QLineEdit(&w);
    gSetTag(other, u"NOTCLEAR"_s);
    auto* button = new QPushButton(&w);
    gLockControlsByTag(&w, true, u"LOCKED"_s);
    QVERIFY(!box->isEnabled());
    QVERIFY(!check->isEnabled());
    QVERIFY(other->isEnabled());
    QVERIFY(button->isEnabled());
    gLockControlsByTag(&w, false, u"LOCKED"_s);
    QVERIFY(box->isEnabled());
    QVERIFY(check->isEnabled());
}

void tst_FormHelpers::dropDownRows_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("visible");
    QTest::newRow("seventeen") << 17 << 17;
    QTest::newRow("zero means every item") << 0 << 30;
}

void tst_FormHelpers::dropDownRows() {
    QFETCH(int, rows);
    QFETCH(int, visible);
    QComboBox combo;
    for (int i = 0; i < 30; ++i)
        combo.addItem(QString::number(i));
    QVERIFY(gSetComboDropDownRows(&combo, rows));
    QCOMPARE(combo.maxVisibleItems(), visible);
}

QTEST_MAIN(tst_FormHelpers)
#include "tst_FormHelpers.moc"
