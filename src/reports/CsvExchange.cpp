#include "reports/CsvExchange.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "base/TextWidth.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "ledger/LedgerLayout.h"
#include "ledger/LineRules.h"
#include "master/SupplierRecords.h"
#include "reports/ExcelLayer.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/History.h"
#include "store/MsgCatalogue.h"
#include "util/FileHelpers.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <array>
#include <charconv>
#include <optional>
#include <utility>
#include <vector>

namespace {

const QString kProcExport = QStringLiteral("gExportCsv");
const QString kProcImport = QStringLiteral("gImportCsv");
constexpr qsizetype kFlushBytes = 1 << 20;
constexpr qint64 kProgressEvery = 4096;

int kindOf(CsvTable table) {
    return table == CsvTable::Sales ? 2 : 1;
}

// ---- suppliers -----------------------------------------------------------------------------

// One text column of the master window: its caption, its member of the record and of the entry,
// and the width of its box in Shift_JIS bytes (0: no limit).
struct SupplierTextColumn {
    const char16_t* caption;
    QString SupplierRecord::*record;
    QString SupplierEntry::*entry;
    int maxBytes;
};

// The columns after the six number columns (number, valid, two ratios, two balances); the main
// contact and the main account come before their groups.
enum SupplierCsvCol {
    SupNumber,
    SupValid,
    SupSupplyRatio,
    SupSaleRatio,
    SupSupplyCarry,
    SupSaleCarry,
    SupFirstText
};

const std::array<SupplierTextColumn, 4> kSupplierNames = {{
    {u"社名", &SupplierRecord::strSupplierName, &SupplierEntry::supplierName,
     SupplierTextBytes::kName},
    {u"部署名等", &SupplierRecord::strPosition, &SupplierEntry::position,
     SupplierTextBytes::kPosition},
    {u"表示社名", &SupplierRecord::strSupplierShortName, &SupplierEntry::supplierShortName,
     SupplierTextBytes::kShortName},
    {u"ヨミガナ", &SupplierRecord::strKana, &SupplierEntry::kana, SupplierTextBytes::kKana},
}};
const std::array<SupplierTextColumn, 14> kSupplierContacts = {{
    {u"担当者１", &SupplierRecord::strChargePerson1, &SupplierEntry::chargePerson1,
     SupplierTextBytes::kChargePerson},
    {u"担当者１備考", &SupplierRecord::strChargePersonNotes1, &SupplierEntry::chargePersonNotes1,
     SupplierTextBytes::kChargePerson},
    {u"担当者２", &SupplierRecord::strChargePerson2, &SupplierEntry::chargePerson2,
     SupplierTextBytes::kChargePerson},
    {u"担当者２備考", &SupplierRecord::strChargePersonNotes2, &SupplierEntry::chargePersonNotes2,
     SupplierTextBytes::kChargePerson},
    {u"郵便番号１", &SupplierRecord::strPostCode1, &SupplierEntry::postCode1,
     SupplierTextBytes::kPostCode},
    {u"住所１", &SupplierRecord::strAddress1, &SupplierEntry::address1,
     SupplierTextBytes::kAddress},
    {u"郵便番号２", &SupplierRecord::strPostCode2, &SupplierEntry::postCode2,
     SupplierTextBytes::kPostCode},
    {u"住所２", &SupplierRecord::strAddress2, &SupplierEntry::address2,
     SupplierTextBytes::kAddress},
    {u"電話１", &SupplierRecord::strPhone1, &SupplierEntry::phone1, SupplierTextBytes::kPhone},
    {u"電話１備考", &SupplierRecord::strPhone1Notes, &SupplierEntry::phone1Notes, 0},
    {u"電話２", &SupplierRecord::strPhone2, &SupplierEntry::phone2, SupplierTextBytes::kPhone},
    {u"電話２備考", &SupplierRecord::strPhone2Notes, &SupplierEntry::phone2Notes, 0},
    {u"ＦＡＸ", &SupplierRecord::strFax, &SupplierEntry::fax, SupplierTextBytes::kPhone},
    {u"ＦＡＸ備考", &SupplierRecord::strFaxNotes, &SupplierEntry::faxNotes, 0},
}};
const std::array<SupplierTextColumn, 3> kSupplierAccounts = {{
    {u"振込先１", &SupplierRecord::strBankAccount1, &SupplierEntry::bankAccount1,
     SupplierTextBytes::kBankAccount},
    {u"振込先２", &SupplierRecord::strBankAccount2, &SupplierEntry::bankAccount2,
     SupplierTextBytes::kBankAccount},
    {u"メモ", &SupplierRecord::strNotes, &SupplierEntry::notes, 0},
}};

QString cap(const char16_t* text) {
    return QString::fromUtf16(text);
}

// The record of a supplier as the CSV holds it, in header order.
QStringList supplierFields(const SupplierRecord& r) {
    QStringList f{
        QString::number(r.lngSupplier),     r.blnValid ? QStringLiteral("1") : QStringLiteral("0"),
        r.curRegularSupplyRatio.toString(), r.curRegularSaleRatio.toString(),
        r.curStartSupplyCarry.toString(),   r.curStartSaleCarry.toString()};
    for (const auto& c : kSupplierNames)
        f << r.*c.record;
    f << QString::number(r.lngChargePerson);
    for (const auto& c : kSupplierContacts)
        f << r.*c.record;
    f << QString::number(r.lngBankAccount);
    for (const auto& c : kSupplierAccounts)
        f << r.*c.record;
    // The invoice registration: number and the date it applies from.
    f << r.strInvoiceNo
      << (r.datInvoiceFrom.isValid() ? r.datInvoiceFrom.toString(QStringLiteral("yyyy/MM/dd"))
                                     : QString());
    return f;
}

// ---- ledger --------------------------------------------------------------------------------

// A ledger record holds the supplier's number and short name, then the grid columns shown in
// the ledger window, in their order (kLedgerColumns).
constexpr int kLedgerCsvLead = 2;

// The grid columns of a ledger record after its lead fields.
const std::vector<int>& csvLedgerColumns() {
    static const std::vector<int> columns = [] {
        std::vector<int> c;
        for (int col = 0; col < LedgerCol::Count; ++col)
            if (ledgerColumn(col).shown())
                c.push_back(col);
        return c;
    }();
    return columns;
}

// The field of grid column I in a ledger record (and in the export's result row).
template <std::size_t I> constexpr int csvPlace() {
    int place = kLedgerCsvLead;
    for (std::size_t c = 0; c < I; ++c)
        place += kLedgerColumns[c].shown() ? 1 : 0;
    return place;
}

// The ledger header under the current captions (current true) or the default ones.
bool ledgerHeader(int kind, bool current, QStringList& header) {
    QStringList h{QStringLiteral("仕入先番号"), QStringLiteral("仕入先略称")};
    for (int col : csvLedgerColumns()) {
        const int no = ledgerColumn(col).captionNo;
        QString text = ledgerColumnLayout(col).designCaption;
        if (no >= 0) {
            QString def, caption;
            if (!gGetColumnCaption(no, kind, def, caption))
                return false;
            text = current && !caption.isEmpty() ? caption : def;
        }
        h << text;
    }
    header = h;
    return true;
}

// Plain text of a stored amount (count of 1/10 000): "-1234.5".
QByteArray amountText(qint64 raw) {
    const bool negative = raw < 0;
    const quint64 a = negative ? quint64(0) - quint64(raw) : quint64(raw);
    QByteArray t = QByteArray::number(a / Currency::Scale);
    quint64 fraction = a % Currency::Scale;
    if (fraction) {
        char digits[5] = {'0', '0', '0', '0', 0};
        for (int i = 3; i >= 0; --i, fraction /= 10)
            digits[i] = char('0' + fraction % 10);
        int n = 4;
        while (digits[n - 1] == '0')
            --n;
        t.append('.').append(digits, n);
    }
    return negative ? '-' + t : t;
}

QString notEncodableText(const QString& where, const QString& badChar) {
    return where + QStringLiteral("に Shift_JIS で書けない文字「") + badChar +
           QStringLiteral("」があります。\r\n文字コードに UTF-8 を選んで出力してください。");
}

// The file being written: records collected in memory and written out in blocks.
class CsvOutput {
public:
    CsvOutput(const QString& path, CsvEncoding encoding) : m_file(path), m_writer(encoding) {}
    bool open() {
        if (!m_file.open())
            return false;
        m_writer.writeStart();
        return true;
    }
    CsvRecordWriter& writer() { return m_writer; }
    bool flushIfFull() {
        if (m_writer.bytes().size() < kFlushBytes)
            return true;
        return flush();
    }
    bool flush() {
        QByteArray& b = m_writer.bytes();
        if (!m_file.write(b))
            return false;
        m_writer.clearWritten();
        return true;
    }
    bool commit() { return flush() && m_file.commit(); }
    void cancel() { m_file.cancel(); }
    QString errorString() const { return m_file.errorString(); }
    QString failureText() const { return m_file.failureText(); } // after open or commit failed

private:
    CheckedFileWriter m_file;
    CsvRecordWriter m_writer;
};

bool addFields(CsvRecordWriter& w, const QStringList& fields, QString& badChar) {
    for (const QString& f : fields)
        if (!w.addField(f, &badChar))
            return false;
    return true;
}

// Suppliers by number, restricted to `only` when given.
bool readSuppliers(const std::optional<QSet<qint32>>& only, QList<SupplierRecord>& records,
                   const QString& proc) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(
            QStringLiteral("SELECT lngMasterID FROM T_MASTER ORDER BY lngSupplier NULLS FIRST"), {},
            proc))
        return false;
    for (const QVariantList& row : rs.rows()) {
        SupplierRecord r;
        if (!gGetMasterData(static_cast<qint32>(row.value(0).toLongLong()), r))
            return false;
        if (!only || only->contains(r.lngSupplier))
            records << r;
    }
    return true;
}

bool exportSuppliers(CsvOutput& out, const CsvExportParams& p, CsvExportResult& result) {
    QList<SupplierRecord> records;
    if (!readSuppliers(p.only, records, kProcExport))
        return false;
    CsvRecordWriter& w = out.writer();
    QStringList header;
    QString bad;
    gCsvSupplierHeader(header);
    addFields(w, header, bad);
    w.endRecord();
    for (const SupplierRecord& r : std::as_const(records)) {
        if (!addFields(w, supplierFields(r), bad)) {
            result.outcome = CsvExportOutcome::NotEncodable;
            result.message = notEncodableText(QStringLiteral("仕入先番号 %1「%2」")
                                                  .arg(r.lngSupplier)
                                                  .arg(r.strSupplierShortName),
                                              bad);
            return true;
        }
        w.endRecord();
        ++result.rows;
    }
    return true;
}

// Writes grid column I of an export row when the CSV holds it. Once a text cannot be encoded
// (ok false) nothing more is written: the file is given up.
template <std::size_t I>
void exportColumn(const RowCursor& st, CsvRecordWriter& w, bool& ok, QString& bad) {
    constexpr LedgerColumn c = kLedgerColumns[I];
    if constexpr (c.shown()) {
        constexpr int i = csvPlace<I>();
        if (!ok)
            return;
        if constexpr (c.kind() == LedgerKind::Date) {
            // A date is stored as yyyy-MM-dd and written as yyyy/MM/dd.
            const std::string_view stored = st.text(i);
            QByteArray date(stored.data(), static_cast<qsizetype>(stored.size()));
            date.replace('-', '/');
            w.addAsciiField(date);
        } else if constexpr (c.kind() == LedgerKind::Text) {
            ok = w.addField(st.qtext(i), &bad);
        } else if constexpr (c.kind() == LedgerKind::Amount) {
            if (st.isNull(i))
                w.addAsciiField({});
            else
                w.addAsciiField(amountText(st.int64(i)));
        } else {
            if (st.isNull(i))
                w.addAsciiField({});
            else
                w.addNumberField(st.int64(i));
        }
    }
}

template <std::size_t... I>
bool exportColumns(const RowCursor& st, CsvRecordWriter& w, bool ok, QString& bad,
                   std::index_sequence<I...>) {
    (exportColumn<I>(st, w, ok, bad), ...);
    return ok;
}

bool exportLedger(CsvOutput& out, const CsvExportParams& p, const CsvCallbacks& cb,
                  CsvExportResult& result) {
    const int kind = kindOf(p.table);
    CsvRecordWriter& w = out.writer();
    QStringList header;
    QString bad;
    if (!ledgerHeader(kind, true, header))
        return false;
    if (!addFields(w, header, bad)) {
        result.outcome = CsvExportOutcome::NotEncodable;
        result.message = notEncodableText(QStringLiteral("列の見出し"), bad);
        return true;
    }
    w.endRecord();

    const QString table = kind == 2 ? QStringLiteral("T_DATA2") : QStringLiteral("T_DATA1");
    const QString where =
        QStringLiteral(" WHERE (d.date1 >= ?1 OR ?1 IS NULL) AND (d.date1 <= ?2 OR ?2 IS NULL)");
    const QVariantList range = {p.from ? QVariant(*p.from) : QVariant(),
                                p.to ? QVariant(*p.to) : QVariant()};
    // The supplier's number and short name, then the CSV's grid columns (csvPlace).
    QString select = QStringLiteral("SELECT m.lngSupplier, m.strSupplierShortName");
    for (int col : csvLedgerColumns())
        select += QStringLiteral(", d.") + QLatin1String(ledgerColumn(col).sqlName);
    RowCursor count(gdbData()), st(gdbData());
    if (!count.open(QStringLiteral("SELECT COUNT(*) FROM ") + table + QStringLiteral(" d") + where,
                    range, kProcExport) ||
        !st.open(select + QStringLiteral(" FROM ") + table +
                     QStringLiteral(" d JOIN T_MASTER m ON m.lngMasterID = d.lngMasterID") + where +
                     QStringLiteral(" ORDER BY m.lngSupplier NULLS FIRST, d.date1 NULLS FIRST,"
                                    " d.lngSort NULLS FIRST, d.lngID"),
                 range, kProcExport))
        return false;
    const qint64 total = count.next() ? count.int64(0) : 0;
    if (cb.progress)
        cb.progress(0, total);
    qint64 seen = 0;
    while (st.next()) {
        if (++seen % kProgressEvery == 0 && cb.progress)
            cb.progress(seen, total);
        const auto supplier = static_cast<qint32>(st.int64(0));
        if (p.only && !p.only->contains(supplier))
            continue;
        w.addNumberField(supplier);
        bool ok = w.addField(st.qtext(1), &bad);
        ok = exportColumns(st, w, ok, bad, std::make_index_sequence<kLedgerColumns.size()>());
        if (!ok) {
            const std::string_view stored = st.text(csvPlace<LedgerCol::Date>());
            const QString date =
                QString::fromLatin1(stored.data(), qsizetype(stored.size())).replace(u'-', u'/');
            result.outcome = CsvExportOutcome::NotEncodable;
            result.message =
                notEncodableText(QStringLiteral("仕入先番号 %1「%2」の %3 の行（品名「%4」）")
                                     .arg(supplier)
                                     .arg(st.qtext(1), date, st.qtext(csvPlace<LedgerCol::Item>())),
                                 bad);
            return true;
        }
        w.endRecord();
        ++result.rows;
        if (!out.flushIfFull())
            return true; // the commit reports the writer's failure
    }
    if (st.failed())
        return false;
    if (cb.progress)
        cb.progress(total, total);
    return true;
}

// ---- import --------------------------------------------------------------------------------

QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

QString ruleText(const RuleResult& r) {
    return oneLine(r.msgCode > 0 ? gMsgText(r.msgCode, r.addText) : r.text);
}

// The columns that make two ledger lines the same line: the supplier, the date, the item, the
// classes, the quantity, the prices, the ratio, the amount, the payment and the note; not the
// order within the day, the check mark nor the changed flag.
constexpr bool isLineKeyColumn(int col) {
    return col != LedgerCol::Sort && col != LedgerCol::Check && col != LedgerCol::Change;
}

void addKeyPart(QByteArray& key, bool null, const char* data, qsizetype size) {
    if (null) {
        key += 'N';
        return;
    }
    char length[24];
    length[0] = 'V';
    char* end = std::to_chars(length + 1, length + sizeof length - 1, size).ptr;
    *end++ = ':';
    key.append(length, end - length);
    key.append(data, size);
}

void addKeyPart(QByteArray& key, bool null, const QByteArray& value) {
    addKeyPart(key, null, value.constData(), value.size());
}

void addKeyNumber(QByteArray& key, const std::optional<qint64>& v) {
    char digits[24];
    const char* end = v ? std::to_chars(digits, digits + sizeof digits, *v).ptr : digits;
    addKeyPart(key, !v, digits, end - digits);
}

// A digest of a line's key columns, in the form both the file's lines and the stored ones give.
QByteArray lineKey(const LedgerLine& l) {
    QByteArray key;
    key.reserve(256);
    for (int col = 0; col < LedgerCol::Count; ++col) {
        if (!isLineKeyColumn(col))
            continue;
        const LedgerField& f = ledgerColumn(col).field;
        switch (f.kind) {
        case LedgerKind::Number: {
            const auto& v = l.*f.number;
            addKeyNumber(key, v ? std::optional<qint64>(*v) : std::nullopt);
            break;
        }
        case LedgerKind::Date: {
            const auto& v = l.*f.date;
            if (v && v->year() >= 1000 && v->year() <= 9999) {
                // The date as ISO text (yyyy-MM-dd).
                char text[10];
                const int parts[3] = {v->year(), v->month(), v->day()};
                const int widths[3] = {4, 2, 2};
                char* p = text;
                for (int i = 0; i < 3; ++i) {
                    if (i > 0)
                        *p++ = '-';
                    for (int w = widths[i] - 1, n = parts[i]; w >= 0; --w, n /= 10)
                        p[w] = static_cast<char>('0' + n % 10);
                    p += widths[i];
                }
                addKeyPart(key, false, text, sizeof text);
            } else {
                addKeyPart(key, !v, v ? v->toString(Qt::ISODate).toLatin1() : QByteArray());
            }
            break;
        }
        case LedgerKind::Text: {
            const auto& v = l.*f.text;
            addKeyPart(key, !v, v ? v->toUtf8() : QByteArray());
            break;
        }
        case LedgerKind::Amount: {
            const auto& v = l.*f.amount;
            addKeyNumber(key, v ? std::optional<qint64>(v->raw()) : std::nullopt);
            break;
        }
        case LedgerKind::Flag:
            break;
        }
    }
    return QCryptographicHash::hash(key, QCryptographicHash::Md5);
}

// The keys of the lines a ledger holds (a digest per line, so the memory stays small).
bool storedLineKeys(int kind, QSet<QByteArray>& keys) {
    QString select;
    std::vector<int> columns;
    for (int col = 0; col < LedgerCol::Count; ++col) {
        if (!isLineKeyColumn(col))
            continue;
        select += (select.isEmpty() ? QString() : QStringLiteral(", ")) +
                  QLatin1String(ledgerColumn(col).sqlName);
        columns.push_back(col);
    }
    RowCursor st(gdbData());
    if (!st.open(QStringLiteral("SELECT ") + select + QStringLiteral(" FROM ") +
                     (kind == 2 ? QStringLiteral("T_DATA2") : QStringLiteral("T_DATA1")),
                 {}, kProcImport))
        return false;
    while (st.next()) {
        QByteArray key;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const int at = int(i);
            if (st.isNull(at)) {
                addKeyPart(key, true, {});
                continue;
            }
            switch (ledgerColumn(columns[i]).kind()) {
            case LedgerKind::Number:
            case LedgerKind::Amount:
                addKeyPart(key, false, QByteArray::number(st.int64(at)));
                break;
            default: {
                const std::string_view t = st.text(at);
                addKeyPart(key, false, QByteArray(t.data(), qsizetype(t.size())));
                break;
            }
            }
        }
        keys.insert(QCryptographicHash::hash(key, QCryptographicHash::Md5));
    }
    return !st.failed();
}

// The master IDs gGetNewLngMasterID would hand out to suppliers stored one after another (the
// highest ID + 1 while that is at most kMaxSupplierNumber, then the lowest ID no supplier and no
// ledger line uses), worked out without storing anything.
class MasterIdPlan {
public:
    bool load() {
        ResultSet highest(gdbData());
        ResultSet used(gdbData());
        if (!highest.openRecordSet(QStringLiteral("SELECT MAX(lngMasterID) FROM T_MASTER"), {},
                                   kProcImport) ||
            !used.openRecordSet(QStringLiteral("SELECT lngMasterID FROM T_MASTER UNION SELECT "
                                               "lngMasterID FROM T_DATA1 UNION SELECT "
                                               "lngMasterID FROM T_DATA2"),
                                {}, kProcImport))
            return false;
        m_highest = highest.recordCount() > 0 ? highest.lng(0) : 0;
        for (const QVariantList& row : used.rows())
            m_taken.insert(row.value(0).toLongLong());
        return true;
    }
    // The next ID, taken; 0 when none is left.
    qint32 take() {
        qint32 id = 0;
        if (m_highest + 1 >= 1 && m_highest + 1 <= kMaxSupplierNumber) {
            id = static_cast<qint32>(m_highest + 1);
        } else {
            for (qint32 n = 1; n <= kMaxSupplierNumber && id == 0; ++n)
                if (!m_taken.contains(n))
                    id = n;
        }
        if (id != 0) {
            m_taken.insert(id);
            m_highest = std::max<qint64>(m_highest, id);
        }
        return id;
    }

private:
    qint64 m_highest = 0;
    QSet<qint64> m_taken;
};

// Reads and checks every row of a file. With store false nothing is written at all: the rows
// an import would store before a row are taken into account as they would be stored (the
// supplier numbers and the master IDs they take). With store true each accepted row is inserted
// (in the caller's transaction).
class Importer {
public:
    Importer(const CsvImportParams& p, const CsvCallbacks& cb, CsvImportResult& result, bool store)
        : m_p(p), m_cb(cb), m_result(result), m_store(store) {}

    void refuse(qint64 line, const QString& reason) {
        ++m_result.refusedCount;
        if (m_result.refusals.size() < std::size_t(kCsvListedRefusals))
            m_result.refusals.push_back({line, reason});
    }

    // Suppliers: the master window's checks, then the row is inserted (when storing).
    bool supplierRow(const QStringList& f, qint64 line) {
        SupplierEntry e;
        e.supplier = f[SupNumber];
        const QString valid = f[SupValid];
        if (valid != QStringLiteral("1") && valid != QStringLiteral("0")) {
            refuse(line, QStringLiteral("有効: 1（有効）か 0（無効）を入れてください"));
            return true;
        }
        e.valid = valid == QStringLiteral("1");
        e.regularSupplyRatio = f[SupSupplyRatio];
        e.regularSaleRatio = f[SupSaleRatio];
        e.startSupplyCarry = f[SupSupplyCarry];
        e.startSaleCarry = f[SupSaleCarry];
        int i = SupFirstText;
        QStringList tooWide;
        const auto take = [&](const auto& columns) {
            for (const SupplierTextColumn& c : columns) {
                e.*c.entry = f[i++];
                if (c.maxBytes > 0 && sjisByteWidth(e.*c.entry) > c.maxBytes)
                    tooWide << QStringLiteral("%1は半角%2文字（全角%3文字）までです")
                                   .arg(cap(c.caption))
                                   .arg(c.maxBytes)
                                   .arg(c.maxBytes / 2);
            }
        };
        const auto choice = [&](qint32& target, const QString& caption) {
            const QString t = f[i++];
            if (t == QStringLiteral("1") || t == QStringLiteral("2")) {
                target = t.toInt();
                return true;
            }
            refuse(line, caption + QStringLiteral(": 1 か 2 を入れてください"));
            return false;
        };
        take(kSupplierNames);
        if (!choice(e.chargePerson, QStringLiteral("主担当者")))
            return true;
        take(kSupplierContacts);
        if (!choice(e.bankAccount, QStringLiteral("主振込先")))
            return true;
        take(kSupplierAccounts);
        e.invoiceNo = f[i++];
        e.invoiceFrom = f[i++];
        // A check digit that differs is asked about in the window; a file's number is taken as
        // it stands, as the user would answer there for a number issued that way.
        const SupplierCheck check = mChkMasterData(e);
        if (!check.valid) {
            refuse(line, oneLine(gMsgText(check.msgCode, check.msgPrefix)));
            return true;
        }
        if (!tooWide.isEmpty()) {
            refuse(line, tooWide.join(QStringLiteral("、")));
            return true;
        }
        const qint32 number = e.supplier.toInt();
        if (m_p.updateSuppliers && !m_numbers.contains(number)) {
            qint32 existing = 0;
            if (gGetMasterIDBySupplier(number, existing))
                return updateSupplier(e, existing, line);
        }
        bool duplicate = m_numbers.contains(number);
        if (!duplicate && !gChkDuplicateSupplier(0, number, duplicate))
            return false;
        if (duplicate) {
            refuse(line, oneLine(gMsgText(29, QStringLiteral("仕入先番号 %1 は").arg(e.supplier))));
            return true;
        }
        qint32 masterID = 0;
        if (m_store ? !gGetNewLngMasterID(masterID) : !takePlannedId(masterID))
            return false;
        if (masterID == 0) {
            refuse(line, QStringLiteral("仕入先は%1件まで登録できます").arg(kMaxSupplierNumber));
            return true;
        }
        e.masterID = QString::number(masterID);
        SupplierRecord r;
        if (!gEntryToRecord(e, r)) {
            gProcError(kProcImport, QStringLiteral("line %1").arg(line));
            return false;
        }
        m_numbers.insert(number);
        ++m_result.storedRows;
        return !m_store || mDataInsert2(r);
    }

    // A row of a supplier that exists: the changed columns listed and stored, an unchanged row
    // skipped.
    bool updateSupplier(SupplierEntry& e, qint32 masterID, qint64 line) {
        SupplierRecord before, after;
        e.masterID = QString::number(masterID);
        if (!gGetMasterData(masterID, before) || !gEntryToRecord(e, after)) {
            gProcError(kProcImport, QStringLiteral("line %1").arg(line));
            return false;
        }
        m_numbers.insert(after.lngSupplier);
        QStringList header, changed;
        gCsvSupplierHeader(header);
        const QStringList was = supplierFields(before), now = supplierFields(after);
        for (qsizetype i = 0; i < header.size(); ++i)
            if (was[i] != now[i])
                changed << QStringLiteral("%1「%2」→「%3」")
                               .arg(header[i], oneLine(was[i]), oneLine(now[i]));
        if (changed.isEmpty()) {
            ++m_result.unchangedCount;
            return true;
        }
        ++m_result.changedCount;
        ++m_result.storedRows;
        if (m_result.changes.size() < std::size_t(kCsvListedRefusals))
            m_result.changes.push_back({line, after.lngSupplier, changed});
        return !m_store || mDataModify(gdbData(), after);
    }

    bool takePlannedId(qint32& masterID) {
        if (!m_plan) {
            m_plan.emplace();
            if (!m_plan->load())
                return false;
        }
        masterID = m_plan->take();
        return true;
    }

    struct SupplierFacts {
        qint32 masterID = 0;
        bool hasDefaultRatio = false;
    };

    bool prepareLedger() {
        m_kind = kindOf(m_p.table);
        ResultSet rs(gdbData());
        if (!rs.openRecordSet(QStringLiteral("SELECT lngSupplier, lngMasterID, "
                                             "curRegularSupplyRatio, curRegularSaleRatio "
                                             "FROM T_MASTER"),
                              {}, kProcImport))
            return false;
        for (const QVariantList& row : rs.rows()) {
            const QVariant ratio = row.value(m_kind == 2 ? 3 : 2);
            m_suppliers.insert(static_cast<qint32>(row.value(0).toLongLong()),
                               {static_cast<qint32>(row.value(1).toLongLong()),
                                !ratio.isNull() && !ratio.value<Currency>().isZero()});
        }
        for (int col : csvLedgerColumns()) {
            if (!ledgerColumn(col).list)
                continue;
            QStringList entries;
            if (!gGetLedgerListEntries(col, m_kind, entries))
                return false;
            m_lists[col] = QSet<QString>(entries.begin(), entries.end());
        }
        if (!gGetLineCheckTexts(m_kind, m_texts) || !ledgerHeader(m_kind, true, m_captions) ||
            !storedLineKeys(m_kind, m_storedKeys))
            return false;
        if (!m_store)
            return true;
        // Every column of the line, in the table's order (insertLine binds them so).
        QByteArray sql = QByteArray("INSERT INTO ") + (m_kind == 2 ? "T_DATA2" : "T_DATA1") + " (";
        QByteArray marks;
        for (const LedgerColumn& c : kLedgerColumns) {
            if (!marks.isEmpty()) {
                sql += ", ";
                marks += ',';
            }
            sql += c.sqlName;
            marks += '?';
        }
        sql += ") VALUES (" + marks + ')';
        return m_insert.prepare(QString::fromLatin1(sql), kProcImport);
    }

    bool ledgerRow(const QStringList& f, qint64 line) {
        bool okNumber = false;
        const qint32 supplier = f[0].toInt(&okNumber);
        const auto found = m_suppliers.constFind(supplier);
        if (!okNumber || found == m_suppliers.constEnd()) {
            refuse(line, QStringLiteral("仕入先番号「%1」の仕入先は登録されていません").arg(f[0]));
            return true;
        }
        LedgerLine l;
        l.lngMasterID = found->masterID;
        for (std::size_t k = 0; k < csvLedgerColumns().size(); ++k) {
            const int col = csvLedgerColumns()[k];
            const QString& text = f[kLedgerCsvLead + qsizetype(k)];
            const QString caption = m_captions[kLedgerCsvLead + qsizetype(k)];
            QVariant value;
            if (m_lists.contains(col)) {
                if (!text.isEmpty() && !m_lists[col].contains(text)) {
                    refuse(line, caption + QStringLiteral(": 「") + text + QStringLiteral("」は") +
                                     oneLine(gMsgText(50, QStringLiteral("リストの中から"))));
                    return true;
                }
                if (!text.isEmpty())
                    value = ledgerColumn(col).kind() == LedgerKind::Number ? QVariant(text.toInt())
                                                                           : QVariant(text);
            } else {
                RuleResult r;
                if (!gCheckCellText(col, m_kind, text, value, r))
                    return false;
                if (!r.ok) {
                    refuse(line, caption + QStringLiteral(": ") + ruleText(r));
                    return true;
                }
            }
            if (!value.isNull() && !l.setValue(col, value)) {
                gProcError(kProcImport, QStringLiteral("line %1 column %2").arg(line).arg(col));
                return false;
            }
        }
        mSetNulls(l);
        if (isDuplicate(l, line) && !m_p.keepDuplicates)
            return true;
        // The window stores such a line and tells of it later; so does the import.
        const RuleResult check = gCheckLine(l, m_texts, found->hasDefaultRatio);
        if (!check.ok) {
            ++m_result.warningCount;
            if (m_result.warnings.size() < std::size_t(kCsvListedRefusals))
                m_result.warnings.push_back({line, ruleText(check)}); // the texts name columns
        }
        ++m_result.storedRows;
        return !m_store || insertLine(l);
    }

    // A line the ledger holds already (as it was before the import), or an earlier line of the
    // file; counted and listed.
    bool isDuplicate(const LedgerLine& l, qint64 line) {
        const QByteArray key = lineKey(l);
        qint64 first = 0;
        if (!m_storedKeys.contains(key)) {
            const auto earlier = m_fileKeys.constFind(key);
            if (earlier == m_fileKeys.constEnd()) {
                m_fileKeys.insert(key, line);
                return false;
            }
            first = *earlier;
        }
        ++m_result.duplicateCount;
        if (m_result.duplicates.size() < std::size_t(kCsvListedRefusals))
            m_result.duplicates.push_back({line, first});
        return true;
    }

    bool insertLine(const LedgerLine& l) {
        RowCursor& st = m_insert;
        st.reset();
        for (int col = 0; col < LedgerCol::Count; ++col) {
            const LedgerField& f = ledgerColumn(col).field;
            const int at = col + 1;
            switch (f.kind) {
            case LedgerKind::Number:
                st.bindOptional(at, l.*f.number);
                break;
            case LedgerKind::Date:
                st.bindOptional(at, l.*f.date);
                break;
            case LedgerKind::Text:
                st.bindOptional(at, l.*f.text);
                break;
            case LedgerKind::Amount:
                st.bindOptional(at, l.*f.amount);
                break;
            case LedgerKind::Flag:
                st.bindInt(at, l.*f.flag ? 1 : 0);
                break;
            }
        }
        if (!st.run())
            return false;
        return true;
    }

    // Reads every row; false on an unexpected failure (logged) or a file that cannot be read
    // (result.message, outcome BadFile).
    bool run(QFile& file) {
        const bool suppliers = m_p.table == CsvTable::Suppliers;
        if (!suppliers && !prepareLedger())
            return false;
        QStringList expected, defaults;
        if (suppliers) {
            gCsvSupplierHeader(expected);
            defaults = expected;
        } else {
            expected = m_captions;
            if (!ledgerHeader(m_kind, false, defaults))
                return false;
        }
        CsvReader reader(file, m_result.encoding);
        QStringList fields;
        const auto badFile = [&](const QString& why) {
            m_result.outcome = CsvImportOutcome::BadFile;
            m_result.message = why;
            return true;
        };
        const bool read = reader.next(fields);
        m_result.encoding = reader.encoding(); // a byte-order mark has its say
        if (!read)
            return badFile(reader.error().isEmpty() ? QStringLiteral("ファイルが空です")
                                                    : reader.error());
        QStringList trimmed;
        for (const QString& h : std::as_const(fields))
            trimmed << h.trimmed();
        if (reader.recordMalformed() || (trimmed != expected && trimmed != defaults))
            return badFile(QStringLiteral("1 行目の見出しが%1の CSV の見出しと違います。\r\n"
                                          "データの種類と文字コードを確かめてください。"
                                          "見出しは次のとおりです:\r\n%2")
                               .arg(gCsvTableName(m_p.table), expected.join(QLatin1Char(','))));
        const qint64 size = file.size();
        if (m_cb.progress)
            m_cb.progress(0, size);
        while (reader.next(fields)) {
            if (fields.size() == 1 && fields[0].isEmpty())
                continue; // a blank line
            ++m_result.rows;
            if (m_result.rows % kProgressEvery == 0 && m_cb.progress)
                m_cb.progress(reader.bytesRead(), size);
            if (reader.recordMalformed()) {
                refuse(reader.line(), reader.malformedReason());
                continue;
            }
            if (fields.size() != expected.size()) {
                refuse(reader.line(), QStringLiteral("欄の数が %1 です（%2 欄のはずです）")
                                          .arg(fields.size())
                                          .arg(expected.size()));
                continue;
            }
            if (!(suppliers ? supplierRow(fields, reader.line())
                            : ledgerRow(fields, reader.line())))
                return false;
        }
        if (!reader.error().isEmpty())
            return badFile(reader.error());
        if (m_cb.progress)
            m_cb.progress(size, size);
        return true;
    }

private:
    const CsvImportParams& m_p;
    const CsvCallbacks& m_cb;
    CsvImportResult& m_result;
    const bool m_store;
    int m_kind = 1;
    QSet<qint32> m_numbers; // supplier numbers of the rows accepted so far
    std::optional<MasterIdPlan> m_plan;
    QHash<qint32, SupplierFacts> m_suppliers;
    QHash<int, QSet<QString>> m_lists;
    LineCheckTexts m_texts;
    QStringList m_captions;
    QSet<QByteArray> m_storedKeys;        // the lines stored before the import
    QHash<QByteArray, qint64> m_fileKeys; // the file's lines so far, by the line they start on
    RowCursor m_insert{gdbData()};
};

// The copy of the data file taken before an import, replacing the copy of the last one. A
// server keeps no such copy (backup empty): the import is one transaction there, and the books
// are copied with the server's own backups.
bool backupDataFile(QString& backup) {
    backup.clear();
    if (gdbData().isServer())
        return true;
    const QString data = gdbData().path();
    backup = data + QStringLiteral(".before-import");
    // A write-ahead log holds committed pages the file itself does not have yet.
    if (!gdbData().executeSQL(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), {}, kProcImport))
        return false;
    if (QFileInfo::exists(backup) && !QFile::remove(backup)) {
        gProcError(kProcImport, backup);
        return false;
    }
    return gCopyDataFile(data, backup, kProcImport);
}

} // namespace

namespace {

bool lastLineId(const QString& table, qint64& id) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT coalesce(max(lngID), 0) FROM ") + table, {},
                          kProcImport) ||
        !rs.moveFirst())
        return false;
    id = rs.lng(0);
    return true;
}

// The import's one history entry: the file's name, its checksum and the lines inserted (those
// numbered after the last line before the import).
bool writeImportEntry(QFile& file, const QString& table, qint64 lastBefore) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.seek(0) || !hash.addData(&file)) {
        gSetLastError(0, QStringLiteral("file"), file.errorString());
        return false;
    }
    RowCursor st(gdbData());
    if (!st.open(QStringLiteral("SELECT lngID FROM ") + table +
                     QStringLiteral(" WHERE lngID > ? ORDER BY lngID"),
                 {lastBefore}, kProcImport))
        return false;
    std::vector<qint64> ids;
    while (st.next())
        ids.push_back(st.int64(0));
    if (st.failed())
        return false;
    HistoryImport import;
    import.file = QFileInfo(file.fileName()).fileName();
    import.rows = qint64(ids.size());
    import.sha256 = QString::fromLatin1(hash.result().toHex());
    import.ids = gHistoryIdRanges(ids);
    return gWriteImportEntry(gdbData(), table, import);
}

} // namespace

bool gCsvTableFromWords(const QString& word, int kind, CsvTable& table) {
    if (word == QStringLiteral("suppliers"))
        table = CsvTable::Suppliers;
    else if (word == QStringLiteral("ledger"))
        table = kind == 2 ? CsvTable::Sales : CsvTable::Purchases;
    else
        return false;
    return true;
}

QString gCsvTableName(CsvTable table) {
    switch (table) {
    case CsvTable::Suppliers:
        return QStringLiteral("仕入先");
    case CsvTable::Purchases:
        return QStringLiteral("仕入帳");
    case CsvTable::Sales:
        return QStringLiteral("売上帳");
    }
    return {};
}

bool gCsvSupplierHeader(QStringList& header) {
    QStringList h{QStringLiteral("仕入先番号"),   QStringLiteral("有効"),
                  QStringLiteral("規定仕入掛率"), QStringLiteral("規定売上掛率"),
                  QStringLiteral("開始仕入残高"), QStringLiteral("開始売上残高")};
    for (const auto& c : kSupplierNames)
        h << cap(c.caption);
    h << QStringLiteral("主担当者");
    for (const auto& c : kSupplierContacts)
        h << cap(c.caption);
    h << QStringLiteral("主振込先");
    for (const auto& c : kSupplierAccounts)
        h << cap(c.caption);
    h << QStringLiteral("登録番号") << QStringLiteral("登録日");
    header = h;
    return true;
}

bool gCsvLedgerHeader(int kind, QStringList& header) {
    return ledgerHeader(kind, true, header);
}

bool gExportCsv(const CsvExportParams& p, const CsvCallbacks& cb, CsvExportResult& result) {
    result = CsvExportResult();
    QString folder = p.outputFolder;
    if (folder.isEmpty() && !gGetDesktopPath(folder)) {
        gProcError(kProcExport, QStringLiteral("デスクトップのフォルダが分かりません"));
        return false;
    }
    const QString suffix = QStringLiteral("　") + gCsvTableName(p.table) + QStringLiteral(".csv");
    QString path = gExcelReportPath(folder, svc().clock().now(), suffix);
    if (QFileInfo::exists(path)) {
        QString unique;
        if (!gGetUniqueFName(folder, QFileInfo(path).fileName(), unique)) {
            gProcError(kProcExport, folder);
            return false;
        }
        path = gAddBackSlash(folder) + unique;
    }
    CsvOutput out(path, p.encoding);
    if (!out.open()) {
        gSetLastError(0, QStringLiteral("file"), out.errorString());
        gProcError(kProcExport, path);
        result.message = out.failureText();
        return false;
    }
    result.outcome = CsvExportOutcome::Written;
    const bool ok = p.table == CsvTable::Suppliers ? exportSuppliers(out, p, result)
                                                   : exportLedger(out, p, cb, result);
    if (!ok || result.outcome != CsvExportOutcome::Written) {
        out.cancel();
        if (!ok)
            result.outcome = CsvExportOutcome::Failed;
        return false;
    }
    if (result.rows == 0) {
        out.cancel();
        result.outcome = CsvExportOutcome::NothingToExport;
        result.message = QStringLiteral("出力する%1のデータがありません")
                             .arg(p.table == CsvTable::Suppliers ? QStringLiteral("仕入先")
                                                                 : QStringLiteral("行"));
        return false;
    }
    if (!out.commit()) {
        gSetLastError(0, QStringLiteral("file"), out.errorString());
        gProcError(kProcExport, path);
        result.outcome = CsvExportOutcome::Failed;
        result.message = out.failureText();
        return false;
    }
    result.path = path;
    return true;
}

bool gImportCsv(const CsvImportParams& p, const CsvCallbacks& cb, CsvImportResult& result) {
    result = CsvImportResult();
    QFile file(p.path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.outcome = CsvImportOutcome::BadFile;
        result.message = QStringLiteral("ファイルを開けません: ") + p.path;
        return false;
    }
    result.encodingDetected = !p.encoding;
    if (p.encoding) {
        result.encoding = *p.encoding;
    } else if (!gDetectCsvEncoding(file, result.encoding)) {
        result.outcome = CsvImportOutcome::BadFile;
        result.message = QStringLiteral("ファイルを読めません: ") + p.path;
        return false;
    }
    if (!p.checkOnly && gDataFileReadOnly()) {
        result.outcome = CsvImportOutcome::BadFile;
        result.message = QStringLiteral("データファイルが読み取り専用のため、取り込めません");
        return false;
    }
    // Every row is checked before anything is written: a check, a refused file and a file that
    // cannot be read leave the data file as it was, byte for byte (a write rolled back would
    // leave the rows' text in the file's free pages), and a read-only file can be checked.
    {
        Importer checker(p, cb, result, false);
        if (!checker.run(file)) {
            result.outcome = CsvImportOutcome::Failed;
            return false;
        }
    }
    if (result.outcome == CsvImportOutcome::BadFile)
        return false;
    if (result.refusedCount > 0) {
        result.outcome = CsvImportOutcome::Refused;
        return false;
    }
    if (result.rows == 0) {
        result.outcome = CsvImportOutcome::BadFile;
        result.message = QStringLiteral("取り込む行がありません");
        return false;
    }
    if (result.storedRows == 0 && !p.checkOnly && result.unchangedCount == result.rows) {
        result.outcome = CsvImportOutcome::BadFile;
        result.message = QStringLiteral("取り込む行がありません（%1 行すべてが、登録済みの仕入先と"
                                        "同じです）")
                             .arg(result.rows);
        return false;
    }
    if (result.storedRows == 0 && !p.checkOnly) {
        result.outcome = CsvImportOutcome::BadFile;
        result.message = QStringLiteral("取り込む行がありません（%1 行すべてが、登録済みの行か"
                                        "ファイルの中で繰り返された行です）")
                             .arg(result.rows);
        return false;
    }
    if (p.checkOnly) {
        result.outcome = CsvImportOutcome::Checked;
        return true;
    }
    // The rows go in as checked, each checked once more as it goes in.
    QString backup;
    if (!file.seek(0) || !backupDataFile(backup)) {
        result.outcome = CsvImportOutcome::Failed;
        return false;
    }
    CsvImportResult stored;
    stored.encoding = result.encoding;
    // Ledger lines are one history entry for the whole file, not one per line.
    const QString lineTable = p.table == CsvTable::Purchases ? QStringLiteral("T_DATA1")
                              : p.table == CsvTable::Sales   ? QStringLiteral("T_DATA2")
                                                             : QString();
    // The file's lines go into the ledger's indexes in another order than the indexes keep:
    // a larger page cache keeps the pages they touch in memory until the commit instead of
    // writing and reading them again (the data file's own setting after).
    const bool bigCache =
        !gdbData().isServer() &&
        gdbData().executeSQL(QStringLiteral("PRAGMA cache_size = -65536"), {}, kProcImport);
    {
        HistoryScope tx(gdbData(), HistoryOrigin::Imported);
        Importer importer(p, cb, stored, true);
        qint64 lastBefore = 0;
        if (!tx.ok() ||
            (!lineTable.isEmpty() && (!tx.quietLines() || !lastLineId(lineTable, lastBefore)))) {
            gProcError(kProcImport);
        } else if (!importer.run(file)) {
            stored.outcome = CsvImportOutcome::Failed;
        } else if (stored.outcome == CsvImportOutcome::BadFile || stored.refusedCount > 0 ||
                   stored.rows != result.rows || stored.storedRows != result.storedRows) {
            gProcError(kProcImport, QStringLiteral("the file or the data changed during the "
                                                   "import"));
            stored.outcome = CsvImportOutcome::Failed;
        } else if (!lineTable.isEmpty() && !writeImportEntry(file, lineTable, lastBefore)) {
            gProcError(kProcImport);
        } else if (tx.commit()) {
            stored.outcome = CsvImportOutcome::Imported;
        } else {
            gProcError(kProcImport);
        }
    }
    if (bigCache)
        gdbData().executeSQL(QStringLiteral("PRAGMA cache_size = -2000"), {}, kProcImport);
    if (stored.outcome != CsvImportOutcome::Imported) {
        if (!backup.isEmpty())
            QFile::remove(backup); // the data file is as the copy has it
        result.outcome = CsvImportOutcome::Failed;
        return false;
    }
    result.outcome = CsvImportOutcome::Imported;
    result.backupPath = backup;
    return true;
}

QStringList gCsvRefusalLines(const CsvImportResult& result) {
    QStringList lines;
    for (const CsvRefusal& r : result.refusals)
        lines << QStringLiteral("%1 行目: %2").arg(r.line).arg(r.reason);
    const qint64 unlisted = result.refusedCount - qint64(result.refusals.size());
    if (unlisted > 0)
        lines << QStringLiteral("ほかに %1 行").arg(unlisted);
    return lines;
}

QStringList gCsvWarningLines(const CsvImportResult& result) {
    QStringList lines;
    for (const CsvRefusal& w : result.warnings)
        lines << QStringLiteral("%1 行目: %2").arg(w.line).arg(w.reason);
    const qint64 unlisted = result.warningCount - qint64(result.warnings.size());
    if (unlisted > 0)
        lines << QStringLiteral("ほかに %1 行").arg(unlisted);
    return lines;
}

QStringList gCsvChangeLines(const CsvImportResult& result) {
    QStringList lines;
    for (const CsvSupplierChange& c : result.changes)
        lines << QStringLiteral("%1 行目 仕入先番号 %2: %3")
                     .arg(c.line)
                     .arg(c.supplier)
                     .arg(c.fields.join(QStringLiteral("、")));
    const qint64 unlisted = result.changedCount - qint64(result.changes.size());
    if (unlisted > 0)
        lines << QStringLiteral("ほかに %1 件").arg(unlisted);
    return lines;
}

QString gCsvEncodingText(const CsvImportResult& result) {
    return QStringLiteral("文字コード: %1（%2）")
        .arg(result.encoding == CsvEncoding::Utf8 ? QStringLiteral("UTF-8")
                                                  : QStringLiteral("Shift_JIS"),
             result.encodingDetected ? QStringLiteral("自動判定") : QStringLiteral("指定"));
}

QStringList gCsvDuplicateLines(const CsvImportResult& result) {
    QStringList lines;
    for (const CsvDuplicate& d : result.duplicates)
        lines << (d.firstLine == 0
                      ? QStringLiteral("%1 行目: 登録済みの行と同じです").arg(d.line)
                      : QStringLiteral("%1 行目: %2 行目と同じです").arg(d.line).arg(d.firstLine));
    const qint64 unlisted = result.duplicateCount - qint64(result.duplicates.size());
    if (unlisted > 0)
        lines << QStringLiteral("ほかに %1 行").arg(unlisted);
    return lines;
}
