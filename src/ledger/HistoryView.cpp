#include "ledger/HistoryView.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "ledger/Captions.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LineRules.h"
#include "master/SupplierRecords.h"
#include "store/Currency.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/Settings.h"

#include <QDate>
#include <QHash>

namespace {

// The supplier master's columns under the captions of the supplier window (the ratio and carry
// captions take the ledger words, HistoryWords::load).
const QHash<QString, QString>& masterColumnNames() {
    static const QHash<QString, QString> names = {
        {QStringLiteral("lngMasterID"), QStringLiteral("管理番号")},
        {QStringLiteral("lngSupplier"), QStringLiteral("仕入先番号")},
        {QStringLiteral("blnValid"), QStringLiteral("有効")},
        {QStringLiteral("strSupplierName"), QStringLiteral("社名")},
        {QStringLiteral("strPosition"), QStringLiteral("部署名等")},
        {QStringLiteral("strSupplierShortName"), QStringLiteral("表示社名")},
        {QStringLiteral("strKana"), QStringLiteral("ヨミガナ")},
        {QStringLiteral("lngChargePerson"), QStringLiteral("主な担当者")},
        {QStringLiteral("strChargePerson1"), QStringLiteral("担当者１")},
        {QStringLiteral("strChargePersonNotes1"), QStringLiteral("担当者１の備考")},
        {QStringLiteral("strChargePerson2"), QStringLiteral("担当者２")},
        {QStringLiteral("strChargePersonNotes2"), QStringLiteral("担当者２の備考")},
        {QStringLiteral("strPostCode1"), QStringLiteral("住所１〒")},
        {QStringLiteral("strAddress1"), QStringLiteral("住所１")},
        {QStringLiteral("strPostCode2"), QStringLiteral("住所２〒")},
        {QStringLiteral("strAddress2"), QStringLiteral("住所２")},
        {QStringLiteral("strPhone1"), QStringLiteral("電話１")},
        {QStringLiteral("strPhone1Notes"), QStringLiteral("電話１の備考")},
        {QStringLiteral("strPhone2"), QStringLiteral("電話２")},
        {QStringLiteral("strPhone2Notes"), QStringLiteral("電話２の備考")},
        {QStringLiteral("strFax"), QStringLiteral("ＦＡＸ")},
        {QStringLiteral("strFaxNotes"), QStringLiteral("ＦＡＸの備考")},
        {QStringLiteral("lngBankAccount"), QStringLiteral("主な振込先")},
        {QStringLiteral("strBankAccount1"), QStringLiteral("振込先１")},
        {QStringLiteral("strBankAccount2"), QStringLiteral("振込先２")},
        {QStringLiteral("strNotes"), QStringLiteral("メモ")},
        {QStringLiteral("strInvoiceNo"), QStringLiteral("登録番号")},
        {QStringLiteral("datInvoiceFrom"), QStringLiteral("登録日")},
    };
    return names;
}

// The consumption tax rate table's columns, as the システム window heads them.
const QHash<QString, QString>& taxRateColumnNames() {
    static const QHash<QString, QString> names = {
        {QStringLiteral("datFrom"), QStringLiteral("適用日")},
        {QStringLiteral("curStandard"), QStringLiteral("標準税率")},
        {QStringLiteral("curReduced"), QStringLiteral("軽減税率")},
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
    // The option button that marks the main contact or account.
    if (column == QLatin1String("lngChargePerson") || column == QLatin1String("lngBankAccount")) {
        const qint64 n = v.toLongLong();
        if (n != 1 && n != 2)
            return {};
        return (column == QLatin1String("lngChargePerson") ? QStringLiteral("担当者")
                                                           : QStringLiteral("振込先")) +
               QChar(u'０' + int(n));
    }
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
    static const QStringList headers = {
        QStringLiteral("日時"),   QStringLiteral("帳簿"),   QStringLiteral("仕入先"),
        QStringLiteral("日付"),   QStringLiteral("品名"),   QStringLiteral("項目"),
        QStringLiteral("変更前"), QStringLiteral("変更後"), QStringLiteral("操作"),
        QStringLiteral("方法"),   QStringLiteral("利用者"), QStringLiteral("パソコン")};
    return headers;
}

bool HistoryWords::load(Database& db) {
    const QString proc = QStringLiteral("HistoryWords_load");
    m_masterTitles = masterColumnNames();
    for (int kind = 1; kind <= 2; ++kind) {
        QString ratio;
        QString carry;
        if (!gGetMasterSideLabels(db, kind, ratio, carry)) {
            gProcError(proc);
            return false;
        }
        m_masterTitles.insert(kind == 1 ? QStringLiteral("curRegularSupplyRatio")
                                        : QStringLiteral("curRegularSaleRatio"),
                              ratio);
        m_masterTitles.insert(kind == 1 ? QStringLiteral("curStartSupplyCarry")
                                        : QStringLiteral("curStartSaleCarry"),
                              carry);
    }
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

bool HistoryWords::shows(const HistoryChange& c) const {
    if (c.import)
        return true;
    // A value on one side that no text could show the same as nothing needs no comparing.
    const auto plain = [](const QVariant& v) {
        if (v.isNull())
            return false;
        if (v.typeId() == QMetaType::QString)
            return !v.toString().isEmpty();
        return v.toLongLong() != 0 || v.toDouble() != 0;
    };
    if (!c.before.isNull() && !c.after.isNull())
        return true;
    // An added supplier's ratio or balance of 0 is the window's "not needed".
    if (c.strTable == QLatin1String("T_MASTER") && c.strAction == QLatin1String("I") &&
        c.column.startsWith(QLatin1String("cur")) && !plain(c.after))
        return false;
    if (plain(c.before) || plain(c.after))
        return true;
    return cell(c, HistoryCol::Before) != cell(c, HistoryCol::After);
}

QString HistoryWords::cell(const HistoryChange& c, int column) const {
    const int kind = c.strTable == QLatin1String("T_DATA1")      ? 1
                     : c.strTable == QLatin1String("T_DATA2")    ? 2
                     : c.strTable == QLatin1String("T_TAX_RATE") ? -1
                                                                 : 0;
    if (c.import) {
        const bool undo = c.strAction == QLatin1String("D");
        switch (column) {
        case HistoryCol::Supplier:
            return QStringLiteral("（すべて）");
        case HistoryCol::Date:
        case HistoryCol::Item:
            return {};
        case HistoryCol::Column:
            return QStringLiteral("CSV取り込み");
        case HistoryCol::Before:
        case HistoryCol::After:
            if ((column == HistoryCol::Before) != undo)
                return {};
            return QStringLiteral("%1（%2 行）")
                .arg(c.import->file, formatNumber(double(c.import->rows), QStringLiteral("#,##0")));
        default:
            break;
        }
    }
    switch (column) {
    case HistoryCol::When:
        return formatDate(c.datChanged.date(), QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ') +
               c.datChanged.time().toString(QStringLiteral("HH:mm:ss"));
    case HistoryCol::Book:
        return kind > 0   ? m_ledgers[kind - 1].book
               : kind < 0 ? QStringLiteral("消費税率")
                          : QStringLiteral("仕入先");
    case HistoryCol::Supplier:
        return m_names.value(c.lngMasterID);
    case HistoryCol::Date:
        return kind > 0 ? ledgerValueText(LedgerCol::Date, c.lineDate) : QString();
    case HistoryCol::Item:
        return kind > 0 ? c.lineItem.toString() : QString();
    case HistoryCol::Action:
        return actionText(c.strAction);
    case HistoryCol::Origin:
        return gHistoryOriginText(c.strOrigin);
    case HistoryCol::User:
        return c.strUser;
    case HistoryCol::Host:
        return c.strHost;
    default:
        break;
    }
    const QVariant& value = column == HistoryCol::Before ? c.before : c.after;
    if (kind == 0) {
        if (column == HistoryCol::Column)
            return m_masterTitles.value(c.column, c.column);
        return masterValueText(c.column, value);
    }
    if (kind < 0) {
        if (column == HistoryCol::Column)
            return taxRateColumnNames().value(c.column, c.column);
        if (value.isNull() || c.column == QLatin1String("datFrom"))
            return masterValueText(c.column, value);
        return Currency::fromRaw(value.toLongLong()).toString() + QLatin1Char('%');
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
