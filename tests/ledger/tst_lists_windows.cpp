// Whole flows through the class window and the item window, offscreen, each read back from the
// data file and through the routines the ledger uses for its drop-down lists and list checks.
#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"

#include "base/Globals.h"
#include "ledger/ClassLists.h"
#include "ledger/frmClass.h"
#include "ledger/frmDataItem.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

class TestListsWindows : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addedClassEntryAppearsInLedgerList();
    void blankClassTextRefused_data();
    void blankClassTextRefused();
    void classEntryLimitedToFourFullWidthCharacters();
    void disabledEntryRefusedByLedgerButOfferedAsDefault();
    void reorderedEntryMovesInLedgerList();
    void arrowKeysOnlyBrowseTheDropDown();
    void classDefaultBecomesDefaultOfNewLines_data();
    void classDefaultBecomesDefaultOfNewLines();
    void typingIntoDefaultBoxIsDiscarded();
    void brokenClassListEndsTheProgram();

    void typedItemsBelongToTheOpenLedger();
    void orderNumberOutsideListRefused_data();
    void orderNumberOutsideListRefused();
    void orderChosenFromDropDown();
    void closingWithRefusedOrderKeepsWindowOpen();
    void itemRowsCannotBeDeleted();

private:
    frmClass* openClass(int classNo, const QString& caption);
    frmDataItem* openItems(int kind);
    static void closeWindow(QWidget* w);
    static void clickButton(QTableView* view, const QModelIndex& index);
    static void choose(QComboBox* combo, const QString& text);
    static void typeIntoCell(QTableView* view, const QModelIndex& index, const QString& text);
    static QVariantList classRow(int classNo, const QString& text);
    static QList<QVariantList> itemRows(int kind);

    TestServices m_services{};
    std::unique_ptr<TestProgramFolder> m_folder;
};

void TestListsWindows::init() {
    m_services = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    glngDataKind = 1;
}

void TestListsWindows::cleanup() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            windows << w;
    for (const QPointer<QWidget>& w : std::as_const(windows))
        delete w.data();
    m_folder.reset();
}

frmClass* TestListsWindows::openClass(int classNo, const QString& caption) {
    frmClass* w = frmClass::instance();
    w->setClass(classNo, caption);
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        qWarning("window not active");
    return w;
}

frmDataItem* TestListsWindows::openItems(int kind) {
    glngDataKind = kind;
    frmDataItem* w = frmDataItem::instance();
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        qWarning("window not active");
    return w;
}

void TestListsWindows::closeWindow(QWidget* w) {
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestListsWindows::clickButton(QTableView* view, const QModelIndex& index) {
    view->scrollTo(index);
    const QRect cell = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      cell.topRight() + QPoint(-4, cell.height() / 2));
}

void TestListsWindows::choose(QComboBox* combo, const QString& text) {
    const int i = combo->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    combo->hidePopup();
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

void TestListsWindows::typeIntoCell(QTableView* view, const QModelIndex& index,
                                    const QString& text) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    view->setFocus();
    view->setCurrentIndex(index);
    view->edit(index);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->selectAll();
    typeText(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

QVariantList TestListsWindows::classRow(int classNo, const QString& text) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT lngID, strClassItem, lngSort, blnEnable FROM T_DATA_CLASS"_s +
                              QString::number(classNo) + u" WHERE strClassItem = ?"_s,
                          {text}) ||
        rs.recordCount() != 1)
        return {};
    return rs.rows().front();
}

QList<QVariantList> TestListsWindows::itemRows(int kind) {
    QList<QVariantList> rows;
    ResultSet rs(gdbData());
    if (rs.openRecordSet(u"SELECT strItem, lngSort FROM T_DATA"_s + QString::number(kind) +
                         u"_ITEM ORDER BY rowid"_s))
        for (const QVariantList& r : rs.rows())
            rows << r;
    return rows;
}

void TestListsWindows::addedClassEntryAppearsInLedgerList() {
    frmClass* w = openClass(1, u"区分1"_s);
    QVERIFY(w->windowTitle().startsWith(u"区分1     "_s));
    typeText(w->txtAddItem, u"ハーフ'n"_s);
    QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    typeText(w->txtAddItem, u" 食品 "_s);
    QTest::keyClick(w->txtAddItem, Qt::Key_Return);
    QVERIFY(w->txtAddItem->text().isEmpty());
    QCOMPARE(w->DBGrid01->model()->rowCount(), 2);
    closeWindow(w);

    const QVariantList row = classRow(1, u"ハーフ'n"_s);
    QCOMPARE(row.size(), 4);
    QCOMPARE(row.at(2).toInt(), 1);
    QCOMPARE(row.at(3).toBool(), true);
    QCOMPARE(classRow(1, u"食品"_s).size(), 4);
    QStringList ledger;
    QVERIFY(gGetLedgerListEntries(4, 1, ledger));
    QCOMPARE(ledger, (QStringList{QString(), u"ハーフ'n"_s, u"食品"_s}));
    QVERIFY(gGetLedgerListEntries(5, 1, ledger));
    QVERIFY(ledger.isEmpty());
    QVERIFY(m_services.prompt->shown.isEmpty());
}

void TestListsWindows::blankClassTextRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("nothing") << QString();
    QTest::newRow("half-width spaces") << u"  "_s;
    QTest::newRow("one full-width space") << u"　"_s;
    QTest::newRow("four full-width spaces") << u"　　　　"_s;
}

void TestListsWindows::blankClassTextRefused() {
    QFETCH(QString, typed);
    frmClass* w = openClass(2, u"区分2"_s);
    typeText(w->txtAddItem, typed);
    QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    QCOMPARE(m_services.prompt->texts(), QStringList{u"空白は無効です"_s});
    QCOMPARE(m_services.prompt->shown.first().style & 0x70, MsgStyle::Exclamation);
    QCOMPARE(w->focusWidget(), w->txtAddItem);
    QCOMPARE(w->DBGrid01->model()->rowCount(), 0);
    closeWindow(w);
    QList<ClassEntry> entries;
    QVERIFY(gGetClassEntries(2, entries));
    QVERIFY(entries.isEmpty());
}

void TestListsWindows::classEntryLimitedToFourFullWidthCharacters() {
    frmClass* w = openClass(3, u"区分3"_s);
    typeText(w->txtAddItem, u"一二三四五"_s);
    QCOMPARE(w->txtAddItem->text(), u"一二三四"_s);
    w->txtAddItem->clear();
    typeText(w->txtAddItem, u"ア　イ"_s);
    QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    closeWindow(w);
    QCOMPARE(classRow(3, u"ア　イ"_s).size(), 4);
}

void TestListsWindows::disabledEntryRefusedByLedgerButOfferedAsDefault() {
    frmClass* w = openClass(1, u"区分1"_s);
    for (const QString& t : {u"食品"_s, u"雑貨"_s}) {
        typeText(w->txtAddItem, t);
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    }
    QAbstractItemModel* model = w->DBGrid01->model();
    clickButton(w->DBGrid01, model->index(0, 3));
    QVERIFY(w->cboEditGrid->isVisible());
    QCOMPARE(w->cboEditGrid->count(), 2);
    QCOMPARE(w->cboEditGrid->itemText(0), u"Yes"_s);
    choose(w->cboEditGrid, u"No"_s);
    QVERIFY(!w->cboEditGrid->isVisible());
    QCOMPARE(model->index(0, 3).data().toString(), u"No"_s);
    QCOMPARE(classRow(1, u"食品"_s).value(3).toBool(), false);

    bool valid = true;
    QVERIFY(gChkLedgerListText(4, 1, u"食品"_s, valid));
    QVERIFY(!valid);
    QVERIFY(gChkLedgerListText(4, 2, u"雑貨"_s, valid));
    QVERIFY(valid);

    w->cboDefaltInput->setFocus();
    QTRY_COMPARE(w->cboDefaltInput->count(), 3);
    QCOMPARE(w->cboDefaltInput->itemText(1), u"食品"_s);
    w->cboDefaltInput->setCurrentIndex(1);
    closeWindow(w);
    QString def;
    QVERIFY(gGetClassDefault(1, def));
    QCOMPARE(def, u"食品"_s);
}

void TestListsWindows::reorderedEntryMovesInLedgerList() {
    frmClass* w = openClass(2, u"区分2"_s);
    for (const QString& t : {u"A"_s, u"B"_s}) {
        typeText(w->txtAddItem, t);
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    }
    // Alt+Down in the order column opens the list like the button.
    w->DBGrid01->setFocus();
    w->DBGrid01->setCurrentIndex(w->DBGrid01->model()->index(0, 2));
    QTest::keyClick(w->DBGrid01, Qt::Key_Down, Qt::AltModifier);
    QVERIFY(w->cboEditGrid->isVisible());
    QCOMPARE(w->cboEditGrid->count(), 99);
    QCOMPARE(w->cboEditGrid->itemText(98), u"99"_s);
    choose(w->cboEditGrid, u"99"_s);
    closeWindow(w);
    QCOMPARE(classRow(2, u"A"_s).value(2).toInt(), 99);
    QStringList ledger;
    QVERIFY(gGetLedgerListEntries(5, 1, ledger));
    QCOMPARE(ledger, (QStringList{QString(), u"B"_s, u"A"_s}));
}

void TestListsWindows::arrowKeysOnlyBrowseTheDropDown() {
    frmClass* w = openClass(1, u"区分1"_s);
    typeText(w->txtAddItem, u"A"_s);
    QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    clickButton(w->DBGrid01, w->DBGrid01->model()->index(0, 2));
    QComboBox* combo = w->cboEditGrid;
    combo->hidePopup();
    combo->setFocus();
    QCOMPARE(combo->currentText(), u"1"_s);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentText(), u"3"_s);
    QCOMPARE(classRow(1, u"A"_s).value(2).toInt(), 1);
    QVERIFY(combo->isVisible());
    QTest::keyClick(combo, Qt::Key_Return);
    QVERIFY(!combo->isVisible());
    QCOMPARE(classRow(1, u"A"_s).value(2).toInt(), 3);
    closeWindow(w);
}

void TestListsWindows::classDefaultBecomesDefaultOfNewLines_data() {
    QTest::addColumn<int>("classNo");
    QTest::addColumn<int>("setting");
    QTest::newRow("class 1") << 1 << 13;
    QTest::newRow("class 2") << 2 << 14;
    QTest::newRow("class 3") << 3 << 15;
}

void TestListsWindows::classDefaultBecomesDefaultOfNewLines() {
    QFETCH(int, classNo);
    QFETCH(int, setting);
    frmClass* w = openClass(classNo, u"区分"_s);
    typeText(w->txtAddItem, u"既定'"_s);
    QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    // The default box learns of the new entry when it gets the focus.
    w->cboDefaltInput->setFocus();
    const int i = w->cboDefaltInput->findText(u"既定'"_s);
    QVERIFY(i > 0);
    w->cboDefaltInput->setCurrentIndex(i);
    closeWindow(w);
    QVERIFY(!frmClass::existing());

    QString stored;
    QVERIFY(gGetSystemStrField(setting, stored, QString()));
    QCOMPARE(stored, u"既定'"_s);
    QString def;
    QVERIFY(gGetClassDefault(classNo, def));
    QCOMPARE(def, u"既定'"_s);

    // Reopened, the window shows the stored default; choosing the empty entry clears it.
    w = openClass(classNo, u"区分"_s);
    QCOMPARE(w->cboDefaltInput->currentText(), u"既定'"_s);
    w->cboDefaltInput->setCurrentIndex(0);
    closeWindow(w);
    QVERIFY(gGetClassDefault(classNo, def));
    QCOMPARE(def, QString());
}

void TestListsWindows::typingIntoDefaultBoxIsDiscarded() {
    frmClass* w = openClass(1, u"区分1"_s);
    typeText(w->txtAddItem, u"abc"_s);
    QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    w->cboDefaltInput->setFocus();
    QCOMPARE(w->cboDefaltInput->currentText(), QString());
    typeText(w->cboDefaltInput, u"a"_s);
    QCOMPARE(w->cboDefaltInput->currentText(), QString());
    closeWindow(w);
    QString def = u"unset"_s;
    QVERIFY(gGetClassDefault(1, def));
    QCOMPARE(def, QString());
}

void TestListsWindows::brokenClassListEndsTheProgram() {
    QVERIFY(gdbData().executeSQL(u"DROP VIEW Q_DATA_CLASS2"_s));
    frmClass* w = openClass(2, u"区分2"_s);
    Q_UNUSED(w);
    QVERIFY(!m_services.process->terminations.isEmpty());
    QVERIFY(m_folder->errorLog().contains(u"frmClass_Form_Load"_s));
}

void TestListsWindows::typedItemsBelongToTheOpenLedger() {
    frmDataItem* w = openItems(2);
    QVERIFY(w->windowTitle().startsWith(u"売上帳"_s));
    QAbstractItemModel* model = w->DBGrid01->model();
    QCOMPARE(model->rowCount(), 1);
    typeIntoCell(w->DBGrid01, model->index(0, 0), u"ハーフ'n"_s);
    QCOMPARE(model->rowCount(), 2);
    typeIntoCell(w->DBGrid01, model->index(1, 1), u"3"_s);
    QCOMPARE(model->rowCount(), 3);
    typeIntoCell(w->DBGrid01, model->index(1, 0), u"先頭"_s);
    closeWindow(w);

    const QList<QVariantList> rows = itemRows(2);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).value(0).toString(), u"ハーフ'n"_s);
    QVERIFY(rows.at(0).value(1).isNull());
    QCOMPARE(rows.at(1).value(0).toString(), u"先頭"_s);
    QCOMPARE(rows.at(1).value(1).toInt(), 3);
    QVERIFY(itemRows(1).isEmpty());

    QStringList ledger;
    QVERIFY(gGetLedgerListEntries(3, 2, ledger));
    QCOMPARE(ledger, (QStringList{QString(), u"ハーフ'n"_s, u"先頭"_s}));
    QVERIFY(gGetLedgerListEntries(3, 1, ledger));
    QVERIFY(ledger.isEmpty());
}

void TestListsWindows::orderNumberOutsideListRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("0") << u"0"_s;
    QTest::newRow("100") << u"100"_s;
    QTest::newRow("decimal") << u"2.5"_s;
    QTest::newRow("letters") << u"abc"_s;
}

void TestListsWindows::orderNumberOutsideListRefused() {
    QFETCH(QString, typed);
    frmDataItem* w = openItems(1);
    QAbstractItemModel* model = w->DBGrid01->model();
    typeIntoCell(w->DBGrid01, model->index(0, 0), u"品"_s);
    typeIntoCell(w->DBGrid01, model->index(0, 1), typed);
    QTRY_COMPARE(m_services.prompt->texts(), QStringList{u"リストの中から選択してください。"_s});
    QVERIFY(itemRows(1).value(0).value(1).isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The user is back in the cell with what was typed.
    auto* editor = w->DBGrid01->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->text(), typed);
    editor->setText(u" 99 "_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(itemRows(1).value(0).value(1).toInt(), 99);
    QCOMPARE(m_services.prompt->shown.size(), 1);
    closeWindow(w);
}

void TestListsWindows::orderChosenFromDropDown() {
    frmDataItem* w = openItems(1);
    QAbstractItemModel* model = w->DBGrid01->model();
    typeIntoCell(w->DBGrid01, model->index(0, 0), u"品"_s);
    clickButton(w->DBGrid01, model->index(0, 1));
    QVERIFY(w->cboEditGrid->isVisible());
    QCOMPARE(w->cboEditGrid->count(), 99);
    QCOMPARE(w->cboEditGrid->itemText(0), u"1"_s);
    choose(w->cboEditGrid, u"12"_s);
    QCOMPARE(itemRows(1).value(0).value(1).toInt(), 12);
    QCOMPARE(model->index(0, 1).data().toInt(), 12);
    // Choosing for the new row stores a new row with only an order number.
    clickButton(w->DBGrid01, model->index(1, 1));
    choose(w->cboEditGrid, u"4"_s);
    closeWindow(w);
    const QList<QVariantList> rows = itemRows(1);
    QCOMPARE(rows.size(), 2);
    QVERIFY(rows.at(1).value(0).isNull());
    QCOMPARE(rows.at(1).value(1).toInt(), 4);
}

void TestListsWindows::closingWithRefusedOrderKeepsWindowOpen() {
    frmDataItem* w = openItems(1);
    QAbstractItemModel* model = w->DBGrid01->model();
    typeIntoCell(w->DBGrid01, model->index(0, 0), u"品"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w->DBGrid01->setCurrentIndex(model->index(0, 1));
    w->DBGrid01->edit(model->index(0, 1));
    auto* editor = w->DBGrid01->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setFocus();
    typeText(editor, u"500"_s);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(frmDataItem::existing());
    QVERIFY(w->isVisible());
    QTRY_COMPARE(m_services.prompt->texts(), QStringList{u"リストの中から選択してください。"_s});
    QVERIFY(itemRows(1).value(0).value(1).isNull());
    closeWindow(w);
}

void TestListsWindows::itemRowsCannotBeDeleted() {
    frmDataItem* w = openItems(1);
    QAbstractItemModel* model = w->DBGrid01->model();
    typeIntoCell(w->DBGrid01, model->index(0, 0), u"品"_s);
    QVERIFY(!model->removeRows(0, 1));
    w->DBGrid01->setCurrentIndex(model->index(0, 0));
    QTest::keyClick(w->DBGrid01, Qt::Key_Delete);
    closeWindow(w);
    QCOMPARE(itemRows(1).size(), 1);
    QCOMPARE(itemRows(1).value(0).value(0).toString(), u"品"_s);
}

QTEST_MAIN(TestListsWindows)
#include "tst_lists_windows.moc"
