#include "ledger/HistoryView.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "ledger/Captions.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LineRules.h"
#include "store/Currency.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/Settings.h"

#include <QDate>
#include <QHash>

namespace {

// The supplier master's columns in words.
const QHash<QString, QString>& masterColumnNames() {
    static const QHash<QString, QString> names = {
        {QStringLiteral("lngMasterID"), QStringLiteral("管理番号")},
        {QStringLiteral("lngSupplier"), QStringLiteral("仕入先番号")},
        {QStringLiteral("blnValid"), QStringLiteral("有効")},
        {QStringLiteral("curRegularSupplyRatio"), QStringLiteral("仕入規定掛率")},
        {QStringLiteral("curRegularSaleRatio"), QStringLiteral("売上規定掛率")},
        {QStringLiteral("curStartSupplyCarry"), QStringLiteral("仕入開始時残高")},
        {QStringLiteral("curStartSaleCarry"), QStringLiteral("売上開始時残高")},
        {QStringLiteral("strSupplierName"), QStringLiteral("仕入先名")},
        {QStringLiteral("strPosition"), QStringLiteral("肩書")},
        {QStringLiteral("strSupplierShortName"), QStringLiteral("表示名")},
        {QStringLiteral("strKana"), QStringLiteral("フリガナ")},
        {QStringLiteral("lngChargePerson"), QStringLiteral("担当者の区分")},
        {QStringLiteral("strChargePerson1"), QStringLiteral("担当者1")},
        {QStringLiteral("strChargePersonNotes1"), QStringLiteral("担当者1の備考")},
        {QStringLiteral("strChargePerson2"), QStringLiteral("担当者2")},
        {QStringLiteral("strChargePersonNotes2"), QStringLiteral("担当者2の備考")},
        {QStringLiteral("strPostCode1"), QStringLiteral("郵便番号1")},
        {QStringLiteral("strAddress1"), QStringLiteral("住所1")},
        {QStringLiteral("strPostCode2"), QStringLiteral("郵便番号2")},
        {QStringLiteral("strAddress2"), QStringLiteral("住所2")},
        {QStringLiteral("strPhone1"), QStringLiteral("電話1")},
        {QStringLiteral("strPhone1Notes"), QStringLiteral("電話1の備考")},
        {QStringLiteral("strPhone2"), QStringLiteral("電話2")},
        {QStringLiteral("strPhone2Notes"), QStringLiteral("電話2の備考")},
        {QStringLiteral("strFax"), QStringLiteral("FAX")},
        {QStringLiteral("strFaxNotes"), QStringLiteral("FAXの備考")},
        {QStringLiteral("lngBankAccount"), QStringLiteral("口座の区分")},
        {QStringLiteral("strBankAccount1"), QStringLiteral("口座1")},
        {QStringLiteral("strBankAccount2"), QStringLiteral("口座2")},
        {QStringLiteral("strNotes"), QStringLiteral("備考")},
        {QStringLiteral("strInvoiceNo"), QStringLiteral("登録番号")},
        {QStringLiteral("datInvoiceFrom"), QStringLiteral("登録日")},
    };
    return names;
}

// A stored value of a ledger column as the grid shows it (dates in full).
QString ledgerValueText(int column, const QVariant& v) {
    if (v.isNull())
        return {};
    const LedgerKind kind =
        column >= 0 && column < LedgerCol::Count ? ledgerColumn(column).kind() : LedgerKind::Text;
    if (kind == LedgerKind::Date) {
        const QDate d = QDate::fromString(v.toString().left(10), QStringLiteral("yyyy-MM-dd"));
        return d.isValid() ? formatDate(d, QStringLiteral("yyyy/MM/dd")) : v.toString();
    }
    QVariant typed = v;
    if (kind == LedgerKind::Amount && v.typeId() == QMetaType::LongLong)
        typed = QVariant::fromValue(Currency::fromRaw(v.toLongLong()));
    LedgerLine line;
    if (!line.setValue(column, typed))
        return v.toString();
    return gLedgerCellText(line, column);
}

QString masterValueText(const QString& column, const QVariant& v) {
    if (v.isNull())
        return {};
    if (column.startsWith(QLatin1String("cur")) && v.typeId() == QMetaType::LongLong)
        return Currency::fromRaw(v.toLongLong()).toString();
    if (column.startsWith(QLatin1String("bln")))
        return v.toLongLong() != 0 ? QStringLiteral("はい") : QStringLiteral("いいえ");
    if (column.startsWith(QLatin1String("dat"))) {
        const QDate d = QDate::fromString(v.toString().left(10), QStringLiteral("yyyy-MM-dd"));
        if (d.isValid())
            return formatDate(d, QStringLiteral("yyyy/MM/dd"));
    }
    return v.toString();
}

QString actionText(const QString& action) {
    if (action == QLatin1String("I"))
        return QStringLiteral("追加");
    if (action == QLatin1String("D"))
        return QStringLiteral("削除");
    return QStringLiteral("変更");
}

} // namespace

const QStringList& gHistoryHeaders() {
    static const QStringList headers = {QStringLiteral("日時"),   QStringLiteral("帳簿"),
                                        QStringLiteral("仕入先"), QStringLiteral("日付"),
                                        QStringLiteral("品名"),   QStringLiteral("項目"),
                                        QStringLiteral("変更前"), QStringLiteral("変更後"),
                                        QStringLiteral("操作"),   QStringLiteral("方法")};
    return headers;
}

bool HistoryWords::load(Database& db) {
    const QString proc = QStringLiteral("HistoryWords_load");
    for (int kind = 1; kind <= 2; ++kind) {
        Ledger& w = m_ledgers[kind - 1];
        QString word;
        if (!gGetDataCaption(kind, word)) {
            gProcError(proc);
            return false;
        }
        w.book = word + QStringLiteral("帳");
        w.columns.clear();
        for (int c = LedgerCol::MasterID; c < LedgerCol::Count; ++c)
            w.columns.insert(ledgerFieldName(c), c);
        w.titles.clear();
        for (int c = LedgerCol::MasterID; c < LedgerCol::Count; ++c)
            if (const char16_t* word = ledgerColumn(c).historyWord)
                w.titles.insert(c, QString::fromUtf16(word));
        for (int number : gColumnCaptionNumbers()) {
            QString def;
            QString caption;
            if (!gGetColumnCaption(db, number, kind, def, caption)) {
                gProcError(proc);
                return false;
            }
            const int column = ledgerColumnOfCaption(number);
            if (column >= 0)
                w.titles.insert(column, caption);
        }
    }
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT lngMasterID, strSupplierShortName FROM T_MASTER"),
                          {}, proc))
        return false;
    m_names.clear();
    for (const QVariantList& r : rs.rows())
        m_names.insert(r.value(0).toLongLong(), r.value(1).toString());
    return true;
}

QString HistoryWords::cell(const HistoryChange& c, int column) const {
    const int kind = c.strTable == QLatin1String("T_DATA1")   ? 1
                     : c.strTable == QLatin1String("T_DATA2") ? 2
                                                              : 0;
    switch (column) {
    case HistoryCol::When:
        return formatDate(c.datChanged.date(), QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ') +
               c.datChanged.time().toString(QStringLiteral("HH:mm:ss"));
    case HistoryCol::Book:
        return kind != 0 ? m_ledgers[kind - 1].book : QStringLiteral("仕入先");
    case HistoryCol::Supplier:
        return m_names.value(c.lngMasterID);
    case HistoryCol::Date:
        return kind != 0 ? ledgerValueText(LedgerCol::Date, c.lineDate) : QString();
    case HistoryCol::Item:
        return kind != 0 ? c.lineItem.toString() : QString();
    case HistoryCol::Action:
        return actionText(c.strAction);
    case HistoryCol::Origin:
        return gHistoryOriginText(c.strOrigin);
    default:
        break;
    }
    if (kind == 0) {
        if (column == HistoryCol::Column)
            return masterColumnNames().value(c.column, c.column);
        return masterValueText(c.column, column == HistoryCol::Before ? c.before : c.after);
    }
    const Ledger& w = m_ledgers[kind - 1];
    const int field = w.columns.value(c.column, -1);
    if (column == HistoryCol::Column)
        return w.titles.value(field, c.column);
    const QVariant& v = column == HistoryCol::Before ? c.before : c.after;
    if (field == LedgerCol::MasterID)
        return v.isNull() ? QString() : m_names.value(v.toLongLong());
    return ledgerValueText(field, v);
}

bool gWriteHistoryCsv(const QString& path, const std::vector<HistoryChange>& changes,
                      const HistoryWords& words) {
    std::vector<QStringList> records{gHistoryHeaders()};
    records.reserve(changes.size() + 1);
    for (const HistoryChange& c : changes) {
        QStringList& cells = records.emplace_back();
        for (int column = 0; column < HistoryCol::Count; ++column)
            cells << words.cell(c, column);
    }
    QString error;
    if (!gWriteQuotedCsv(path, records, error)) {
        gSetLastError(0, QStringLiteral("file"), error);
        gProcError(QStringLiteral("gWriteHistoryCsv"), path);
        return false;
    }
    return true;
}
