// The ledger's drop-down cells driven through a real X server (keys and clicks sent by xdotool),
// where pop-up lists are windows of their own and focus moves through the window manager.
// Skipped without an X display or xdotool.
#include "TestData.h"
#include "TestServices.h"
#include "base/Globals.h"
#include "ledger/ClassLists.h"
#include "ledger/LedgerGrid.h"
#include "ledger/LedgerModel.h"
#include "ledger/frmClass.h"
#include "ledger/frmData.h"
#include "master/SupplierRecords.h"
#include "store/Database.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString xdotool() {
    return QStandardPaths::findExecutable(u"xdotool"_s);
}

void send(const QStringList& args) {
    QProcess::execute(xdotool(), args);
    QTest::qWait(300);
}

QString class1Of(qint64 id) {
    return dataRow(u"SELECT strClass1 FROM T_DATA1 WHERE lngID=?"_s, {id})
        .value(0, u"?"_s)
        .toString();
}

} // namespace

class tst_LedgerDropDownX : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void choosingWorksThroughTheServer();
    void classGridListOpensWithOneClick();

private:
    qint64 m_id = 0;
    frmData* m_f = nullptr;
};

void tst_LedgerDropDownX::init() {
    if (qgetenv("QT_QPA_PLATFORM") != "xcb" || xdotool().isEmpty())
        QSKIP("needs an X server (QT_QPA_PLATFORM=xcb) and xdotool");
    DataFileTest::init();
    QVERIFY(addSupplier(SupplierRow{.masterID = 1, .supplier = 12}));
    QVERIFY(
        gdbData().executeSQL(u"INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable) VALUES "
                             "('現金',1,1),('掛',2,1),('手形',3,1)"_s));
    m_id = addLine(LineRow{.date = QDate(2024, 3, 1), .item = u"品"_s, .cost = 1000});
    glngDataKind = 1;
    m_f = frmData::instance();
    m_f->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_f));
    m_f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_f));
    QComboBox* box = m_f->cboSupplierName;
    box->showPopup();
    box->view()->setCurrentIndex(box->model()->index(
        box->findText(gFormatSupplierItem(12, QString()), Qt::MatchStartsWith), 0));
    QTest::keyClick(box->view(), Qt::Key_Return);
    QVERIFY(m_f->DBGrid_Main->isVisible());
}

void tst_LedgerDropDownX::cleanup() {
    delete static_cast<QWidget*>(m_f);
    m_f = nullptr;
    DataFileTest::cleanup();
}

void tst_LedgerDropDownX::choosingWorksThroughTheServer() {
    LedgerGrid* grid = m_f->DBGrid_Main;
    QComboBox* combo = m_f->cboEditGrid;
    grid->setFocus();
    grid->setCurrentIndex(m_f->model()->index(0, 4));
    QTest::qWait(300);

    // Keyboard: open, browse, choose.
    send({u"key"_s, u"alt+Down"_s});
    QVERIFY(combo->view()->isVisible());
    send({u"key"_s, u"Down"_s}); // the list starts with an empty entry
    send({u"key"_s, u"Down"_s});
    send({u"key"_s, u"Return"_s});
    QCOMPARE(class1Of(m_id), u"掛"_s);

    // Mouse: open with the cell's button, click an entry.
    send({u"key"_s, u"F4"_s});
    QVERIFY(combo->view()->isVisible());
    const QRect r = combo->view()->visualRect(combo->model()->index(3, 0));
    const QPoint p = combo->view()->viewport()->mapToGlobal(r.center());
    send({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
    send({u"click"_s, u"1"_s});
    QCOMPARE(class1Of(m_id), u"手形"_s);

    // A click outside an open list closes it; the list opens again afterwards.
    send({u"key"_s, u"F4"_s});
    QVERIFY(combo->view()->isVisible());
    const QPoint outside = m_f->mapToGlobal(QPoint(10, m_f->height() - 10));
    send({u"mousemove"_s, QString::number(outside.x()), QString::number(outside.y())});
    send({u"click"_s, u"1"_s});
    QVERIFY(!combo->view()->isVisible());
    grid->setFocus();
    grid->setCurrentIndex(m_f->model()->index(0, 4));
    send({u"key"_s, u"F4"_s});
    QVERIFY(combo->view()->isVisible());
    send({u"key"_s, u"Escape"_s});
    QCOMPARE(class1Of(m_id), u"手形"_s);
}

void tst_LedgerDropDownX::classGridListOpensWithOneClick() {
    frmClass* w = frmClass::instance();
    w->setClass(1, u"区分1"_s);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTableView* grid = w->DBGrid01;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    // One click on the arrow of the 有効 cell opens its list, and it stays open.
    const QRect cell = grid->visualRect(grid->model()->index(0, 3));
    const QPoint arrow =
        grid->viewport()->mapToGlobal(cell.topRight() + QPoint(-5, cell.height() / 2));
    send({u"mousemove"_s, QString::number(arrow.x()), QString::number(arrow.y())});
    send({u"click"_s, u"1"_s});
    const bool open = w->cboEditGrid->view()->isVisible();
    send({u"key"_s, u"Escape"_s});
    delete w;
    QVERIFY(open);
}

QTEST_MAIN(tst_LedgerDropDownX)
#include "tst_LedgerDropDownX.moc"
