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
    };
    return names;
}

// What one ledger needs to put its changes in words.
struct LedgerWords {
    QString book;                // "仕入帳"
    QHash<QString, int> columns; // field name -> grid column
    QHash<int, QString> titles;  // grid column -> caption
};

bool ledgerWords(int kind, LedgerWords& w) {
    QString word;
    if (!gGetDataCaption(kind, word))
        return false;
    w.book = word + QStringLiteral("帳");
    for (int c = LedgerCol::MasterID; c < LedgerCol::Count; ++c)
        w.columns.insert(ledgerFieldName(c), c);
    w.titles = {{LedgerCol::MasterID, QStringLiteral("仕入先")},
                {LedgerCol::Sort, QStringLiteral("順")},
                {LedgerCol::Quantity, QStringLiteral("数量")},
                {LedgerCol::Check, QStringLiteral("チェック")},
                {LedgerCol::Note, QStringLiteral("備考")}};
    for (int number : gColumnCaptionNumbers()) {
        QString def;
        QString caption;
        if (!gGetColumnCaption(number, kind, def, caption))
            return false;
        const int column =
            number == CaptionNo::Date ? int(LedgerCol::Date) : ledgerColumnOfCaption(number);
        if (column >= 0)
            w.titles.insert(column, caption);
    }
    return true;
}

// A stored value of a ledger column as the grid shows it (dates in full).
QString ledgerValueText(int column, const QVariant& v) {
    if (v.isNull())
        return {};
    if (column == LedgerCol::Date) {
        const QDate d = QDate::fromString(v.toString().left(10), QStringLiteral("yyyy-MM-dd"));
        return d.isValid() ? formatDate(d, QStringLiteral("yyyy/MM/dd")) : v.toString();
    }
    QVariant typed = v;
    if (column >= LedgerCol::Quantity && column <= LedgerCol::Check &&
        v.typeId() == QMetaType::LongLong)
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
    return v.toString();
}

QString actionText(const QString& action) {
    if (action == QLatin1String("I"))
        return QStringLiteral("追加");
    if (action == QLatin1String("D"))
        return QStringLiteral("削除");
    return QStringLiteral("変更");
}

QByteArray csvField(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
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

bool gReadHistoryRows(const HistoryFilter& filter, std::vector<HistoryRow>& rows) {
    const QString proc = QStringLiteral("gReadHistoryRows");
    std::vector<HistoryChange> changes;
    if (!gReadHistoryChanges(gdbData(), filter, changes))
        return false;
    LedgerWords words[2];
    if (!ledgerWords(1, words[0]) || !ledgerWords(2, words[1])) {
        gProcError(proc);
        return false;
    }
    QHash<qint64, QString> names;
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT lngMasterID, strSupplierShortName FROM T_MASTER"),
                          {}, proc))
        return false;
    for (const QVariantList& r : rs.rows())
        names.insert(r.value(0).toLongLong(), r.value(1).toString());

    std::vector<HistoryRow> result;
    result.reserve(changes.size());
    for (const HistoryChange& c : changes) {
        HistoryRow row;
        row.entryID = c.lngID;
        auto& cells = row.cells;
        cells[HistoryCol::When] = formatDate(c.datChanged.date(), QStringLiteral("yyyy/MM/dd")) +
                                  QLatin1Char(' ') +
                                  c.datChanged.time().toString(QStringLiteral("HH:mm:ss"));
        cells[HistoryCol::Supplier] = names.value(c.lngMasterID);
        cells[HistoryCol::Action] = actionText(c.strAction);
        cells[HistoryCol::Origin] = gHistoryOriginText(c.strOrigin);
        const int kind = c.strTable == QLatin1String("T_DATA1")   ? 1
                         : c.strTable == QLatin1String("T_DATA2") ? 2
                                                                  : 0;
        if (kind != 0) {
            const LedgerWords& w = words[kind - 1];
            const int column = w.columns.value(c.column, -1);
            cells[HistoryCol::Book] = w.book;
            cells[HistoryCol::Date] = ledgerValueText(LedgerCol::Date, c.lineDate);
            cells[HistoryCol::Item] = c.lineItem.toString();
            cells[HistoryCol::Column] = w.titles.value(column, c.column);
            if (column == LedgerCol::MasterID) {
                cells[HistoryCol::Before] = names.value(c.before.toLongLong());
                cells[HistoryCol::After] = names.value(c.after.toLongLong());
            } else {
                cells[HistoryCol::Before] = ledgerValueText(column, c.before);
                cells[HistoryCol::After] = ledgerValueText(column, c.after);
            }
        } else {
            cells[HistoryCol::Book] = QStringLiteral("仕入先");
            cells[HistoryCol::Column] = masterColumnNames().value(c.column, c.column);
            cells[HistoryCol::Before] = masterValueText(c.column, c.before);
            cells[HistoryCol::After] = masterValueText(c.column, c.after);
        }
        result.push_back(std::move(row));
    }
    rows = std::move(result);
    return true;
}

// A small writer of its own: the rows are plain texts, quoted one by one.
bool gWriteHistoryCsv(const QString& path, const std::vector<HistoryRow>& rows) {
    const QString proc = QStringLiteral("gWriteHistoryCsv");
    QByteArray out("\xEF\xBB\xBF");
    auto line = [&out](auto begin, auto end) {
        for (auto it = begin; it != end; ++it) {
            if (it != begin)
                out += ',';
            out += csvField(*it);
        }
        out += "\r\n";
    };
    line(gHistoryHeaders().begin(), gHistoryHeaders().end());
    for (const HistoryRow& r : rows)
        line(r.cells.begin(), r.cells.end());
    CheckedFileWriter writer(path);
    if (!writer.open() || !writer.write(out) || !writer.commit()) {
        gSetLastError(0, QStringLiteral("file"), writer.errorString());
        gProcError(proc, path);
        return false;
    }
    return true;
}
