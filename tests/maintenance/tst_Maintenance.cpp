// Backup and restore, the automatic copies, and the maintenance windows (backup, settings).
#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"

#include "app/frmMenu.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "maintenance/Backup.h"
#include "maintenance/frmBackup.h"
#include "maintenance/frmSystem.h"
#include "store/Currency.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "store/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sqlite3.h>
#ifndef Q_OS_WIN
#include <sys/file.h>
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DataFileStatus)

namespace {

// Two suppliers, purchase and sales lines, a class and a few settings.
bool addSampleData() {
    const QString note = QStringLiteral("備考 'quoted' 100%");
    return addSupplier(
               {.masterID = 1, .shortName = QStringLiteral("山田商店"), .supplyRatio = 80}) &&
           addSupplier({.masterID = 2, .shortName = QStringLiteral("鈴木物産")}) &&
           addLine({.masterID = 1,
                    .date = QDate(2024, 1, 5),
                    .item = QStringLiteral("りんご"),
                    .cost = 12000,
                    .note = note}) > 0 &&
           addLine({.kind = 2,
                    .masterID = 1,
                    .date = QDate(2024, 1, 7),
                    .item = QStringLiteral("りんご"),
                    .cost = 15000}) > 0 &&
           gdbData().executeSQL(QStringLiteral("INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort,"
                                               " blnEnable) VALUES (?, 1, 1)"),
                                {QStringLiteral("果物")}) &&
           gSetSystemLngField(8, 25) && gSetSystemStrField(10, QStringLiteral("仕入'")) &&
           gSetSystemCurField(32, Currency::fromRaw(82500));
}

// A supplier and a line that the sample does not have, to tell two states apart.
bool addMoreData() {
    return addSupplier({.masterID = 3, .shortName = QStringLiteral("後から追加")}) &&
           addLine({.masterID = 3,
                    .date = QDate(2024, 2, 1),
                    .item = QStringLiteral("ぶどう"),
                    .cost = 999}) > 0 &&
           gSetSystemLngField(8, 10);
}

// Every row of the suppliers, both ledgers, the class list and the settings other than the
// backup and restore times, as text, in a fixed order.
QStringList dumpData() {
    QStringList out;
    for (const char* table : {"T_MASTER", "T_DATA1", "T_DATA2", "T_DATA_CLASS1",
                              "T_SYSTEM WHERE lngID > 1 ORDER BY lngID"}) {
        ResultSet rs(gdbData());
        if (!rs.openRecordSet(QStringLiteral("SELECT * FROM ") + QLatin1String(table)))
            return {QStringLiteral("failed")};
        for (const QVariantList& row : rs.rows()) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << (v.metaType() == QMetaType::fromType<Currency>()
                              ? v.value<Currency>().toString()
                              : v.toString());
            out << cells.join(QLatin1Char('|'));
        }
    }
    return out;
}

// Whether T_SYSTEM row `row` (0 last backup, 1 last restore) holds the time.
bool systemTimeIs(int row, const QDateTime& time) {
    return dataRowCount(QStringLiteral("SELECT 1 FROM T_SYSTEM WHERE lngID = ? AND datField = ?"),
                        {row, time}) == 1;
}

int systemRowCount(int row) {
    return dataRowCount(QStringLiteral("SELECT 1 FROM T_SYSTEM WHERE lngID = ?"), {row});
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The five stored settings as "close day|order|purchase caption|sale caption|tax rate"; a
// setting without its row shows as "?".
QString storedSettings() {
    qint32 day = -1, order = -1;
    QString purchase = QStringLiteral("?"), sale = QStringLiteral("?");
    Currency rate = Currency::fromInt(-1);
    if (!gGetSystemLngField(8, day, -1) || !gGetSystemLngField(9, order, -1) ||
        !gGetSystemStrField(10, purchase, QStringLiteral("?")) ||
        !gGetSystemStrField(11, sale, QStringLiteral("?")) ||
        !gGetSystemCurField(32, rate, Currency::fromInt(-1)))
        return QStringLiteral("failed");
    return QStringList{QString::number(day), QString::number(order), purchase, sale,
                       rate.raw() >= 0 ? rate.toString() : QStringLiteral("?")}
        .join(QLatin1Char('|'));
}

template <typename T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

void click(const char* button) {
    QTest::mouseClick(child<QPushButton>(frmBackup::instance(), button), Qt::LeftButton);
}

frmSystem* openSystem() {
    frmSystem* w = frmSystem::instance();
    w->show();
    QApplication::setActiveWindow(w);
    return w;
}

// Closes the window by its title bar, Esc or its button 閉じる; true when it closed.
enum class By { TitleBar, Escape, Button };
bool closeSystem(By by = By::TitleBar) {
    frmSystem* w = frmSystem::instance();
    if (by == By::TitleBar)
        w->close();
    else if (by == By::Escape)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else if (auto* button = w->findChild<QPushButton*>(QStringLiteral("cmdClose")))
        QTest::mouseClick(button, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !frmSystem::existing();
}

// What a setting's control offers and shows, as "lowest..highest shown": a list's first and last
// entry and the chosen one, a spin box's range and value, an entry box's longest text and its
// text, a group of option buttons' first and last index and the checked one.
QString offered(QWidget* control) {
    if (auto* c = qobject_cast<QComboBox*>(control))
        return QStringLiteral("%1..%2 %3")
            .arg(c->itemData(0).toString(), c->itemData(c->count() - 1).toString(),
                 c->currentData().toString());
    if (auto* s = qobject_cast<QSpinBox*>(control))
        return QStringLiteral("%1..%2 %3").arg(s->minimum()).arg(s->maximum()).arg(s->value());
    if (auto* e = qobject_cast<QLineEdit*>(control))
        return QStringLiteral("..%1 %2").arg(e->maxLength()).arg(e->text());
    const QList<QRadioButton*> options = control->findChildren<QRadioButton*>();
    int checked = -1;
    for (int i = 0; i < options.size(); ++i)
        if (options.at(i)->isChecked())
            checked = i;
    return QStringLiteral("0..%1 %2").arg(options.size() - 1).arg(checked);
}

} // namespace

class tst_Maintenance : public DataFileTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void badFileIsRefusedForRestore_data();
    void badFileIsRefusedForRestore();
    void backupSpace_data();
    void backupSpace();
    void backupThenRestoreAndBack();
    void backupOfDamagedDataFileIsRefused();
    void restoreOfVersion1BackupMigratesIt();
    void autoBackupsKeepTheNewestVerifiedCopies();
    void partialCopiesGoOthersStay_data();
    void partialCopiesGoOthersStay();
    void autoBackupBesideAnotherWriteAheadLogLeavesOnlyTheCopy();
    void backupOnAFullDiskLeavesNoFile();
    void cancelledDialogsAndRefusalsChangeNothing();
    void settingsAreStoredAndShownAgain();
    void windowShowsEachSettingsRow_data();
    void windowShowsEachSettingsRow();
    void refusedTaxRateKeepsTheWindowOpen_data();
    void refusedTaxRateKeepsTheWindowOpen();
    void taxRateTableIsShownAndExtended();
    void taxRateRowsAreAskedForAndCorrected_data();
    void taxRateRowsAreAskedForAndCorrected();
    void taxRateRowChangedElsewhereIsNotOverwritten();

private:
    std::unique_ptr<QTemporaryDir> m_backups;
};

void tst_Maintenance::init() {
    DataFileTest::init();
    m_backups = std::make_unique<QTemporaryDir>();
}

void tst_Maintenance::cleanup() {
    // Closing a window shows the menu again; the menu is then removed without ending the
    // program.
    if (frmBackup* w = frmBackup::existing())
        w->close();
    if (frmSystem* w = frmSystem::existing())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete frmMenu::existing();
    gSetFreeSpaceLookup({});
    m_backups.reset();
    DataFileTest::cleanup();
}

// Backup through the window, later work, then the backup brought back after a question that
// names the file, its time and where the current data goes ("いいえ" changes nothing); the
// replaced data stays beside the data file and can be brought back in turn.
void tst_Maintenance::backupThenRestoreAndBack() {
    QVERIFY(addSampleData());
    const QStringList saved = dumpData();
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 2), QTime(10, 15, 37));
    frmBackup::instance()->show();
    m_svc.dialogs->folders << m_backups->path();
    click("cmdBackup");
    const QString name = QStringLiteral("2024年01月02日 火曜日 10時15分.tvk");
    const QString written = m_backups->filePath(name);
    QCOMPARE(filesIn(m_backups->path()), QStringList{name});
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{QDir::toNativeSeparators(written) +
                              QStringLiteral("\r\nに保存します。\r\nＯＫを押すと処理を始めます。"),
                          QStringLiteral("バックアップを正常に終了しました。")}));
    QVERIFY(systemTimeIs(0, m_svc.clock->fixed));
    const QByteArray backupBytes = readBytes(written);

    QVERIFY(addMoreData());
    const QStringList latest = dumpData();
    m_svc.prompt->shown.clear();
    m_svc.dialogs->files << written << written;
    m_svc.prompt->answers << MsgResult::No;
    QVERIFY(!child<QPushButton>(frmBackup::instance(), "cmdRestoreBefore")->isEnabled());
    click("cmdRestore");
    // The file dialog starts in the folder of the last backup and offers the data a restore
    // replaced as well.
    QCOMPARE(m_svc.dialogs->openFrom.value(0),
             m_backups->path() +
                 QStringLiteral("|tovakiバックアップファイル・復元前のデータ (*.tvk "
                                "*.before-restore);;tovakiバックアップファイル(*.TVK) (*.tvk);;"
                                "復元前のデータ (*.before-restore)"));
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    const QString question = m_svc.prompt->texts().at(0);
    QVERIFY2(question.contains(QDir::toNativeSeparators(written)) &&
                 question.contains(QStringLiteral("2024/01/02 10:15")) &&
                 question.contains(QStringLiteral("db1.before-restore")),
             qPrintable(question));
    QCOMPARE(dumpData(), latest);
    m_svc.prompt->shown.clear();
    m_svc.prompt->answers << MsgResult::Yes;
    m_svc.clock->fixed = QDateTime(QDate(2024, 1, 3), QTime(8, 0, 5));
    click("cmdRestore");
    QCOMPARE(m_svc.prompt->texts().value(1), QStringLiteral("復元を正常に終了しました。"));
    QCOMPARE(dumpData(), saved);
    QVERIFY(systemTimeIs(1, m_svc.clock->fixed));
    QCOMPARE(readBytes(written), backupBytes);
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".restoring")));
    QVERIFY(m_svc.process->terminations.isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);

    // The replaced data is offered by its own button.
    m_svc.prompt->shown.clear();
    m_svc.prompt->answers << MsgResult::Yes;
    click("cmdRestoreBefore");
    QVERIFY2(m_svc.prompt->texts().value(0).contains(QStringLiteral("db1.before-restore")),
             qPrintable(m_svc.prompt->texts().join(u'|')));
    QCOMPARE(m_svc.prompt->texts().value(1), QStringLiteral("復元を正常に終了しました。"));
    QCOMPARE(dumpData(), latest);
}

void tst_Maintenance::cancelledDialogsAndRefusalsChangeNothing() {
    const QByteArray dataBytes = readBytes(m_folder->dbPath());
    frmBackup::instance()->show();
    m_svc.dialogs->folders << QString();
    click("cmdBackup");
    m_svc.dialogs->files << QString();
    click("cmdRestore");
    QCOMPARE(m_svc.dialogs->captions.size(), 2);
    QVERIFY(m_svc.prompt->shown.isEmpty());
    // Not even compacted: the data file is byte for byte as it was.
    QCOMPARE(readBytes(m_folder->dbPath()), dataBytes);

    // The backup notice names the folder and can be cancelled: nothing is written.
    m_svc.dialogs->folders << m_backups->path();
    m_svc.prompt->answers << MsgResult::Cancel;
    click("cmdBackup");
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    QVERIFY(m_svc.prompt->texts().at(0).startsWith(QDir::toNativeSeparators(m_backups->path())));
    QVERIFY(QDir(m_backups->path()).isEmpty(QDir::Files | QDir::Hidden));
    m_svc.prompt->shown.clear();

    // One byte short of the data file's size.
    const double needed = static_cast<double>(QFileInfo(m_folder->dbPath()).size());
    gSetFreeSpaceLookup([&](const QString&, double& bytes) {
        bytes = needed - 1;
        return true;
    });
    m_svc.dialogs->folders << m_backups->path();
    click("cmdBackup");
    QVERIFY(m_svc.prompt->texts().value(0).startsWith(
        QStringLiteral("　バックアップ先の保存容量が足りないか　\r\n")));

    // A file that is no backup.
    m_svc.prompt->shown.clear();
    const QString file = m_backups->filePath(QStringLiteral("偽物.tvk"));
    QVERIFY(writeBytes(file, "これはバックアップではありません\r\n"));
    m_svc.dialogs->files << file;
    click("cmdRestore");
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    QVERIFY(
        m_svc.prompt->texts().at(0).contains(QStringLiteral("バックアップデータではありません")));
    QCOMPARE(m_svc.prompt->shown.first().style, MsgStyle::Exclamation);

    QCOMPARE(filesIn(m_backups->path()), QStringList{QStringLiteral("偽物.tvk")});
    QCOMPARE(systemRowCount(0) + systemRowCount(1), 0);
    QVERIFY(frmBackup::instance()->isVisible());
}

// An older data file has no ledger words: the window shows the words every other window uses,
// and closing it (Esc, 閉じる or the title bar alike) stores them; a cleared word is refused;
// edited settings are stored and shown again. The window, with a title bar of 32 pixels, fits
// a 1366 × 768 screen above a task bar of 48.
void tst_Maintenance::settingsAreStoredAndShownAgain() {
    QVERIFY(gdbData().executeSQL(QStringLiteral("DELETE FROM T_SYSTEM WHERE lngID IN (10, 11)")));
    frmSystem* w = openSystem();
    QVERIFY(w->sizeHint().width() <= 1366 && w->sizeHint().height() + 32 <= 768 - 48);
    QCOMPARE(child<QLineEdit>(w, "txtPurchaseCaption")->text(), QStringLiteral("仕入"));
    auto* day = child<QComboBox>(w, "cboCloseDay");
    QCOMPARE(day->currentText(), QStringLiteral("20"));
    QCOMPARE(day->count(), 31);
    QCOMPARE(day->itemText(0), QStringLiteral(" 1"));
    QVERIFY(child<QRadioButton>(w, "optMasterSortOrder_0")->isChecked());
    // No estimate rate was ever stored: the box stays empty and the rate table decides.
    QCOMPARE(child<QLineEdit>(w, "txtTaxRate")->text(), QString());
    QVERIFY(closeSystem(By::Escape));
    for (int id : {8, 9, 10, 11, 50, 51})
        QCOMPARE(systemRowCount(id), 1);
    QCOMPARE(systemRowCount(32), 0);
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|?"));
    w = openSystem();
    child<QLineEdit>(w, "txtSaleCaption")->clear();
    QVERIFY(!closeSystem(By::Button));
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "txtSaleCaption"));
    QVERIFY(m_svc.prompt->texts().value(0).startsWith(QStringLiteral("帳簿の名前")));
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|?"));
    m_svc.prompt->shown.clear();

    child<QComboBox>(w, "cboCloseDay")->setCurrentIndex(30); // 31, the month's end
    QTest::mouseClick(child<QRadioButton>(w, "optMasterSortOrder_1"), Qt::LeftButton);
    child<QLineEdit>(w, "txtPurchaseCaption")->clear();
    typeText(child<QLineEdit>(w, "txtPurchaseCaption"), QStringLiteral("買入れ帳"));
    typeText(child<QLineEdit>(w, "txtSaleCaption"), QStringLiteral("販'売"));
    auto* rate = child<QLineEdit>(w, "txtTaxRate");
    rate->selectAll();
    typeText(rate, QStringLiteral("8"));
    auto* backups = child<QSpinBox>(w, "spnAutoBackup");
    QCOMPARE(backups->value(), 10);
    backups->setValue(0);
    typeText(child<QLineEdit>(w, "txtShopName"), QStringLiteral("山田商店"));
    child<QComboBox>(w, "cboTaxEntry")->setCurrentIndex(1);
    QVERIFY(closeSystem(By::Button));
    QVERIFY(m_svc.prompt->shown.isEmpty());
    qint32 kept = -1;
    QVERIFY(gGetSystemLngField(51, kept, -1));
    QCOMPARE(kept, 0);
    // The tax summary reads them: tst_TaxSummary.
    QString shop;
    QVERIFY(gGetSystemStrField(67, shop, QString()) && gGetSystemLngField(68, kept, -1));
    QCOMPARE(shop + QString::number(kept), QStringLiteral("山田商店1"));
    // The purchase caption keeps three characters at most.
    QCOMPARE(storedSettings(), QStringLiteral("31|1|買入れ|販'売|8"));

    w = openSystem();
    QCOMPARE(child<QComboBox>(w, "cboCloseDay")->currentText(), QStringLiteral("31"));
    QCOMPARE(child<QLineEdit>(w, "txtTaxRate")->text(), QStringLiteral("8.0"));
}

// Each setting of the window as it is offered and captioned, with the default a store without
// its row shows.
void tst_Maintenance::windowShowsEachSettingsRow_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("captionOf");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char* name, const char* control, const char* offered,
                        const char* captionOf, const char* caption) {
        QTest::newRow(name) << QString::fromUtf8(control) << QString::fromUtf8(offered)
                            << QString::fromUtf8(captionOf) << QString::fromUtf8(caption);
    };
    row("8 close day", "cboCloseDay", "1..31 20", "Label6", "当社締日　 毎月");
    row("9 supplier order", "frmSupplierSort", "0..1 0", "frmSupplierSort", " 仕入先の並び順");
    row("10 purchase word", "txtPurchaseCaption", "..3 仕入", "lblPurchase", "仕入 →");
    row("11 sales word", "txtSaleCaption", "..3 売上", "lblSales", "売上 →");
    row("32 tax rate", "txtTaxRate", "..4 ", "lblTaxRate", "消費税率");
    row("50 tax class", "cboTaxClass", "1..3 1", "lblTaxClass", "軽減税率の区分");
    row("51 automatic backups", "spnAutoBackup", "0..99 10", "fraAutoBackup", " 自動バックアップ");
    row("67 shop name", "txtShopName", "..30 ", "lblShopName", "店名");
    row("68 tax entry", "cboTaxEntry", "0..1 0", "lblTaxEntry", "金額の入力");
}

void tst_Maintenance::windowShowsEachSettingsRow() {
    QFETCH(QString, control);
    QFETCH(QString, offered);
    QFETCH(QString, captionOf);
    QFETCH(QString, caption);
    QVERIFY(gdbData().executeSQL(QStringLiteral("DELETE FROM T_SYSTEM")));
    frmSystem* w = openSystem();
    auto* c = w->findChild<QWidget*>(control);
    QVERIFY(c);
    QCOMPARE(::offered(c), offered);
    QWidget* label = w->findChild<QWidget*>(captionOf);
    auto* group = qobject_cast<QGroupBox*>(label);
    auto* text = qobject_cast<QLabel*>(label);
    QCOMPARE(group ? group->title() : text ? text->text() : QString(), caption);
}

void tst_Maintenance::refusedTaxRateKeepsTheWindowOpen_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString notNumber = QStringLiteral("消費税率 に数値を入力してください。");
    const QString range = QStringLiteral("消費税率は 0 ～ 100 % の範囲で入力してください");
    QTest::newRow("two points") << QStringLiteral("1.2.") << notNumber;
    QTest::newRow("past 100") << QStringLiteral("101") << range;
    QTest::newRow("below 0") << QStringLiteral("-0.1") << range;
}

void tst_Maintenance::refusedTaxRateKeepsTheWindowOpen() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    auto* rate = child<QLineEdit>(openSystem(), "txtTaxRate");
    rate->clear();
    typeText(rate, typed);
    QVERIFY(!closeSystem() && frmSystem::instance()->isVisible());
    QCOMPARE(m_svc.prompt->texts(), QStringList{message});
    QCOMPARE(QApplication::focusWidget(), rate);
    QCOMPARE(storedSettings(), QStringLiteral("-1|-1|仕入|売上|?")); // nothing was saved
    rate->clear();
    typeText(rate, QStringLiteral("100"));
    QVERIFY(closeSystem());
    QCOMPARE(storedSettings(), QStringLiteral("20|0|仕入|売上|100"));
}

// The shipped rates are listed; a row with a date already there or a rate beyond 0-100 is
// refused with its reason, a new one is stored at once (an empty reduced rate is the standard
// rate). The tax class is stored as setting 50.
void tst_Maintenance::taxRateTableIsShownAndExtended() {
    frmSystem* w = openSystem();
    auto* grid = child<QTableWidget>(w, "grdTaxRate");
    const auto gridRow = [grid](int r) {
        return grid->item(r, 0)->text() + u'|' + grid->item(r, 1)->text() + u'|' +
               grid->item(r, 2)->text();
    };
    QCOMPARE(grid->rowCount(), 4);
    QCOMPARE(gridRow(0) + u' ' + gridRow(3),
             QStringLiteral("1989/04/01|3.0|3.0 2019/10/01|10.0|8.0"));
    const auto add = [this, w](const QString& from, const QString& standard) {
        child<QLineEdit>(w, "txtRateFrom")->setText(from);
        child<QLineEdit>(w, "txtRateStandard")->setText(standard);
        m_svc.prompt->answers.enqueue(MsgResult::Yes);
        QTest::mouseClick(child<QPushButton>(w, "cmdAddTaxRate"), Qt::LeftButton);
    };
    add(QStringLiteral("2019/10/01"), QStringLiteral("12"));
    add(QStringLiteral("2031-04-01"), QStringLiteral("100.5"));
    QCOMPARE(m_svc.prompt->texts(),
             (QStringList{QStringLiteral("この適用日の税率はすでに登録されています。"),
                          QStringLiteral("税率は０％～１００％の範囲で入力してください。")}));
    QCOMPARE(dataRowCount(QStringLiteral("SELECT * FROM T_TAX_RATE")), 4);
    add(QStringLiteral("2031-04-01"), QStringLiteral("12"));
    QCOMPARE(m_svc.prompt->shown.size(), 3); // the question
    QCOMPARE(dataRowCount(QStringLiteral("SELECT * FROM T_TAX_RATE WHERE datFrom='2031-04-01'"
                                         " AND curStandard=120000 AND curReduced=120000")),
             1);
    QCOMPARE(gridRow(4), QStringLiteral("2031/04/01|12.0|12.0"));
    auto* taxClass = child<QComboBox>(w, "cboTaxClass");
    QCOMPARE(taxClass->currentText(), QStringLiteral("区分1"));
    taxClass->setCurrentIndex(1);
    QVERIFY(closeSystem());
    qint32 stored = 0;
    QVERIFY(gGetSystemLngField(50, stored, 0));
    QCOMPARE(stored, 2);
}

void tst_Maintenance::taxRateRowsAreAskedForAndCorrected_data() {
    QTest::addColumn<QString>("action"); // add (Enter in the reduced box), change, delete
    QTest::addColumn<QString>("boxes");  // from|standard|reduced typed before the action
    QTest::addColumn<QDate>("lineDate"); // a ledger line's date (none when invalid)
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("last");     // the last row of the table afterwards
    QTest::addColumn<QString>("recorded"); // the history entries written: actions
    const QString row = u"\r\n適用日 2030/04/01、標準税率 12.0%、軽減税率 10.0%\r\n"_s;
    const QString added = u"税率表に\r\n適用日 2031/04/01、標準税率 12.0%、軽減税率 10.0%\r\n"
                          "の行を追加します。よろしいですか？"_s;
    QTest::newRow("add, yes") << u"add"_s << u"2031/04/01|12|10"_s << QDate() << MsgResult::Yes
                              << added << u"2031/04/01|12.0|10.0"_s << u"I"_s;
    QTest::newRow("add, no") << u"add"_s << u"2031/04/01|12|10"_s << QDate() << MsgResult::No
                             << added << u"2030/04/01|12.0|10.0"_s << QString();
    QTest::newRow("delete, a line the day before")
        << u"delete"_s << QString() << QDate(2030, 3, 31) << MsgResult::Yes
        << u"税率表の行"_s + row + u"を削除します。よろしいですか？"_s << u"2019/10/01|10.0|8.0"_s
        << u"D"_s;
    QTest::newRow("delete, a line on its date")
        << u"delete"_s << QString() << QDate(2030, 4, 1) << MsgResult::Yes
        << u"2030/04/01 からの税率を使う伝票があるため、削除できません。"_s
        << u"2030/04/01|12.0|10.0"_s << QString();
    QTest::newRow("change the rates")
        << u"change"_s << u"2030/04/01|11|10"_s << QDate(2030, 3, 31) << MsgResult::Yes
        << u"税率表の行"_s + row +
               u"を\r\n適用日 2030/04/01、標準税率 11.0%、軽減税率 10.0%\r\nに修正します。"
               "よろしいですか？"_s
        << u"2030/04/01|11.0|10.0"_s << u"U"_s;
    QTest::newRow("change the date over a line")
        << u"change"_s << u"2030/03/31|12|10"_s << QDate(2030, 3, 31) << MsgResult::Yes
        << u"修正すると、2030/03/31 からの税率を使うことになる伝票があるため、修正できません。"_s
        << u"2030/04/01|12.0|10.0"_s << QString();
}

// A new row is asked for (Enter in the reduced box adds it); the chosen row, while no ledger
// line takes its rate, is corrected or deleted after a question; each change is one history
// entry.
void tst_Maintenance::taxRateRowsAreAskedForAndCorrected() {
    QFETCH(QString, action);
    QFETCH(QString, boxes);
    QFETCH(QDate, lineDate);
    QFETCH(int, answer);
    QFETCH(QString, told);
    QFETCH(QString, last);
    QFETCH(QString, recorded);
    QVERIFY(
        gdbData().executeSQL(u"INSERT INTO T_TAX_RATE VALUES ('2030-04-01', 120000, 100000)"_s));
    QVERIFY(addSupplier({}));
    if (lineDate.isValid())
        QVERIFY(addLine({.kind = 2, .date = lineDate, .item = u"品"_s, .cost = 100}) > 0);
    frmSystem* w = openSystem();
    auto* grid = child<QTableWidget>(w, "grdTaxRate");
    auto* change = child<QPushButton>(w, "cmdChangeTaxRate");
    QVERIFY(!change->isEnabled());
    const QVariantList lastEntry = dataRow(u"SELECT coalesce(max(lngID), 0) FROM T_HISTORY"_s);
    if (action != u"add"_s) {
        grid->setCurrentCell(4, 0);
        QVERIFY(change->isEnabled());
        QCOMPARE(child<QLineEdit>(w, "txtRateFrom")->text(), u"2030/04/01"_s);
    }
    const QStringList typed = boxes.split(u'|');
    for (int i = 0; i < 3 && !boxes.isEmpty(); ++i)
        child<QLineEdit>(w, std::array{"txtRateFrom", "txtRateStandard", "txtRateReduced"}[i])
            ->setText(typed.at(i));
    m_svc.prompt->answers.enqueue(answer);
    if (action == u"add"_s)
        QTest::keyClick(child<QLineEdit>(w, "txtRateReduced"), Qt::Key_Return);
    else
        QTest::mouseClick(
            child<QPushButton>(w, action == u"change"_s ? "cmdChangeTaxRate" : "cmdDeleteTaxRate"),
            Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{told});
    const int rows = grid->rowCount();
    QCOMPARE(grid->item(rows - 1, 0)->text() + u'|' + grid->item(rows - 1, 1)->text() + u'|' +
                 grid->item(rows - 1, 2)->text(),
             last);
    QCOMPARE(dataRow(u"SELECT coalesce(group_concat(strAction), '') FROM T_HISTORY WHERE "
                     "lngID > ? AND strTable = 'T_TAX_RATE'"_s,
                     lastEntry),
             QVariantList{recorded});
}

// A row another program (here another tool) changed after the window showed it is not
// overwritten: the user is told and the table shows the stored row.
void tst_Maintenance::taxRateRowChangedElsewhereIsNotOverwritten() {
    QVERIFY(
        gdbData().executeSQL(u"INSERT INTO T_TAX_RATE VALUES ('2030-04-01', 120000, 100000)"_s));
    frmSystem* w = openSystem();
    auto* grid = child<QTableWidget>(w, "grdTaxRate");
    grid->setCurrentCell(4, 0);
    child<QLineEdit>(w, "txtRateStandard")->setText(u"11"_s);
    QVERIFY(gdbData().executeSQL(u"UPDATE T_TAX_RATE SET curStandard = 130000 WHERE datFrom = "
                                 "'2030-04-01'"_s));
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    QTest::mouseClick(child<QPushButton>(w, "cmdChangeTaxRate"), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 2);
    QCOMPARE(m_svc.prompt->texts().at(1),
             u"この行はほかのパソコンで変更されたため、保存しませんでした。\r\n"
             "最新の内容を表示しました。必要ならもう一度入力してください。"_s);
    QCOMPARE(dataRow(u"SELECT curStandard FROM T_TAX_RATE WHERE datFrom = '2030-04-01'"_s),
             QVariantList{QVariant::fromValue(Currency::fromInt(13))});
    QCOMPARE(grid->item(4, 1)->text(), u"13.0"_s);
}

void tst_Maintenance::badFileIsRefusedForRestore_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<DataFileStatus>("status");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* kind, DataFileStatus s, const char* why) {
        QTest::newRow(name) << QString::fromUtf8(kind) << s << QString::fromUtf8(why);
    };
    const char* notData = "本ソフトのデータではありません";
    row("missing", "missing", DataFileStatus::Unreadable, "見つからない");
    row("text", "text", DataFileStatus::NotDatabase, "バックアップデータではありません");
    row("overwritten page", "overwritten", DataFileStatus::Damaged, "壊れている");
    row("newer version", "PRAGMA user_version = 99", DataFileStatus::NewerVersion,
        "新しいバージョン");
    const DataFileStatus other = DataFileStatus::NotDataFile;
    row("message catalogue", "msg", other, notData);
    // The whole schema of the file's version: each kind of part missing, named.
    const DataFileStatus part = DataFileStatus::Incomplete;
    // Named once: not with the indexes that go with it.
    row("without a table", "DROP TABLE T_HISTORY", part, "足りないもの：テーブル T_HISTORY\r\n");
    row("without a column", "ALTER TABLE T_DATA_CLASS2 DROP COLUMN blnReduced", part,
        "列 T_DATA_CLASS2.blnReduced");
    row("without a view", "DROP VIEW Q_DATA_CLASS3", part, "ビュー Q_DATA_CLASS3");
    row("without an index", "DROP INDEX IX_DATA1_DATE", part, "索引 IX_DATA1_DATE");
    row("without a trigger", "DROP TRIGGER T_DATA2_HISTORY_DELETE", part,
        "トリガー T_DATA2_HISTORY_DELETE");
    // A version-1 file is held to the version-1 schema, and may not hold version 2's parts.
    row("version 1 without an index", "1:DROP INDEX IX_SYSTEM_ID", part, "索引 IX_SYSTEM_ID");
    row("version 1 with a version 2 column", "1:ALTER TABLE T_MASTER ADD COLUMN strInvoiceNo TEXT",
        DataFileStatus::VersionMismatch, "バージョン1にはないもの：列 T_MASTER.strInvoiceNo");
}

void tst_Maintenance::badFileIsRefusedForRestore() {
    QFETCH(QString, kind);
    QFETCH(DataFileStatus, status);
    QFETCH(QString, reason);
    QVERIFY(addSampleData());
    const QString saved = dumpData().join(QLatin1Char('\n'));
    const QByteArray dataBytes = readBytes(m_folder->dbPath());
    QString file = m_backups->filePath(QStringLiteral("b.tvk"));
    if (kind == QLatin1String("text")) {
        QVERIFY(writeBytes(file, QByteArrayLiteral("仕入先,金額\r\n山田商店,1200\r\n")));
    } else if (kind == QLatin1String("overwritten")) {
        QByteArray b = dataBytes;
        const int pageSize = (quint8(b.at(16)) << 8) | quint8(b.at(17));
        b.replace(pageSize, pageSize, QByteArray(pageSize, '\xa5'));
        QVERIFY(writeBytes(file, b));
    } else if (kind == QLatin1String("msg")) {
        file = m_folder->path() + QStringLiteral("/sys/msg");
    } else if (kind.startsWith(QLatin1String("1:"))) {
        QVERIFY(makeVersion1File(file));
        QVERIFY(runSqlite(file, kind.mid(2).toUtf8().constData()));
    } else if (kind != QLatin1String("missing")) {
        QVERIFY(QFile::copy(m_folder->dbPath(), file));
        QVERIFY(runSqlite(file, kind.toUtf8().constData()));
    }
    const QByteArray before = readBytes(file);
    QCOMPARE(gChkDataFile(file), status);
    QCOMPARE(readBytes(file), before); // the check only reads

    QString refusal;
    QVERIFY(!gProcDataRestore(gdbData(), file, &refusal));
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
    QVERIFY(refusal.contains(QStringLiteral("現在のデータは変更していません。")));
    QVERIFY(gdbData().isOpen());
    QCOMPARE(dumpData().join(QLatin1Char('\n')), saved);
    QCOMPARE(readBytes(m_folder->dbPath()), dataBytes);
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + QStringLiteral(".before-restore")));
    // A wrong choice is the user's, not a fault of the program.
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Maintenance::backupSpace_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("freeMinusNeeded");
    QTest::addColumn<bool>("lookupWorks");
    QTest::addColumn<bool>("expected");
    QTest::newRow("exactly equal") << QStringLiteral("/media/usb") << 0 << true << true;
    QTest::newRow("lookup fails") << QStringLiteral("/media/usb") << 100 << false << false;
    QTest::newRow("network path, not asked")
        << QStringLiteral("\\\\server\\share") << -1 << false << true;
}

void tst_Maintenance::backupSpace() {
    QFETCH(QString, folder);
    QFETCH(int, freeMinusNeeded);
    QFETCH(bool, lookupWorks);
    QFETCH(bool, expected);
    const double needed = static_cast<double>(QFileInfo(svc().paths().db).size());
    gSetFreeSpaceLookup([&](const QString&, double& bytes) {
        bytes = needed + freeMinusNeeded;
        return lookupWorks;
    });
    QCOMPARE(gChkBackupSpace(folder), expected);
}

// A copy of a damaged file would only fail later, at restore: it is refused before it is made,
// and the damaged file stays as it is.
void tst_Maintenance::backupOfDamagedDataFileIsRefused() {
    DbClose();
    QVERIFY(m_folder->damageDataFile());
    QVERIFY(DbInit(m_folder->dbPath(), false));
    const QByteArray before = readBytes(m_folder->dbPath());

    QString refusal;
    QVERIFY(!gProcDataBackup(gdbData(), m_backups->path(), nullptr, &refusal));
    QVERIFY(refusal.contains(QStringLiteral("壊れている")));
    QVERIFY(gDataFileDamaged());
    QVERIFY(QDir(m_backups->path()).isEmpty());
    QVERIFY(gdbData().isOpen());
    DbClose();
    QVERIFY(readBytes(m_folder->dbPath()) == before);
}

// A backup made by a program of schema version 1 comes back migrated, with its rows.
void tst_Maintenance::restoreOfVersion1BackupMigratesIt() {
    const QString old = m_backups->filePath(QStringLiteral("old.tvk"));
    QVERIFY(makeVersion1File(old));
    QVERIFY(runSqlite(old, "INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid) "
                           "VALUES (3, 3, 1);"
                           "INSERT INTO T_DATA2 (lngMasterID, strItem) VALUES (3, 'old');"));
    QVERIFY(gProcDataRestore(gdbData(), old));
    QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
    QCOMPARE(dataRowCount(QStringLiteral("SELECT * FROM T_DATA2 WHERE strItem = 'old'")), 1);
    QCOMPARE(dataRowCount(QStringLiteral("SELECT * FROM T_HISTORY_ORIGIN")), 1);
    // The chosen backup itself stays as it was.
    Database kept;
    QVERIFY(kept.open(old, {}, true));
    QCOMPARE(kept.schemaVersion(), 1);
}

// Each shutdown copy is checked before it takes its name; the newest `keep` stay, and what an
// interrupted run left is never listed and goes. The window lists them newest first with their
// time and contents, and the chosen one is brought back.
void tst_Maintenance::autoBackupsKeepTheNewestVerifiedCopies() {
    QVERIFY(addSampleData());
    const QStringList saved = dumpData();
    DbClose();
    // The last manual backup, kept in the data file: not the time of an automatic copy.
    QVERIFY(runSqlite(m_folder->dbPath(), "INSERT INTO T_SYSTEM (lngID, datField) "
                                          "VALUES (0, '2024-01-15 09:00:00')"));
    const QString folder = gDataBackupFolder(m_folder->dbPath());
    QVERIFY(QDir().mkpath(folder));
    const QString leftover = folder + QStringLiteral("/db1.auto-20240101-000000.checking");
    QVERIFY(writeBytes(leftover, QByteArrayLiteral("cut off")));
    QStringList expected;
    for (int day = 1; day <= 4; ++day) {
        m_svc.clock->fixed = QDateTime(QDate(2024, 2, day), QTime(18, 30, 0));
        QString written;
        QVERIFY(gWriteAutoBackup(m_folder->dbPath(), 3, &written));
        expected.prepend(written);
    }
    QVERIFY(!QFileInfo::exists(leftover));
    expected = expected.mid(0, 3);
    QCOMPARE(gAutoBackupFiles(m_folder->dbPath()), expected);
    QCOMPARE(QFileInfo(expected.first()).fileName(), QStringLiteral("db1.auto-20240204-183000"));
    for (const QString& copy : expected)
        QVERIFY(gQuickCheckDataFile(copy));
    // Keep 0 writes nothing and removes nothing.
    QVERIFY(gWriteAutoBackup(m_folder->dbPath(), 0));
    QCOMPARE(gAutoBackupFiles(m_folder->dbPath()).size(), 3);

    QVERIFY(DbInit(m_folder->dbPath()));
    QVERIFY(addMoreData());
    frmBackup* w = frmBackup::instance();
    w->show();
    QTableWidget* list = w->lstAutoBackup;
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(list->item(0, 0)->text() + u' ' + list->item(2, 0)->text(),
             QStringLiteral("2024/02/04 18:30:00 2024/02/02 18:30:00"));
    QCOMPARE(list->item(2, 2)->text(), QStringLiteral("2")); // the suppliers in it
    list->selectRow(2);
    m_svc.prompt->answers << MsgResult::Yes;
    click("cmdRestoreAuto");
    const QString question = m_svc.prompt->texts().value(0);
    QVERIFY2(question.contains(QStringLiteral("db1.auto-20240202-183000")) &&
                 question.contains(QStringLiteral("バックアップ日時：2024/02/02 18:30")),
             qPrintable(question));
    QCOMPARE(m_svc.prompt->texts().value(1), QStringLiteral("復元を正常に終了しました。"));
    QCOMPARE(dumpData(), saved);
}

// What a copy cut off by a kill leaves goes: in the backup folder at the next start (under the
// data file's lock), in a backup's folder at the next backup there. Only the program's own names,
// and not a copy that another program is still writing.
void tst_Maintenance::partialCopiesGoOthersStay_data() {
    QTest::addColumn<bool>("chosen"); // the folder of a manual backup, else backups/
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("written"); // another process is writing it (locked)
    QTest::addColumn<bool>("removed");
    const QString manual = QStringLiteral("2024年01月02日 火曜日 10時15分");
    QTest::newRow("manual backup") << true << manual + u".tvk.part"_s << false << true;
    QTest::newRow("numbered manual backup") << true << manual + u"(2).tvk.part"_s << false << true;
    QTest::newRow("being written") << true << manual + u".tvk.part"_s << true << false;
    QTest::newRow("finished backup") << true << manual + u".tvk"_s << false << false;
    QTest::newRow("another program's") << true << u"report.tvk.part"_s << false << false;
    QTest::newRow("before migration") << false << u"db1.v1-20240101-000000.part"_s << false << true;
    QTest::newRow("automatic copy")
        << false << u"db1.auto-20240101-000000.checking.part"_s << false << true;
    QTest::newRow("automatic copy's log")
        << false << u"db1.auto-20240101-000000.checking-wal"_s << false << true;
    QTest::newRow("another data file's")
        << false << u"db2.auto-20240101-000000.checking"_s << false << false;
}

void tst_Maintenance::partialCopiesGoOthersStay() {
    QFETCH(bool, chosen);
    QFETCH(QString, name);
    QFETCH(bool, written);
    QFETCH(bool, removed);
    const QString folder = chosen ? m_backups->path() : gDataBackupFolder(m_folder->dbPath());
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + u'/' + name;
    QVERIFY(writeBytes(file, "cut off"));
    // A copy in progress: locked on POSIX; on Windows an open file cannot be removed anyway.
    QFile writer(file);
    if (written) {
        QVERIFY(writer.open(QIODevice::ReadOnly));
#ifndef Q_OS_WIN
        QCOMPARE(::flock(writer.handle(), LOCK_EX | LOCK_NB), 0);
#endif
    }
    if (chosen) {
        QString made;
        QVERIFY(gProcDataBackup(gdbData(), folder, &made));
        QVERIFY(QFileInfo::exists(made));
    } else {
        QCOMPARE(gLockDataFile(m_folder->dbPath()), DataLockResult::Locked); // as at start
        gRemoveDataFileLeftovers(m_folder->dbPath());
    }
    QCOMPARE(QFileInfo::exists(file), !removed);
}

// Another connection keeps the data file in the write-ahead log while the shutdown copies it:
// the copy, once checked, is the only file written.
void tst_Maintenance::autoBackupBesideAnotherWriteAheadLogLeavesOnlyTheCopy() {
    DbClose();
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(m_folder->dbPath()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "PRAGMA journal_mode=WAL; SELECT count(*) FROM T_MASTER", nullptr,
                          nullptr, nullptr),
             SQLITE_OK);
    QString written;
    const bool ok = gWriteAutoBackup(m_folder->dbPath(), 3, &written);
    sqlite3_close(other);
    QVERIFY(ok);
    QCOMPARE(filesIn(gDataBackupFolder(m_folder->dbPath())),
             QStringList{QFileInfo(written).fileName()});
}

// A disk that fills during the copy (a file-size limit below the data file's size): the backup
// fails, logs the system's cause and leaves no file.
void tst_Maintenance::backupOnAFullDiskLeavesNoFile() {
#ifdef Q_OS_WIN
    QSKIP("a file-size limit is a POSIX resource limit");
#else
    QVERIFY(gdbData().executeSQL(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                 "WHERE i < 1000) INSERT INTO T_DATA1 (lngMasterID, strNote) "
                                 "SELECT 1, printf('%.100c', 'x') FROM n"_s));
    m_folder->close(); // everything in the file itself: the limit meets only the copy
    QVERIFY(m_folder->open());
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{48 * 1024, saved.rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = gProcDataBackup(gdbData(), m_backups->path());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!written);
    QVERIFY(m_folder->errorLogProcedures().contains(u"gProcDataBackup"_s));
    QVERIFY2(m_folder->errorLog().contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
             qPrintable(m_folder->errorLog()));
    QCOMPARE(filesIn(m_backups->path()), QStringList());
#endif
}

QTEST_MAIN(tst_Maintenance)
#include "tst_Maintenance.moc"
