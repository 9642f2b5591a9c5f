#include "master/SupplierRecords.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "master/InvoiceNumber.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/History.h"
#include "store/Settings.h"
#include "store/ShownRow.h"

#include <QRegularExpression>
#include <set>

namespace {

constexpr int kSortSetting = SettingNo::SupplierOrder;

// The columns of T_MASTER in the order of every INSERT of this module.
const QString kInsertSql = QStringLiteral(
    " INSERT INTO T_MASTER"
    " (  lngMasterID ,lngSupplier ,blnValid ,curRegularSupplyRatio ,curRegularSaleRatio"
    " ,curStartSupplyCarry ,curStartSaleCarry ,strSupplierName ,strPosition"
    " ,strSupplierShortName ,strKana ,lngChargePerson ,strChargePerson1 ,strChargePersonNotes1"
    " ,strChargePerson2 ,strChargePersonNotes2 ,strPostCode1 ,strAddress1 ,strPostCode2"
    " ,strAddress2 ,strPhone1 ,strPhone1Notes ,strPhone2 ,strPhone2Notes ,strFax ,strFaxNotes"
    " ,lngBankAccount ,strBankAccount1 ,strBankAccount2 ,strNotes ,datLastUpdate"
    " ,strInvoiceNo ,datInvoiceFrom )"
    " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");

// The highest value of a column + 1 when that is 1-999; otherwise the lowest value of 1-999 that
// none of the queries returns; 0 when all are taken.
bool nextNumber(Database& db, const QString& maxSql, const QString& usedSql,
                const QString& procName, qint32& result) {
    result = 0;
    ResultSet rs(db);
    if (!rs.openRecordSet(maxSql, {}, procName))
        return false;
    const qint64 highest = rs.recordCount() > 0 ? rs.lng(0) : 0;
    if (highest + 1 >= 1 && highest + 1 <= kMaxSupplierNumber) {
        result = static_cast<qint32>(highest + 1);
        return true;
    }
    ResultSet used(db);
    if (!used.openRecordSet(usedSql, {kMaxSupplierNumber}, procName))
        return false;
    std::set<qint64> taken;
    for (const QVariantList& row : used.rows())
        taken.insert(row.value(0).toLongLong());
    for (qint32 n = 1; n <= kMaxSupplierNumber; ++n) {
        if (!taken.contains(n)) {
            result = n;
            break;
        }
    }
    return true;
}

enum class NumberKind { NotNumber, Value, OutOfRange };

struct EntryNumber {
    NumberKind kind = NumberKind::NotNumber;
    Currency value;
};

QString toHalfWidthNumber(const QString& text) {
    QString s = text.trimmed();
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            c = QChar(u'0' + (u - u'０'));
        else if (u == u'－' || u == u'−')
            c = QLatin1Char('-');
        else if (u == u'＋')
            c = QLatin1Char('+');
        else if (u == u'，')
            c = QLatin1Char(',');
        else if (u == u'．')
            c = QLatin1Char('.');
    }
    return s;
}

// A number box as the rules see it. A well-formed number that a currency value cannot hold
// (more than four decimals, too many digits) is still a number, only out of every range.
EntryNumber classify(const QString& text) {
    if (const auto v = Currency::parse(text))
        return {NumberKind::Value, *v};
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+(,\\d+)*(\\.\\d*)?|\\.\\d+)$"));
    if (number.match(toHalfWidthNumber(text)).hasMatch())
        return {NumberKind::OutOfRange, {}};
    return {};
}

bool ratioInRange(const EntryNumber& n) {
    if (n.kind != NumberKind::Value)
        return false;
    const Currency v = n.value;
    return v >= Currency() && v <= Currency::fromInt(AmountLimit::Ratio) && v.raw() % 1000 == 0;
}

bool carryInRange(const EntryNumber& n) {
    if (n.kind != NumberKind::Value)
        return false;
    const Currency v = n.value;
    return v >= Currency::fromInt(AmountLimit::CarryMin) &&
           v <= Currency::fromInt(AmountLimit::CarryMax) && v.isWhole();
}

const QString kCrLf = QStringLiteral("\r\n");

QString ratioMessage() {
    return QStringLiteral("規定掛率は０％～１００％の範囲で  ") + kCrLf +
           QStringLiteral("小数点１桁までです  ") + kCrLf + kCrLf;
}

QString carryMessage() {
    return QStringLiteral("残高は ") +
           formatNumber(Currency::fromInt(AmountLimit::CarryMin), QStringLiteral("yen")) +
           QStringLiteral(" ～ ") +
           formatNumber(Currency::fromInt(AmountLimit::CarryMax), QStringLiteral("yen")) +
           QStringLiteral(" の範囲で  ") + kCrLf + QStringLiteral("小数以下は受け付けません  ") +
           kCrLf + kCrLf;
}

SupplierCheck fail(int code, const QString& prefix, const QString& focus) {
    return {false, code, prefix, focus, {}};
}

QVariantList insertParams(const SupplierRecord& r, const QDateTime& now) {
    return {r.lngMasterID,
            r.lngSupplier,
            r.blnValid,
            QVariant::fromValue(r.curRegularSupplyRatio),
            QVariant::fromValue(r.curRegularSaleRatio),
            QVariant::fromValue(r.curStartSupplyCarry),
            QVariant::fromValue(r.curStartSaleCarry),
            r.strSupplierName,
            r.strPosition,
            r.strSupplierShortName,
            r.strKana,
            r.lngChargePerson,
            r.strChargePerson1,
            r.strChargePersonNotes1,
            r.strChargePerson2,
            r.strChargePersonNotes2,
            r.strPostCode1,
            r.strAddress1,
            r.strPostCode2,
            r.strAddress2,
            r.strPhone1,
            r.strPhone1Notes,
            r.strPhone2,
            r.strPhone2Notes,
            r.strFax,
            r.strFaxNotes,
            r.lngBankAccount,
            r.strBankAccount1,
            r.strBankAccount2,
            r.strNotes,
            now,
            r.strInvoiceNo,
            r.datInvoiceFrom.isValid() ? QVariant(r.datInvoiceFrom) : QVariant()};
}

} // namespace

// ---- Numbering -------------------------------------------------------------------------------

bool gGetNewLngMasterID(Database& db, qint32& masterID) {
    // An ID still used by ledger lines of a vanished supplier is never handed out again.
    return nextNumber(db, QStringLiteral(" SELECT MAX(lngMasterID) AS lngMax FROM T_MASTER"),
                      QStringLiteral(" SELECT lngMasterID FROM"
                                     " (SELECT lngMasterID FROM T_MASTER"
                                     " UNION SELECT lngMasterID FROM T_DATA1"
                                     " UNION SELECT lngMasterID FROM T_DATA2) AS ids"
                                     " WHERE lngMasterID BETWEEN 1 AND ?"),
                      QStringLiteral("gGetNewLngMasterID"), masterID);
}

bool gGetNewLngSupplier(Database& db, qint32& supplier) {
    return nextNumber(db, QStringLiteral(" SELECT MAX(lngSupplier) AS lngMax FROM T_MASTER"),
                      QStringLiteral(" SELECT lngSupplier FROM T_MASTER"
                                     " WHERE lngSupplier BETWEEN 1 AND ?"),
                      QStringLiteral("gGetNewLngSupplier"), supplier);
}

// ---- Lookups ---------------------------------------------------------------------------------

bool gChkDuplicateSupplier(Database& db, qint32 masterID, qint32 supplier, bool& duplicate) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral(" SELECT lngSupplier FROM T_MASTER"
                                         " WHERE lngSupplier=? AND lngMasterID<>?"),
                          {supplier, masterID}, QStringLiteral("gChkDuplicateSupplier")))
        return false;
    duplicate = rs.recordCount() > 0;
    return true;
}

bool gGetMasterIDBySupplier(Database& db, qint32 supplier, qint32& masterID) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral(" SELECT lngMasterID FROM T_MASTER WHERE lngSupplier=?"),
                          {supplier}, QStringLiteral("gGetMasterIDBySupplier")))
        return false;
    if (rs.recordCount() == 0)
        return false;
    masterID = static_cast<qint32>(rs.lng(0));
    return true;
}

bool gGetSupplierCount(Database& db, qint32& count, bool validOnly) {
    QString sql = QStringLiteral(" SELECT lngMasterID FROM T_MASTER");
    if (validOnly)
        sql += QStringLiteral(" WHERE blnValid<>0");
    ResultSet rs(db);
    if (!rs.openRecordSet(sql, {}, QStringLiteral("gGetSupplierCount")))
        return false;
    count = rs.recordCount();
    return true;
}

bool gGetSQLSupplierShortNameSort(QString& clause) {
    qint32 order = 0;
    if (!gGetSetting(kSortSetting, order)) {
        gProcError(QStringLiteral("gGetSQLSupplierShortNameSort"),
                   QStringLiteral("setting %1 could not be read").arg(kSortSetting));
        return false;
    }
    switch (order) {
    case 0:
        clause = QStringLiteral(" ORDER BY lngSupplier");
        return true;
    case 1:
        clause = QStringLiteral(" ORDER BY strKana NULLS FIRST,strSuppLierShortName NULLS FIRST");
        return true;
    default:
        gProcError(
            QStringLiteral("gGetSQLSupplierShortNameSort"),
            QStringLiteral("unknown sort order %1 in setting %2").arg(order).arg(kSortSetting));
        return false;
    }
}

bool gGetMasterData(Database& db, qint32 masterID, SupplierRecord& record) {
    const QString proc = QStringLiteral("gGetMasterData");
    ResultSet rs(db);
    if (!rs.openRecordSet(
            QStringLiteral(
                " SELECT lngSupplier ,blnValid ,curRegularSupplyRatio ,curRegularSaleRatio"
                " ,strSupplierName ,strPosition ,strSupplierShortName ,strKana ,lngChargePerson"
                " ,strChargePerson1 ,strChargePersonNotes1 ,strChargePerson2"
                " ,strChargePersonNotes2 ,strPostCode1 ,strAddress1 ,strPostCode2 ,strAddress2"
                " ,strPhone1 ,strPhone1Notes ,strPhone2 ,strPhone2Notes ,strFax ,strFaxNotes"
                " ,lngBankAccount ,strBankAccount1 ,strBankAccount2 ,strNotes ,datLastUpdate"
                " ,curStartSupplyCarry ,curStartSaleCarry ,strInvoiceNo ,datInvoiceFrom"
                " FROM T_MASTER WHERE lngMasterID=?"),
            {masterID}, proc))
        return false;
    if (rs.recordCount() == 0) {
        gProcError(proc, QStringLiteral("no supplier with lngMasterID=%1").arg(masterID));
        return false;
    }
    SupplierRecord r;
    int i = 0;
    const auto str = [&rs, &i]() { return rs.getFldData(i++).toString(); };
    r.lngMasterID = masterID;
    r.lngSupplier = static_cast<qint32>(rs.lng(i++));
    r.blnValid = rs.bln(i++);
    r.curRegularSupplyRatio = rs.cur(i++);
    r.curRegularSaleRatio = rs.cur(i++);
    r.strSupplierName = str();
    r.strPosition = str();
    r.strSupplierShortName = str();
    r.strKana = str();
    r.lngChargePerson = static_cast<qint32>(rs.lng(i++));
    r.strChargePerson1 = str();
    r.strChargePersonNotes1 = str();
    r.strChargePerson2 = str();
    r.strChargePersonNotes2 = str();
    r.strPostCode1 = str();
    r.strAddress1 = str();
    r.strPostCode2 = str();
    r.strAddress2 = str();
    r.strPhone1 = str();
    r.strPhone1Notes = str();
    r.strPhone2 = str();
    r.strPhone2Notes = str();
    r.strFax = str();
    r.strFaxNotes = str();
    r.lngBankAccount = static_cast<qint32>(rs.lng(i++));
    r.strBankAccount1 = str();
    r.strBankAccount2 = str();
    r.strNotes = str();
    {
        // A missing time reads as the access layer's null date; the seconds are dropped.
        const QVariant v = rs.value(i++);
        QDateTime t = v.isNull() ? QDateTime(QDate(1000, 1, 1), QTime(0, 0)) : v.toDateTime();
        if (t.isValid())
            t = QDateTime(t.date(), QTime(t.time().hour(), t.time().minute()));
        r.datLastUpdate = t;
    }
    r.curStartSupplyCarry = rs.cur(i++);
    r.curStartSaleCarry = rs.cur(i++);
    r.strInvoiceNo = str();
    r.datInvoiceFrom = rs.value(i++).toDate();
    record = r;
    return true;
}

bool gGetStartCarry(Database& db, qint32 masterID, int side, Currency& carry) {
    if (side != 1 && side != 2) {
        gProcError(QStringLiteral("gGetStartCarry"), QStringLiteral("unknown side %1").arg(side));
        return false;
    }
    SupplierRecord r;
    if (!gGetMasterData(db, masterID, r))
        return false;
    carry = side == 1 ? r.curStartSupplyCarry : r.curStartSaleCarry;
    return true;
}

bool gGetMasterSideLabels(Database& db, int kind, QString& ratioLabel, QString& carryLabel) {
    const QString proc = QStringLiteral("gGetMasterSideLabels");
    if (kind != 1 && kind != 2) {
        gProcError(proc, QStringLiteral("unknown ledger kind %1").arg(kind));
        return false;
    }
    QString word;
    if (!gGetDataCaption(kind, word))
        return false;
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral(" SELECT strDefault ,strCaption FROM T_DATA") +
                              QString::number(kind) +
                              QStringLiteral("_CAPTION WHERE lngCaptionNo=?"),
                          {8}, proc))
        return false;
    const QString caption = rs.recordCount() > 0 ? rs.text(1) : QString();
    ratioLabel = QStringLiteral("規定") + word + caption;
    carryLabel = QStringLiteral("開始") + word + QStringLiteral("残高");
    return true;
}

// ---- Lists -----------------------------------------------------------------------------------

QString gFormatSupplierItem(qint32 supplier, const QString& shortName) {
    return QString::number(supplier).rightJustified(3, QLatin1Char(' ')) + u'：' + shortName;
}

qint32 gGetSupplierFromItem(const QString& item) {
    const QString head = item.left(3).trimmed();
    qint32 value = 0;
    for (const QChar c : head) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

bool gGetSupplierShortNameItems(Database& db, QStringList& items, bool validOnly) {
    const QString proc = QStringLiteral("gSetSupplierShortNameToComboBoxItem");
    QString sql = QStringLiteral(" SELECT lngSupplier,strSuppLierShortName FROM T_MASTER");
    if (validOnly)
        sql += QStringLiteral(" WHERE blnValid<>0");
    QString order;
    if (!gGetSQLSupplierShortNameSort(order))
        return false;
    ResultSet rs(db);
    if (!rs.openRecordSet(sql + order, {}, proc))
        return false;
    QStringList result;
    for (const QVariantList& row : rs.rows())
        result << gFormatSupplierItem(static_cast<qint32>(row.value(0).toLongLong()),
                                      row.value(1).toString());
    items = result;
    return true;
}

namespace {

// Text as a search compares it: compatibility forms folded (half-width kana, full-width
// letters), hiragana as katakana, case folded.
QString searchForm(const QString& text) {
    QString s = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar& c : s) {
        if (c.unicode() >= 0x3041 && c.unicode() <= 0x3096)
            c = QChar(c.unicode() + 0x60);
    }
    return s.trimmed();
}

} // namespace

int gFindSupplierItem(const QStringList& items, const QHash<qint32, QStringList>& readings,
                      const QString& text) {
    const QString wanted = searchForm(text);
    if (wanted.isEmpty())
        return -1;
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    if (isNumber) {
        for (int i = 0; i < items.size(); ++i)
            if (gGetSupplierFromItem(items.at(i)) == number)
                return i;
    }
    for (int i = 0; i < items.size(); ++i) {
        const QString& item = items.at(i);
        const QString name = item.mid(item.indexOf(u'：') + 1);
        if (searchForm(name).contains(wanted))
            return i;
        for (const QString& other : readings.value(gGetSupplierFromItem(item)))
            if (searchForm(other).contains(wanted))
                return i;
    }
    return -1;
}

bool gGetSupplierReadings(Database& db, QHash<qint32, QStringList>& readings) {
    ResultSet rs(db);
    if (!rs.openRecordSet(
            QStringLiteral("SELECT lngSupplier, strKana, strSupplierName FROM T_MASTER"), {},
            QStringLiteral("gGetSupplierReadings")))
        return false;
    readings.clear();
    for (const QVariantList& row : rs.rows())
        readings.insert(qint32(row.value(0).toLongLong()),
                        {row.value(1).toString(), row.value(2).toString()});
    return true;
}

bool gGetPhoneNoteItems(Database& db, QStringList& items) {
    const QString home = QStringLiteral("自宅");
    const QString mobile = QStringLiteral("携帯電話");
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral(" SELECT strNote FROM"
                                         " (SELECT strPhone1Notes AS strNote FROM T_MASTER"
                                         " UNION SELECT strPhone2Notes FROM T_MASTER) AS n"
                                         " WHERE strNote IS NOT NULL AND TRIM(strNote)<>''"
                                         " AND strNote<>? AND strNote<>?"
                                         " ORDER BY strNote"),
                          {home, mobile}, QStringLiteral("gSetComboItem")))
        return false;
    QStringList result{home, mobile};
    for (const QVariantList& row : rs.rows())
        result << row.value(0).toString();
    items = result;
    return true;
}

// ---- Entry validation ------------------------------------------------------------------------

std::optional<Currency> gParseEntryNumber(const QString& text) {
    return Currency::parse(text);
}

SupplierCheck mChkMasterData(const SupplierEntry& e) {
    const int required = 19;
    const int wrongValue = 1;
    if (e.supplierName.isEmpty())
        return fail(required, QStringLiteral("仕入先名は"), QStringLiteral("txtSupplierName"));
    if (e.supplierShortName.isEmpty())
        return fail(required, QStringLiteral("仕入先表示名は"),
                    QStringLiteral("txtSupplierShortName"));
    // An empty box is missing; any other text that is no number says so.
    const int notNumber = 2;
    const auto missing = [&](const QString& text, const QString& what, const QString& control) {
        return fail(text.trimmed().isEmpty() ? required : notNumber, what, control);
    };
    const EntryNumber supplyRatio = classify(e.regularSupplyRatio);
    const EntryNumber saleRatio = classify(e.regularSaleRatio);
    if (supplyRatio.kind == NumberKind::NotNumber)
        return missing(e.regularSupplyRatio, QStringLiteral("規定掛率は"),
                       QStringLiteral("txtRegularSupplyRatio"));
    if (saleRatio.kind == NumberKind::NotNumber)
        return missing(e.regularSaleRatio, QStringLiteral("規定掛率は"),
                       QStringLiteral("txtRegularSaleRatio"));
    if (!ratioInRange(supplyRatio))
        return fail(wrongValue, ratioMessage(), QStringLiteral("txtRegularSupplyRatio"));
    if (!ratioInRange(saleRatio))
        return fail(wrongValue, ratioMessage(), QStringLiteral("txtRegularSaleRatio"));
    const EntryNumber supplyCarry = classify(e.startSupplyCarry);
    const EntryNumber saleCarry = classify(e.startSaleCarry);
    if (supplyCarry.kind == NumberKind::NotNumber)
        return missing(e.startSupplyCarry, QStringLiteral("開始残高は"),
                       QStringLiteral("txtStartSupplyCarry"));
    if (saleCarry.kind == NumberKind::NotNumber)
        return missing(e.startSaleCarry, QStringLiteral("開始残高は"),
                       QStringLiteral("txtStartSaleCarry"));
    if (!carryInRange(supplyCarry))
        return fail(wrongValue, carryMessage(), QStringLiteral("txtStartSupplyCarry"));
    if (!carryInRange(saleCarry))
        return fail(wrongValue, carryMessage(), QStringLiteral("txtStartSaleCarry"));
    const QString invoiceNo = gNormalizeInvoiceNo(e.invoiceNo);
    const InvoiceNoStatus invoice = gChkInvoiceNo(invoiceNo);
    const QString invoiceBox = QStringLiteral("txtInvoiceNo");
    if (invoice == InvoiceNoStatus::WrongFormat)
        return fail(wrongValue, QStringLiteral("登録番号は Ｔ と数字１３桁です  ") + kCrLf + kCrLf,
                    invoiceBox);
    if (invoice == InvoiceNoStatus::LeadingZero)
        return fail(wrongValue,
                    QStringLiteral("登録番号の数字は０で始まりません  ") + kCrLf + kCrLf,
                    invoiceBox);
    bool dateOk = false;
    const QDate invoiceFrom = gParseInvoiceDate(e.invoiceFrom, dateOk);
    const QString dateBox = QStringLiteral("txtInvoiceFrom");
    if (!dateOk)
        return fail(4, QStringLiteral("登録日の"), dateBox);
    if (invoice == InvoiceNoStatus::Empty && invoiceFrom.isValid())
        return fail(required, QStringLiteral("登録日があるときは登録番号も"), invoiceBox);
    if (invoice != InvoiceNoStatus::Empty && !invoiceFrom.isValid())
        return fail(required, QStringLiteral("登録番号の登録日は"), dateBox);
    bool okSupplier = false;
    const int supplier = e.supplier.toInt(&okSupplier);
    if (!okSupplier || supplier < 1 || supplier > kMaxSupplierNumber)
        return fail(required, QStringLiteral("仕入先番号は"), QStringLiteral("cboLngSupplier"));
    SupplierCheck ok;
    if (invoice == InvoiceNoStatus::CheckDigitDiffers)
        ok.confirmText = QStringLiteral("登録番号 ") + invoiceNo +
                         QStringLiteral(" のチェックデジットが一致しません。") + kCrLf +
                         QStringLiteral("番号を確かめてください。このまま登録しますか？");
    return ok;
}

bool gEntryToRecord(const SupplierEntry& e, SupplierRecord& record) {
    bool okId = false, okSupplier = false;
    SupplierRecord r;
    r.lngMasterID = e.masterID.toInt(&okId);
    r.lngSupplier = e.supplier.toInt(&okSupplier);
    const auto supplyRatio = Currency::parse(e.regularSupplyRatio);
    const auto saleRatio = Currency::parse(e.regularSaleRatio);
    const auto supplyCarry = Currency::parse(e.startSupplyCarry);
    const auto saleCarry = Currency::parse(e.startSaleCarry);
    if (!okId || !okSupplier || !supplyRatio || !saleRatio || !supplyCarry || !saleCarry)
        return false;
    r.blnValid = e.valid;
    r.curRegularSupplyRatio = *supplyRatio;
    r.curRegularSaleRatio = *saleRatio;
    r.curStartSupplyCarry = *supplyCarry;
    r.curStartSaleCarry = *saleCarry;
    r.strSupplierName = e.supplierName;
    r.strPosition = e.position;
    r.strSupplierShortName = e.supplierShortName;
    r.strKana = e.kana;
    r.lngChargePerson = e.chargePerson;
    r.strChargePerson1 = e.chargePerson1;
    r.strChargePersonNotes1 = e.chargePersonNotes1;
    r.strChargePerson2 = e.chargePerson2;
    r.strChargePersonNotes2 = e.chargePersonNotes2;
    r.strPostCode1 = e.postCode1;
    r.strAddress1 = e.address1;
    r.strPostCode2 = e.postCode2;
    r.strAddress2 = e.address2;
    r.strPhone1 = e.phone1;
    r.strPhone1Notes = e.phone1Notes;
    r.strPhone2 = e.phone2;
    r.strPhone2Notes = e.phone2Notes;
    r.strFax = e.fax;
    r.strFaxNotes = e.faxNotes;
    r.lngBankAccount = e.bankAccount;
    r.strBankAccount1 = e.bankAccount1;
    r.strBankAccount2 = e.bankAccount2;
    r.strNotes = e.notes;
    r.strInvoiceNo = gNormalizeInvoiceNo(e.invoiceNo);
    bool dateOk = false;
    r.datInvoiceFrom = gParseInvoiceDate(e.invoiceFrom, dateOk);
    record = r;
    return true;
}

// ---- Storing ---------------------------------------------------------------------------------

bool mDataInsert2(Database& db, const SupplierRecord& record) {
    const QDateTime now = svc().clock().now();
    return db.executeSQL(kInsertSql, insertParams(record, now), QStringLiteral("mDataInsert2"));
}

bool mDataDel(Database& db, qint32 masterID) {
    return db.executeSQL(QStringLiteral(" DELETE FROM T_MASTER WHERE lngMasterID=?"), {masterID},
                         QStringLiteral("mDataDel"));
}

bool mDataModify(Database& db, const SupplierRecord& record, const ShownRow* shown,
                 bool* conflict) {
    const QString proc = QStringLiteral("mDataModify");
    if (conflict)
        *conflict = false;
    // Delete and insert again in one transaction, so a failing insert keeps the old row.
    Transaction tx(db);
    if (!tx.ok()) {
        gProcError(proc);
        return false;
    }
    if (shown) {
        // Deleted only while it holds what the window showed: else another program changed it.
        QString sql = QStringLiteral("DELETE FROM T_MASTER WHERE lngMasterID = ?1");
        QVariantList params{record.lngMasterID};
        shown->appendCondition(sql, params);
        if (!db.executeSQL(sql, params, proc))
            return false;
        if (db.changes() == 0) {
            if (conflict)
                *conflict = true;
            return false;
        }
    } else if (!mDataDel(db, record.lngMasterID)) {
        return false;
    }
    if (!mDataInsert2(db, record))
        return false;
    if (!tx.commit()) {
        gProcError(proc);
        return false;
    }
    return true;
}

bool mSaveMasterData(Database& db, qint32 mode, const SupplierRecord& record, const ShownRow* shown,
                     bool* conflict) {
    if (conflict)
        *conflict = false;
    if (mode != 0 && mode != 1) {
        gProcError(QStringLiteral("mSaveMasterData"), QStringLiteral("unknown mode %1").arg(mode));
        return false;
    }
    // One typed change of the history (a modification is its deletion and insertion).
    HistoryScope history(db, HistoryOrigin::Typed);
    if (!history.ok() ||
        !(mode == 0 ? mDataInsert2(db, record) : mDataModify(db, record, shown, conflict)))
        return false;
    if (!history.commit()) {
        gProcError(QStringLiteral("mSaveMasterData"));
        return false;
    }
    return true;
}

bool gReadShownSupplier(Database& db, qint32 masterID, ShownRow& shown) {
    return shown.read(db, QStringLiteral("T_MASTER"), QStringLiteral("lngMasterID"), masterID,
                      QStringLiteral("gReadShownSupplier"));
}

// ---- On the program's data file --------------------------------------------------------------

bool gGetNewLngMasterID(qint32& masterID) {
    return gGetNewLngMasterID(gdbData(), masterID);
}
bool gChkDuplicateSupplier(qint32 masterID, qint32 supplier, bool& duplicate) {
    return gChkDuplicateSupplier(gdbData(), masterID, supplier, duplicate);
}
bool gGetMasterIDBySupplier(qint32 supplier, qint32& masterID) {
    return gGetMasterIDBySupplier(gdbData(), supplier, masterID);
}
bool gGetSupplierCount(qint32& count, bool validOnly) {
    return gGetSupplierCount(gdbData(), count, validOnly);
}
bool gGetMasterData(qint32 masterID, SupplierRecord& record) {
    return gGetMasterData(gdbData(), masterID, record);
}
bool mDataInsert2(const SupplierRecord& record) {
    return mDataInsert2(gdbData(), record);
}
