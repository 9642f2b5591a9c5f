#include "ledger/Totals.h"

#include "base/ErrorLog.h"
#include "ledger/LineRules.h"
#include "master/SupplierRecords.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "store/TaxRates.h"

#include <limits>

namespace {

// Setting 32: the consumption tax rate in percent.
constexpr int kTaxRateSetting = SettingNo::TaxRate;

using Rounding = Currency::Rounding;

// The nearest limit of the currency's range for a result beyond it, by the sign of a × b.
Currency rangeLimit(Currency a, Currency b) {
    const Currency max = Currency::fromRaw(std::numeric_limits<std::int64_t>::max());
    return (a.raw() < 0) != (b.raw() < 0) ? -max : max;
}

// cost ÷ regular × 100 held as currency (four decimals, halves away from zero) and then cut to
// one decimal: 5 800 ÷ 10 000 × 100 is 58.0. Beyond the range: the range's limit.
Currency cutRatio(Currency cost, Currency regular) {
    const std::optional<Currency> held =
        Currency::mulDiv({cost, Currency::fromInt(100)}, {regular}, Rounding::HalfAway);
    return held ? held->rounded(1, Rounding::Down) : rangeLimit(cost, regular);
}

} // namespace

bool gLineFilterSql(const LineFilter& filter, QString& sql, QVariantList& params,
                    const QString& procName) {
    // Built apart first, so that a failure leaves the caller's text and values alone.
    QString out;
    QVariantList values;
    auto classPart = [&](const ClassCondition& c, QString& part) {
        if (c.classNo < 1 || c.classNo > 3) {
            gProcError(procName, QStringLiteral("classNo=") + QString::number(c.classNo));
            return false;
        }
        part = QStringLiteral("strClass") + QString::number(c.classNo) + QStringLiteral("=?");
        return true;
    };
    if ((filter.from && !filter.from->isValid()) || (filter.to && !filter.to->isValid())) {
        gProcError(procName, QStringLiteral("invalid date"));
        return false;
    }
    if (filter.from) {
        out += QStringLiteral(" AND (date1>=?)");
        values << *filter.from;
    }
    if (filter.to) {
        out += QStringLiteral(" AND (date1<=?)");
        values << *filter.to;
    }
    if (filter.costOnly)
        out += QStringLiteral(" AND (curCost IS NOT NULL)");
    QString a;
    QString b;
    if (filter.first && !classPart(*filter.first, a))
        return false;
    if (filter.second && !classPart(*filter.second, b))
        return false;
    if (!a.isEmpty() && !b.isEmpty()) {
        out += QStringLiteral(" AND ((") + a +
               (filter.join == FilterJoin::And ? QStringLiteral(") AND (")
                                               : QStringLiteral(") OR (")) +
               b + QStringLiteral("))");
        values << filter.first->value << filter.second->value;
    } else if (!a.isEmpty() || !b.isEmpty()) {
        out += QStringLiteral(" AND (") + (a.isEmpty() ? b : a) + QLatin1Char(')');
        values << (a.isEmpty() ? filter.second->value : filter.first->value);
    }
    if (filter.excludeTaxLines) {
        out += QStringLiteral(" AND (strItem IS NULL OR instr(strItem,?)=0)");
        values << kTaxItemText;
    }
    sql += out;
    params += values;
    return true;
}

bool gCalcDATAEachTotal(Database& db, qint32 masterID, const QDate& start, const QDate& end,
                        int kind, Currency defaultRatio, DataTotals& totals,
                        const LineFilter& filter) {
    const QString proc = QStringLiteral("gCalcDATAEachTotal");
    totals = DataTotals();
    if (kind != 1 && kind != 2) {
        gProcError(proc, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    if (!start.isValid() || !end.isValid()) {
        gProcError(proc, QStringLiteral("invalid period"));
        return false;
    }
    const QString table = QStringLiteral("T_DATA") + QString::number(kind);
    // One statement, two range scans of the (lngMasterID, date1, curCost, curPayment) index:
    // the lines before the start (the carry, read from the index alone unless a filter needs
    // more columns) and the lines of the period. Placeholders are plain "?", bound in the
    // order of the text.
    QVariantList params;
    QString sql = QStringLiteral("SELECT c.curPrevCost AS curPrevCost,"
                                 " c.curPrevPayment AS curPrevPayment,"
                                 " p.curCost AS curCost, p.curTax AS curTax,"
                                 " p.curPayment AS curPayment, p.lngNoRatio AS lngNoRatio,"
                                 " p.lngRegular AS lngRegular"
                                 " FROM (SELECT SUM(curCost) AS curPrevCost,"
                                 " SUM(curPayment) AS curPrevPayment FROM ") +
                  table + QStringLiteral(" WHERE lngMasterID=? AND date1<?");
    params << masterID << start;
    if (!gLineFilterSql(filter, sql, params, proc))
        return false;
    sql += QStringLiteral(
        ") AS c,"
        " (SELECT SUM(CASE WHEN tax=0 THEN curCost END) AS curCost,"
        " SUM(CASE WHEN tax=1 THEN curCost END) AS curTax,"
        " SUM(curPayment) AS curPayment,"
        " SUM(CASE WHEN tax=0 AND curCost IS NOT NULL AND curRatio IS NULL"
        " AND curRegularPrice IS NULL THEN 1 ELSE 0 END) AS lngNoRatio,"
        // A line's regular-price amount, cut to whole yen: regular price × quantity (1 when
        // empty), otherwise amount ÷ (ratio ÷ 100) with the line's or the default ratio. A zero
        // divisor gives NULL (NULLIF: a server refuses a division by zero), which the sum
        // leaves out.
        " SUM(CASE WHEN tax=0 AND curCost IS NOT NULL THEN"
        " CASE WHEN curRegularPrice IS NOT NULL"
        " THEN CAST((curRegularPrice*COALESCE(curQuantity,10000))/100000000 AS BIGINT)"
        " ELSE CAST((curCost*100)/NULLIF(COALESCE(curRatio,?),0) AS BIGINT) END END)"
        " AS lngRegular"
        " FROM (SELECT curCost,curPayment,curRatio,curRegularPrice,curQuantity,"
        " (CASE WHEN strItem IS NOT NULL AND instr(strItem,?)>0 THEN 1 ELSE 0 END) AS tax"
        " FROM ");
    params << QVariant::fromValue(defaultRatio) << kTaxItemText;
    sql += table + QStringLiteral(" WHERE lngMasterID=? AND date1>=? AND date1<=?");
    params << masterID << start << end;
    if (!gLineFilterSql(filter, sql, params, proc))
        return false;
    sql += QStringLiteral(") AS l) AS p");

    ResultSet rs(db);
    if (!rs.openRecordSet(sql, params, proc)) {
        // A sum beyond the 64-bit range is a property of the stored amounts, not a failure of
        // the program: the caller shows gSumOutOfRangeText (the engine's error stays logged).
        if (gDbSumOutOfRange(db)) {
            totals.outOfRange = true;
            return true;
        }
        return false;
    }
    if (rs.recordCount() != 1)
        return false;
    Currency opening;
    if (!gGetStartCarry(db, masterID, kind, opening)) {
        gProcError(proc, QStringLiteral("gGetStartCarry lngMasterID=") + QString::number(masterID));
        return false;
    }
    DataTotals t;
    t.cost = rs.cur(2);
    t.tax = rs.cur(3);
    t.payment = rs.cur(4);
    // The carry and the balance are formed here once, checked, so balance() cannot leave the
    // range afterwards.
    std::optional<Currency> carry = gCheckedSub(rs.cur(0), rs.cur(1));
    if (carry)
        carry = gCheckedAdd(*carry, opening);
    std::optional<Currency> balance = carry ? gCheckedAdd(*carry, t.cost) : std::nullopt;
    if (balance)
        balance = gCheckedAdd(*balance, t.tax);
    if (balance)
        balance = gCheckedSub(*balance, t.payment);
    const std::optional<Currency> regular = gCheckedFromInt(rs.lng(6));
    if (!balance || !regular) {
        totals.outOfRange = true;
        return true;
    }
    t.carry = *carry;
    if (defaultRatio.isZero() && rs.lng(5) > 0) {
        t.ratioValid = false;
        totals = t;
        return true;
    }
    t.ratioValid = true;
    t.regularTotal = *regular;
    if (!t.regularTotal.isZero())
        t.averageRatio = cutRatio(t.cost, t.regularTotal);
    totals = t;
    return true;
}

bool gCalcDATAEachTotal(qint32 masterID, const QDate& start, const QDate& end, int kind,
                        Currency defaultRatio, DataTotals& totals, const LineFilter& filter) {
    return gCalcDATAEachTotal(gdbData(), masterID, start, end, kind, defaultRatio, totals, filter);
}

PeriodBoxes gReadPeriodBoxes(const QString& startText, const QString& endText) {
    PeriodBoxes p;
    auto read = [](const QString& text, const QDate& whenEmpty, QDate& date, QString& out) {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            date = whenEmpty;
            out.clear();
            return true;
        }
        date = parseLedgerDate(t);
        if (!date.isValid()) {
            out = text;
            return false;
        }
        out = termDateText(date);
        return true;
    };
    if (!read(startText, earliestPeriodDate(), p.start, p.startText)) {
        p.invalidBox = 1;
        p.endText = endText;
        return p;
    }
    if (!read(endText, latestPeriodDate(), p.end, p.endText))
        p.invalidBox = 2;
    return p;
}

bool gCalcEstimatedTax(Database& db, Currency cost, const QDate& periodEnd, TaxEstimate& estimate) {
    const QString proc = QStringLiteral("gCalcEstimatedTax");
    std::optional<Currency> stored;
    if (!gGetSystemCurFieldIfStored(kTaxRateSetting, stored)) {
        gProcError(proc);
        return false;
    }
    TaxEstimate e;
    if (stored) {
        e.source = TaxRateSource::Setting;
        e.rate = *stored;
    } else {
        QList<TaxRate> rates;
        if (!gGetTaxRates(db, rates)) {
            gProcError(proc);
            return false;
        }
        if (const std::optional<TaxRate> r = gTaxRateOn(rates, periodEnd)) {
            e.source = TaxRateSource::Table;
            e.rate = r->standard;
            e.rateFrom = r->from;
        }
    }
    // Held as currency (four decimals, halves away from zero), then cut to whole yen; beyond the
    // range, the range's limit cut.
    const std::optional<Currency> held =
        Currency::mulDiv({cost, e.rate}, {Currency::fromInt(100)}, Rounding::HalfAway);
    e.tax = held.value_or(rangeLimit(cost, e.rate)).rounded(0, Rounding::Down);
    estimate = e;
    return true;
}

QString gEstimatedTaxTitle() {
    return QStringLiteral("消費税 予想額");
}

QString gEstimatedTaxText(const QString& costCaption, Currency tax) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("仕入金額 ") + costCaption + QStringLiteral(" 円 から予想される    ") +
           crlf + crlf + QStringLiteral("消費税額 (切り捨て) は ") + crlf + crlf +
           formatNumber(tax, QStringLiteral("#,##0")) + QStringLiteral(" 円です");
}

QString gEstimatedTaxText(const QString& costCaption, const TaxEstimate& e) {
    const QString crlf = QStringLiteral("\r\n");
    QString source;
    switch (e.source) {
    case TaxRateSource::Setting:
        source = QStringLiteral("（システム設定の消費税率）");
        break;
    case TaxRateSource::Table:
        source = QStringLiteral("（税率表の ") + termDateText(e.rateFrom) +
                 QStringLiteral(" からの標準税率）");
        break;
    case TaxRateSource::None:
        source = QStringLiteral("（期間末の税率が税率表にありません）");
        break;
    }
    return QStringLiteral("仕入金額 ") + costCaption + QStringLiteral(" 円 から予想される    ") +
           crlf + crlf + QStringLiteral("消費税額 (税率 ") + e.rate.toString() +
           QStringLiteral("%、切り捨て) は ") + crlf + crlf +
           formatNumber(e.tax, QStringLiteral("#,##0")) + QStringLiteral(" 円です") + crlf + crlf +
           source;
}
