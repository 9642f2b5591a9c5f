#include "SupplierListFixture.h"
#include "TestData.h"
#include "TestServices.h"
#include "app/frmMenu.h"
#include "base/Globals.h"
#include "base/WindowGeometry.h"
#include "reports/ExcelLayer.h"
#include "reports/PrintMasterFrame.h"
#include "reports/frmPrint.h"
#include "store/Database.h"
#include "workbook/Workbook.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

template <class T> T* ctl(const QString& name) {
    frmPrint* f = frmPrint::existing();
    return f ? f->findChild<T*>(name) : nullptr;
}

QComboBox* dateBox() {
    return ctl<QComboBox>(u"cboMaster"_s);
}
QCheckBox* carryBox() {
    return ctl<QCheckBox>(u"chkMasterCarry"_s);
}
QPushButton* createButton() {
    return ctl<QPushButton>(u"cmdPrintMaster"_s);
}

const QString kQuestion = u"デスクトップに\r\n表が作成されました\r\n\r\n開きますか？\r\n"_s;
const QString kFailed =
    u"エクセルファイルが正常に作成されませんでした。管理者に問い合わせてください"_s;
const QString kMessage4 = u"日付が正しくありません。\r\n正しい日付を入力してください。"_s;

// What the window showed while a workbook was being written.
struct BusyTrace {
    int progressSteps = 0;
    bool alwaysDisabled = true;
    bool panelAlwaysShown = true;
    int maximum = 0;
};

} // namespace

class tst_frmPrint : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensWithDateListAndHiddenControls();
    void addressListFlowOpensFileOnYes();
    void balanceListFlowAsOfPickedDate();
    void tickAndUntickSwitchLists();
    void typedDateIsRewritten();
    void invalidDateShowsMessage4_data();
    void invalidDateShowsMessage4();
    void noValidSupplierIsTold();
    void failurePathLeavesWindowUsable_data();
    void failurePathLeavesWindowUsable();
    void openFailureIsTold();
    void helpMenuOpensContents();
    void menuButtonOpensReportWindowInUpperThird();

private:
    void openWindow();
    void watchBusy(BusyTrace& trace);
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_desktop;
    TestServices m_svc{};
};

void tst_frmPrint::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (8, 20)"_s));
    m_desktop = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_desktop->path());
    glngDataKind = 1;
}

void tst_frmPrint::cleanup() {
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    frmPrint::setOutputFolderOverride({});
    m_folder.reset();
    m_desktop.reset();
}

void tst_frmPrint::openWindow() {
    frmPrint* f = frmPrint::instance();
    QVERIFY(f);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
}

void tst_frmPrint::watchBusy(BusyTrace& trace) {
    connect(ctl<QProgressBar>(u"PBarNowProcessing"_s), &QProgressBar::valueChanged, this,
            [&trace](int value) {
                if (value == 0)
                    return;
                frmPrint* f = frmPrint::existing();
                ++trace.progressSteps;
                trace.maximum = f->PBarNowProcessing->maximum();
                trace.alwaysDisabled = trace.alwaysDisabled && !f->isEnabled();
                trace.panelAlwaysShown =
                    trace.panelAlwaysShown && f->picNowProcessing->isVisible() &&
                    f->lblNowProcessing->isVisible() && f->PBarNowProcessing->isVisible();
            });
}

void tst_frmPrint::opensWithDateListAndHiddenControls() {
    openWindow();
    frmPrint* f = frmPrint::existing();
    QCOMPARE(f->windowTitle(), u"各種帳票の作成　（エクセルファイル）     tovaki"_s);
    QVERIFY(!ctl<QCheckBox>(u"Chk_KokuyoRi101"_s)->isVisible());
    QCOMPARE(ctl<QCheckBox>(u"Chk_KokuyoRi101"_s)->text(),
             u"定型書式（コクヨ リ-101）を使用する"_s);
    QCOMPARE(ctl<QGroupBox>(u"Frame2"_s)->title(), u"仕入先一覧名簿"_s);
    QCOMPARE(ctl<QLabel>(u"lblMaster"_s)->text(), u"仕入先名簿を作成します"_s);
    QCOMPARE(carryBox()->text(), u"支払残確認用"_s);
    QVERIFY(!carryBox()->isChecked());
    QCOMPARE(createButton()->text(), u"作 成"_s);
    // Close day 20 on 2024/03/05: the term of 2024/02/24 ends on 2024/03/20.
    QCOMPARE(dateBox()->currentText(), u"2024/03/20"_s);
    QCOMPARE(dateBox()->count(), 20);
    QCOMPARE(dateBox()->itemText(0), u"2024/03/20"_s);
    QCOMPARE(dateBox()->itemText(1), u"2024/02/20"_s);
    QCOMPARE(dateBox()->itemText(2), u"2024/01/20"_s);
    QVERIFY(!f->picNowProcessing->isVisible());
    QVERIFY(!f->lblNowProcessing->isVisible());
    QVERIFY(!f->PBarNowProcessing->isVisible());
    QVERIFY(f->isEnabled());
    QCOMPARE(f->mnuContents->text(), u"目次(&C)"_s);
    QCOMPARE(f->mnuAbout->text(), u"このソフトについて(&A)"_s);
    QVERIFY(f->suppliers().isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_frmPrint::addressListFlowOpensFileOnYes() {
    QVERIFY(loadSupplierListFixture());
    openWindow();
    frmPrint* f = frmPrint::existing();
    QCOMPARE(f->suppliers().size(), 26);
    BusyTrace trace;
    watchBusy(trace);
    bool enabledAtQuestion = false;
    bool panelAtQuestion = true;
    m_svc.prompt->onShow = [&](const ShownPrompt&) {
        enabledAtQuestion = f->isEnabled();
        panelAtQuestion = f->picNowProcessing->isVisible();
    };
    m_svc.prompt->answers << MsgResult::Yes;

    dateBox()->setCurrentIndex(1);
    QTest::mouseClick(createButton(), Qt::LeftButton);

    const QString saved = m_desktop->filePath(supplierListFileName());
    QCOMPARE(m_svc.prompt->texts(), QStringList{kQuestion});
    QCOMPARE(m_svc.shell->opened, QStringList{saved});
    QCOMPARE(folderEntries(m_desktop->path()), QStringList{supplierListFileName()});
    QCOMPARE(trace.progressSteps, 26);
    QCOMPARE(trace.maximum, 26);
    QVERIFY(trace.alwaysDisabled);
    QVERIFY(trace.panelAlwaysShown);
    QVERIFY(enabledAtQuestion);
    QVERIFY(!panelAtQuestion);
    QVERIFY(f->isEnabled());
    QVERIFY(!f->picNowProcessing->isVisible());

    Workbook book;
    QVERIFY(book.open(saved));
    QCOMPARE(book.sheetNames(), (QStringList{u"雛型"_s, u"1"_s, u"2"_s}));
    QCOMPARE(book.sheet(u"1"_s)->value(4, 2).toString(), u"[1]  アルファ商事株式会社 営業部"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_frmPrint::balanceListFlowAsOfPickedDate() {
    QVERIFY(loadSupplierListFixture());
    openWindow();
    dateBox()->setCurrentIndex(1); // 2024/02/20: the payment of 03/01 and later lines are out
    QTest::mouseClick(carryBox(), Qt::LeftButton);
    QVERIFY(carryBox()->isChecked());
    m_svc.prompt->answers << MsgResult::No;
    QTest::mouseClick(createButton(), Qt::LeftButton);

    QCOMPARE(m_svc.prompt->texts(), QStringList{kQuestion});
    QVERIFY(m_svc.shell->opened.isEmpty());
    Workbook book;
    QVERIFY(book.open(m_desktop->filePath(supplierListFileName())));
    QCOMPARE(book.sheetNames(), QStringList{u"page1"_s});
    QCOMPARE(book.sheet(0)->value(2, 3).toString(), u"2024/02/20 時点仕入先名簿"_s);
    QCOMPARE(book.sheet(0)->value(5, 4).toDouble(), 15500.0);
    QCOMPARE(book.sheet(0)->value(7, 4).toDouble(), 2000.0); // bought 02/01, paid only 02/28
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_frmPrint::tickAndUntickSwitchLists() {
    QVERIFY(loadSupplierListFixture());
    openWindow();
    QTest::mouseClick(carryBox(), Qt::LeftButton);
    QTest::mouseClick(createButton(), Qt::LeftButton);
    m_svc.clock->fixed = m_svc.clock->fixed.addSecs(60);
    QTest::mouseClick(carryBox(), Qt::LeftButton);
    QVERIFY(!carryBox()->isChecked());
    QTest::mouseClick(createButton(), Qt::LeftButton);

    const QStringList files = folderEntries(m_desktop->path());
    QCOMPARE(files, (QStringList{u"　2024-03-05　10：15：00　仕入先表.xlsx"_s,
                                 u"　2024-03-05　10：16：00　仕入先表.xlsx"_s}));
    Workbook book;
    QVERIFY(book.open(m_desktop->filePath(files.at(0))));
    QCOMPARE(book.sheetNames(), QStringList{u"page1"_s});
    QVERIFY(book.open(m_desktop->filePath(files.at(1))));
    QCOMPARE(book.sheetCount(), 3);
    QCOMPARE(m_svc.prompt->texts(), (QStringList{kQuestion, kQuestion}));
}

void tst_frmPrint::typedDateIsRewritten() {
    QVERIFY(loadSupplierListFixture());
    openWindow();
    QTest::mouseClick(carryBox(), Qt::LeftButton);
    dateBox()->setFocus();
    dateBox()->lineEdit()->selectAll();
    QTest::keyClicks(dateBox()->lineEdit(), u"2024-3-1"_s);
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(dateBox()->currentText(), u"2024/03/01"_s);
    Workbook book;
    QVERIFY(book.open(m_desktop->filePath(supplierListFileName())));
    QCOMPARE(book.sheet(0)->value(2, 3).toString(), u"2024/03/01 時点仕入先名簿"_s);
    // 10 000 + 5 000 + 500 − 3 000 (paid on the day)
    QCOMPARE(book.sheet(0)->value(5, 4).toDouble(), 12500.0);
}

void tst_frmPrint::invalidDateShowsMessage4_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("carry");
    QTest::newRow("empty, address list") << QString() << false;
    QTest::newRow("letters, balance list") << u"abc"_s << true;
    QTest::newRow("month 13") << u"2024/13/01"_s << true;
    QTest::newRow("February 30") << u"2024/02/30"_s << false;
}

void tst_frmPrint::invalidDateShowsMessage4() {
    QFETCH(QString, text);
    QFETCH(bool, carry);
    QVERIFY(loadSupplierListFixture());
    openWindow();
    if (carry)
        QTest::mouseClick(carryBox(), Qt::LeftButton);
    dateBox()->setEditText(text);
    createButton()->setFocus();
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{kMessage4});
    QCOMPARE(m_svc.prompt->shown.first().style & MsgStyle::Exclamation, MsgStyle::Exclamation);
    QWidget* focus = frmPrint::existing()->focusWidget();
    QVERIFY(focus == dateBox() || focus == dateBox()->lineEdit());
    QCOMPARE(dateBox()->currentText(), text);
    QVERIFY(folderEntries(m_desktop->path()).isEmpty());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"frmPrint_cmdPrintMaster_Click"_s});
    QVERIFY(frmPrint::existing()->isEnabled());
}

void tst_frmPrint::noValidSupplierIsTold() {
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName)"
        " VALUES (1, 1, 0, '無効')"_s));
    openWindow();
    for (const bool carry : {false, true}) {
        carryBox()->setChecked(carry);
        QTest::mouseClick(createButton(), Qt::LeftButton);
    }
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{u"仕入先がありません"_s, u"仕入先がありません"_s}));
    QCOMPARE(m_svc.prompt->shown.first().style, MsgStyle::OKOnly | MsgStyle::Information);
    QVERIFY(folderEntries(m_desktop->path()).isEmpty());
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{u"frmPrint_cmdPrintMaster_Click"_s, u"frmPrint_cmdPrintMaster_Click"_s}));
}

void tst_frmPrint::failurePathLeavesWindowUsable_data() {
    QTest::addColumn<bool>("carry");
    QTest::addColumn<bool>("brokenTemplate"); // else: the desktop cannot be written
    QTest::newRow("address list, missing template") << false << true;
    QTest::newRow("balance list, missing template") << true << true;
    QTest::newRow("address list, desktop not writable") << false << false;
    QTest::newRow("balance list, desktop not writable") << true << false;
}

void tst_frmPrint::failurePathLeavesWindowUsable() {
    QFETCH(bool, carry);
    QFETCH(bool, brokenTemplate);
    QVERIFY(loadSupplierListFixture());
    const QString templ =
        gstrExcelFormatPath + (carry ? kExcelTemplateMaster2 : kExcelTemplateMaster);
    const QString away = m_folder->tempPath() + u"/template.xlsx"_s;
    const QString blocked = m_desktop->filePath(u"blocked"_s);
    if (brokenTemplate) {
        QVERIFY(QFile::rename(templ, away));
    } else {
        QFile file(blocked); // a file where the folder should be
        QVERIFY(file.open(QIODevice::WriteOnly));
        frmPrint::setOutputFolderOverride(blocked);
    }
    openWindow();
    frmPrint* f = frmPrint::existing();
    carryBox()->setChecked(carry);
    QTest::mouseClick(createButton(), Qt::LeftButton);

    QCOMPARE(m_svc.prompt->texts(), QStringList{kFailed});
    QCOMPARE(m_svc.prompt->shown.first().style, MsgStyle::OKOnly);
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{carry ? u"frmPrint_mPrintMaster_Carry"_s : u"frmPrint_mPrintMaster"_s,
                          u"frmPrint_cmdPrintMaster_Click"_s}));
    QVERIFY(f->isEnabled());
    QVERIFY(!f->picNowProcessing->isVisible());
    QVERIFY(!f->PBarNowProcessing->isVisible());
    const QStringList left = folderEntries(m_desktop->path());
    QVERIFY2(left.isEmpty() || left == QStringList{u"blocked"_s}, qPrintable(left.join(u'|')));
    QVERIFY(m_svc.shell->opened.isEmpty());

    // Mended, the same window writes the list.
    if (brokenTemplate)
        QVERIFY(QFile::rename(away, templ));
    else
        frmPrint::setOutputFolderOverride(m_desktop->path());
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().last(), kQuestion);
    QVERIFY(folderEntries(m_desktop->path()).contains(supplierListFileName()));
}

void tst_frmPrint::openFailureIsTold() {
    QVERIFY(loadSupplierListFixture());
    openWindow();
    m_svc.prompt->answers << MsgResult::Yes;
    m_svc.shell->result = false;
    QTest::mouseClick(createButton(), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{kQuestion, u"EXCELファイルを開くのに失敗しました。"_s}));
    QVERIFY(QFile::exists(m_desktop->filePath(supplierListFileName())));
}

void tst_frmPrint::helpMenuOpensContents() {
    openWindow();
    frmPrint::existing()->mnuContents->trigger();
    QCOMPARE(m_svc.shell->opened, QStringList{gAddBackSlash(gstrAppPath) + u"index.html"_s});
}

void tst_frmPrint::menuButtonOpensReportWindowInUpperThird() {
    QVERIFY(loadSupplierListFixture());
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QVERIFY(menu->Command1[3]->isEnabled());
    QTest::mouseClick(menu->Command1[3], Qt::LeftButton);
    frmPrint* f = frmPrint::existing();
    QVERIFY(f);
    QVERIFY(f->isVisible());
    QTRY_VERIFY(!frmMenu::existing());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = f->frameGeometry();
    int left = 0;
    int top = 0;
    QVERIFY(windowOffsetFor(screen.width(), screen.height(), frame.width(), frame.height(), 1, left,
                            top));
    // The offscreen test screen is 800 × 600. The window with its profit table frame is wider:
    // it sticks out on both sides, where the offscreen platform puts it a frame margin off the
    // rule, so the rule is checked on each axis the window fits.
    if (frame.width() <= screen.width())
        QCOMPARE(frame.left(), screen.left() + left);
    else
        QVERIFY(qAbs(frame.left() - (screen.left() + left)) <= 2);
    if (frame.height() <= screen.height())
        QCOMPARE(frame.top(), screen.top() + top);

    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmPrint::existing());
    QVERIFY(frmMenu::existing());
    QVERIFY(frmMenu::existing()->isVisible());
    QCOMPARE(m_svc.process->terminations, QList<int>());
}

QTEST_MAIN(tst_frmPrint)
#include "tst_frmPrint.moc"
