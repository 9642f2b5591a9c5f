#include "store/TaxRates.h"

#include "base/ErrorLog.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/History.h"
#include "store/Settings.h"

bool gGetTaxRates(Database& db, QList<TaxRate>& rates) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT datFrom, curStandard, curReduced FROM T_TAX_RATE"
                                         " ORDER BY datFrom"),
                          {}, QStringLiteral("gGetTaxRates")))
        return false;
    QList<TaxRate> read;
    for (const QVariantList& row : rs.rows()) {
        const QDate from = row.value(0).toDate();
        if (!from.isValid()) {
            gProcError(QStringLiteral("gGetTaxRates"),
                       QStringLiteral("datFrom=") + row.value(0).toString());
            return false;
        }
        read << TaxRate{from, row.value(1).value<Currency>(), row.value(2).value<Currency>()};
    }
    rates = read;
    return true;
}

bool gChkStoredTaxRates(Database& db, QString& problem) {
    problem.clear();
    ResultSet rs(db);
    // The values as stored (names that the result set does not convert).
    if (!rs.openRecordSet(QStringLiteral("SELECT datFrom AS strFrom, curStandard AS rawStandard,"
                                         " curReduced AS rawReduced, typeof(curStandard),"
                                         " typeof(curReduced) FROM T_TAX_RATE ORDER BY datFrom"),
                          {}, QStringLiteral("gChkStoredTaxRates")))
        return false;
    const qint64 hundred = Currency::fromInt(100).raw();
    for (const QVariantList& row : rs.rows()) {
        const QString from = row.value(0).toString();
        const bool dateOk =
            from.size() == 10 && QDate::fromString(from, QStringLiteral("yyyy-MM-dd")).isValid();
        bool ratesOk = true;
        QString rates[2];
        for (int i = 0; i < 2; ++i) {
            const QVariant v = row.value(1 + i);
            if (row.value(3 + i).toString() == QLatin1String("integer")) {
                const qint64 raw = v.toLongLong();
                rates[i] = Currency::fromRaw(raw).toString() + QLatin1Char('%');
                ratesOk = ratesOk && raw >= 0 && raw <= hundred;
            } else {
                rates[i] = v.toString();
                ratesOk = false;
            }
        }
        if (dateOk && ratesOk)
            continue;
        problem = QStringLiteral("消費税率の表に正しくない行があります。\r\n"
                                 "適用日「%1」、標準税率「%2」、軽減税率「%3」\r\n"
                                 "この行は、このプログラムの画面からは書き込まれない値です。"
                                 "その行を直すか、最新のバックアップを復元してください。")
                      .arg(from, rates[0], rates[1]);
        gProcError(QStringLiteral("gChkStoredTaxRates"),
                   QStringLiteral("datFrom=%1 curStandard=%2 curReduced=%3")
                       .arg(from, row.value(1).toString(), row.value(2).toString()));
        return true;
    }
    return true;
}

std::optional<TaxRate> gTaxRateOn(const QList<TaxRate>& rates, const QDate& date) {
    std::optional<TaxRate> found;
    for (const TaxRate& r : rates) {
        if (r.from > date)
            break;
        found = r;
    }
    return found;
}

TaxRateRefusal gChkTaxRate(const QList<TaxRate>& rates, const TaxRate& row) {
    if (!row.from.isValid())
        return TaxRateRefusal::InvalidDate;
    for (const TaxRate& r : rates) {
        if (r.from == row.from)
            return TaxRateRefusal::DuplicateDate;
    }
    const auto inRange = [](Currency c) { return c >= Currency() && c <= Currency::fromInt(100); };
    if (!inRange(row.standard) || !inRange(row.reduced))
        return TaxRateRefusal::RateOutOfRange;
    return TaxRateRefusal::None;
}

QString gTaxRateRefusalText(TaxRateRefusal refusal) {
    switch (refusal) {
    case TaxRateRefusal::None:
        return {};
    case TaxRateRefusal::InvalidDate:
        return QStringLiteral("適用日が正しくありません。\r\n正しい日付を入力してください。");
    case TaxRateRefusal::DuplicateDate:
        return QStringLiteral("この適用日の税率はすでに登録されています。");
    case TaxRateRefusal::RateOutOfRange:
        return QStringLiteral("税率は０％～１００％の範囲で入力してください。");
    }
    return {};
}

bool gAddTaxRate(Database& db, const TaxRate& row) {
    HistoryScope history(db, HistoryOrigin::Typed);
    return history.ok() &&
           db.executeSQL(
               QStringLiteral("INSERT INTO T_TAX_RATE (datFrom, curStandard, "
                              "curReduced) VALUES (?,?,?)"),
               {row.from, QVariant::fromValue(row.standard), QVariant::fromValue(row.reduced)},
               QStringLiteral("gAddTaxRate")) &&
           gSendChangeNotice(db, QStringLiteral("T_TAX_RATE"), 0, QStringLiteral("gAddTaxRate")) &&
           history.commit();
}

bool gTaxRateLineCount(Database& db, const QList<TaxRate>& rates, const QDate& from,
                       qint64& count) {
    count = 0;
    QDate next;
    for (const TaxRate& r : rates) {
        if (r.from > from && (!next.isValid() || r.from < next))
            next = r.from;
    }
    // Dates are stored as text that sorts as the dates do.
    QString range = QStringLiteral(" WHERE date1 >= ?");
    QVariantList params{from};
    if (next.isValid()) {
        range += QStringLiteral(" AND date1 < ?");
        params << next;
    }
    for (const QString& table : {QStringLiteral("T_DATA1"), QStringLiteral("T_DATA2")}) {
        ResultSet rs(db);
        if (!rs.openRecordSet(QStringLiteral("SELECT count(*) FROM ") + table + range, params,
                              QStringLiteral("gTaxRateLineCount")) ||
            !rs.moveFirst())
            return false;
        count += rs.lng(0);
    }
    return true;
}

bool gChkTaxRateEdit(Database& db, const QDate& from, const std::optional<TaxRate>& replacement,
                     TaxRateEditRefusal& refusal, TaxRateRefusal& refused) {
    refusal = TaxRateEditRefusal::None;
    refused = TaxRateRefusal::None;
    QList<TaxRate> rates;
    qint64 lines = 0;
    if (!gGetTaxRates(db, rates) || !gTaxRateLineCount(db, rates, from, lines))
        return false;
    if (lines > 0) {
        refusal = TaxRateEditRefusal::LinesDependOnIt;
        return true;
    }
    if (!replacement)
        return true;
    QList<TaxRate> others;
    for (const TaxRate& r : rates)
        if (r.from != from)
            others << r;
    refused = gChkTaxRate(others, *replacement);
    if (refused != TaxRateRefusal::None) {
        refusal = TaxRateEditRefusal::Refused;
        return true;
    }
    // A row moved to another date takes the lines of its new range.
    QList<TaxRate> after = others;
    after << *replacement;
    if (!gTaxRateLineCount(db, after, replacement->from, lines))
        return false;
    if (lines > 0)
        refusal = TaxRateEditRefusal::LinesWouldDependOnIt;
    return true;
}

bool gEditTaxRate(Database& db, const QDate& from, const std::optional<TaxRate>& replacement,
                  const TaxRate* shown, bool* conflict) {
    const QString proc = QStringLiteral("gEditTaxRate");
    if (conflict)
        *conflict = false;
    HistoryScope history(db, HistoryOrigin::Typed);
    if (!history.ok())
        return false;
    QString sql;
    QVariantList params;
    if (replacement) {
        sql = QStringLiteral(
            "UPDATE T_TAX_RATE SET datFrom = ?1, curStandard = ?2, curReduced = ?3 WHERE "
            "datFrom = ?4");
        params = {replacement->from, QVariant::fromValue(replacement->standard),
                  QVariant::fromValue(replacement->reduced), from};
    } else {
        sql = QStringLiteral("DELETE FROM T_TAX_RATE WHERE datFrom = ?1");
        params = {from};
    }
    // Written only while the row holds the rates the window showed.
    if (shown) {
        params << QVariant::fromValue(shown->standard) << QVariant::fromValue(shown->reduced);
        sql += QStringLiteral(" AND curStandard = ?%1 AND curReduced = ?%2")
                   .arg(params.size() - 1)
                   .arg(params.size());
    }
    if (!db.executeSQL(sql, params, proc))
        return false;
    if (shown && db.changes() == 0) {
        if (conflict)
            *conflict = true;
        return false;
    }
    if (db.changes() != 1) {
        gProcError(proc, QStringLiteral("no row dated ") + from.toString(Qt::ISODate));
        return false;
    }
    return gSendChangeNotice(db, QStringLiteral("T_TAX_RATE"), 0, proc) && history.commit();
}

bool gGetTaxClass(qint32& classNo) {
    constexpr const SettingDef& row = settingDef(kTaxClassSetting);
    qint32 v = row.defaultValue;
    if (!gGetSetting(kTaxClassSetting, v)) {
        gProcError(QStringLiteral("gGetTaxClass"));
        return false;
    }
    classNo = row.inRange(v) ? v : row.defaultValue;
    return true;
}

bool gGetTaxEntry(TaxEntry& entry) {
    qint32 v = 0;
    if (!gGetSetting(SettingNo::TaxEntry, v)) {
        gProcError(QStringLiteral("gGetTaxEntry"));
        return false;
    }
    entry = v == 1 ? TaxEntry::Inclusive : TaxEntry::Exclusive;
    return true;
}

QString gTaxEntryText(TaxEntry entry) {
    return entry == TaxEntry::Inclusive ? QStringLiteral("税込") : QStringLiteral("税抜");
}

Currency gNationalTaxRate(const QDate& from, Currency rate) {
    struct Era {
        QDate from;
        std::int64_t num;
        std::int64_t den;
    };
    static const Era eras[] = {
        {QDate(2019, 10, 1), 78, 100}, {QDate(2014, 4, 1), 63, 80}, {QDate(1997, 4, 1), 4, 5}};
    for (const Era& e : eras)
        if (from >= e.from)
            return Currency::fromRaw(rate.raw() * e.num / e.den);
    return rate;
}

bool gGetTaxRates(QList<TaxRate>& rates) {
    return gGetTaxRates(gdbData(), rates);
}
bool gChkStoredTaxRates(QString& problem) {
    return gChkStoredTaxRates(gdbData(), problem);
}
