#include "ledger/LineRules.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "store/AmountLimits.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QRegularExpression>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

using Rounding = Currency::Rounding;

// Largest magnitude a derived value may have: the currency type holds about 9.2e14.
constexpr Currency kMaxDerived = Currency::fromInt(900'000'000'000'000);

// The text member of a Text column (nullptr for another column).
template <typename Line> auto textField(Line& line, int column) -> decltype(&line.strItem) {
    if (column < 0 || column >= LedgerCol::Count)
        return nullptr;
    const LedgerColumn& c = ledgerColumn(column);
    return c.kind() == LedgerKind::Text ? &(line.*c.field.text) : nullptr;
}

// Half- or full-width digits to half-width; full-width separators to half-width.
QString normalizeDigits(const QString& text) {
    QString s = text.trimmed();
    for (QChar& ch : s) {
        const char16_t c = ch.unicode();
        if (c >= u'０' && c <= u'９')
            ch = QChar(u'0' + (c - u'０'));
        else if (c == u'／')
            ch = QChar(u'/');
        else if (c == u'－')
            ch = QChar(u'-');
        else if (c == u'．')
            ch = QChar(u'.');
        else if (c == u'　')
            ch = QChar(u' ');
    }
    return s;
}

Currency absolute(Currency c) {
    return c.raw() < 0 ? -c : c;
}

// factors ÷ divisors as the currency type holds it (four decimals, halves away from zero), then
// cut to `digits` decimals toward zero. No value when it is beyond kMaxDerived (or a divisor is
// zero) or, cut, larger than the limit of the column it goes into.
std::optional<Currency> truncated(std::initializer_list<Currency> factors,
                                  std::initializer_list<Currency> divisors, int digits,
                                  int column) {
    const std::optional<Currency> held = Currency::mulDiv(factors, divisors, Rounding::HalfAway);
    if (!held || absolute(*held) > kMaxDerived)
        return std::nullopt;
    const Currency cut = held->rounded(digits, Rounding::Down);
    // The ratio's own rule (at most 100 %) follows with a message that shows the value.
    if (column != LedgerCol::Ratio &&
        (cut.raw() < 0 ? -cut : cut) > Currency::fromInt(gLedgerColumnLimit(column)))
        return std::nullopt;
    return cut;
}

const Currency kOne = Currency::fromInt(1);

// "Missing (or 1)": no cost, or a cost of exactly 1.
bool costMissingOrOne(const LedgerLine& line) {
    return !line.curCost || *line.curCost == kOne;
}

const Currency kHundred = Currency::fromInt(100);

// The line's quantity; none counts as 1.
Currency quantityOf(const LedgerLine& line) {
    return line.curQuantity.value_or(kOne);
}

void tooLarge(DeriveResult& r, int column) {
    r.warning.ok = false;
    r.warning.text = QStringLiteral("計算値が大きすぎるため、入力できません") + kCrLf + kCrLf +
                     QStringLiteral("（上限 ") + gLimitText(gLedgerColumnLimit(column)) +
                     QStringLiteral("）");
}

// Text in the shape of a number (sign, digits with separators, decimals), whatever its size.
bool looksLikeNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+(,\\d+)*(\\.\\d*)?|\\.\\d+)$"));
    return number.match(normalizeDigits(text).replace(u'，', u',').replace(u'＋', u'+')).hasMatch();
}

// The refusal of a value beyond the column's limit, naming the limit.
QString limitMessage(int column, bool positiveOnly) {
    const QString limit = gLimitText(gLedgerColumnLimit(column));
    if (positiveOnly)
        return limit + QStringLiteral(" 以下で入力してください");
    return QLatin1Char('-') + limit + QStringLiteral(" ～ ") + limit +
           QStringLiteral(" の範囲で入力してください");
}

bool classDefault(LedgerLine& line, int classNo, const QString& proc) {
    std::optional<QString>* field = textField(line, LedgerCol::Class1 + classNo - 1);
    if (field->has_value() && !(*field)->isEmpty())
        return true;
    QString def;
    if (!gGetSetting(gClassDefaultSettingNo(classNo), def)) {
        gProcError(proc);
        return false;
    }
    if (!def.isEmpty())
        *field = def;
    return true;
}

bool blankText(const std::optional<QString>& s) {
    return s && s->trimmed().isEmpty();
}

} // namespace

QString ledgerFieldName(int column) {
    if (column < 0 || column >= LedgerCol::Count)
        return {};
    return QLatin1String(ledgerColumn(column).sqlName);
}

QVariant LedgerLine::value(int column) const {
    auto opt = [](const auto& o) -> QVariant {
        if (!o)
            return {};
        return QVariant::fromValue(*o);
    };
    if (column < 0 || column >= LedgerCol::Count)
        return {};
    const LedgerField& f = ledgerColumn(column).field;
    switch (f.kind) {
    case LedgerKind::Number: {
        const std::optional<qint32>& n = this->*f.number;
        return n ? QVariant(int(*n)) : QVariant();
    }
    case LedgerKind::Date:
        return opt(this->*f.date);
    case LedgerKind::Text:
        return opt(this->*f.text);
    case LedgerKind::Amount:
        return opt(this->*f.amount);
    case LedgerKind::Flag:
        return QVariant(this->*f.flag);
    }
    return {};
}

bool LedgerLine::setValue(int column, const QVariant& v) {
    if (column < 0 || column >= LedgerCol::Count)
        return false;
    const bool null = v.isNull();
    const LedgerField& field = ledgerColumn(column).field;
    switch (field.kind) {
    case LedgerKind::Number: {
        std::optional<qint32>& f = this->*field.number;
        if (null) {
            f.reset();
            return true;
        }
        if (v.metaType() == QMetaType::fromType<Currency>()) {
            const Currency c = v.value<Currency>();
            if (!c.isWhole())
                return false;
            f = static_cast<qint32>(c.truncated());
            return true;
        }
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok || n < INT32_MIN || n > INT32_MAX)
            return false;
        f = static_cast<qint32>(n);
        return true;
    }
    case LedgerKind::Date: {
        std::optional<QDate>& f = this->*field.date;
        if (null) {
            f.reset();
            return true;
        }
        QDate d;
        if (v.metaType() == QMetaType::fromType<QDate>())
            d = v.toDate();
        else if (v.metaType() == QMetaType::fromType<QDateTime>())
            d = v.toDateTime().date();
        else
            d = parseLedgerDate(v.toString());
        if (!d.isValid())
            return false;
        f = d;
        return true;
    }
    case LedgerKind::Flag:
        this->*field.flag = null ? false : v.toBool();
        return true;
    case LedgerKind::Text: {
        std::optional<QString>* t = &(this->*field.text);
        if (null)
            t->reset();
        else
            *t = v.toString();
        return true;
    }
    case LedgerKind::Amount: {
        std::optional<Currency>* c = &(this->*field.amount);
        if (null) {
            c->reset();
            return true;
        }
        if (v.metaType() == QMetaType::fromType<Currency>()) {
            *c = v.value<Currency>();
            return true;
        }
        if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float) {
            *c = Currency::fromDouble(v.toDouble());
            return true;
        }
        if (v.metaType().id() == QMetaType::QString) {
            const std::optional<Currency> p = Currency::parse(v.toString());
            if (!p)
                return false;
            *c = *p;
            return true;
        }
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok)
            return false;
        *c = Currency::fromInt(n);
        return true;
    }
    }
    return false;
}

bool LedgerLine::sameValue(int column, const LedgerLine& other) const {
    if (column < 0 || column >= LedgerCol::Count)
        return true;
    const LedgerField& f = ledgerColumn(column).field;
    switch (f.kind) {
    case LedgerKind::Number:
        return this->*f.number == other.*f.number;
    case LedgerKind::Date:
        return this->*f.date == other.*f.date;
    case LedgerKind::Text:
        return this->*f.text == other.*f.text;
    case LedgerKind::Amount:
        return this->*f.amount == other.*f.amount;
    case LedgerKind::Flag:
        return this->*f.flag == other.*f.flag;
    }
    return true;
}

bool LedgerLine::isEmpty(int column) const {
    const QVariant v = value(column);
    if (v.isNull())
        return true;
    return v.metaType().id() == QMetaType::QString && v.toString().isEmpty();
}

bool LedgerLine::isTaxLine() const {
    return strItem && strItem->contains(kTaxItemText);
}

// ---- Cell validation ---------------------------------------------------------------------------

QDate parseLedgerDate(const QString& text, bool* wellFormed) {
    if (wellFormed)
        *wellFormed = false;
    QString s = normalizeDigits(text);
    if (s.isEmpty())
        return {};
    // "2024年3月5日"
    if (s.contains(u'年') || s.contains(u'月')) {
        if (s.endsWith(u'日'))
            s.chop(1);
        s.replace(u'年', u'/');
        s.replace(u'月', u'/');
    }
    // The usual form, "2024/03/05" (or with "-" or "."), read without the pattern below.
    const auto digit = [&s](qsizetype i) { return s.at(i) >= u'0' && s.at(i) <= u'9'; };
    const auto separator = [&s](qsizetype i) {
        return s.at(i) == u'/' || s.at(i) == u'.' || s.at(i) == u'-';
    };
    if (s.size() == 10 && separator(4) && separator(7) && digit(0) && digit(1) && digit(2) &&
        digit(3) && digit(5) && digit(6) && digit(8) && digit(9)) {
        if (wellFormed)
            *wellFormed = true;
        const auto number = [&s](qsizetype from, qsizetype count) {
            int n = 0;
            for (qsizetype i = from; i < from + count; ++i)
                n = n * 10 + (s.at(i).unicode() - u'0');
            return n;
        };
        const int year = number(0, 4);
        if (year < 100)
            return {};
        const QDate d(year, number(5, 2), number(8, 2));
        return d.isValid() ? d : QDate();
    }
    static const QRegularExpression re(
        QStringLiteral("^(?:(\\d{1,4})\\s*[/.\\-]\\s*)?(\\d{1,2})\\s*[/.\\-]\\s*(\\d{1,2})$"));
    const QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch())
        return {};
    if (wellFormed)
        *wellFormed = true;
    const int month = m.captured(2).toInt();
    const int day = m.captured(3).toInt();
    int year = 0;
    if (m.captured(1).isEmpty()) {
        year = svc().clock().today().year();
    } else {
        const QString y = m.captured(1);
        year = y.toInt();
        if (y.size() <= 2)
            year += year < 30 ? 2000 : 1900;
        else if (year < 100)
            return {};
    }
    const QDate d(year, month, day);
    return d.isValid() ? d : QDate();
}

bool gCheckCellText(int column, int kind, const QString& text, QVariant& value, RuleResult& r) {
    r = RuleResult();
    value = QVariant();
    auto refuse = [&](const QString& msg) {
        r.ok = false;
        r.text = msg;
        r.focusColumn = column;
        return true;
    };
    const LedgerColumn* col =
        column >= 0 && column < LedgerCol::Count ? &ledgerColumn(column) : nullptr;
    if (col && col->kind() == LedgerKind::Date) {
        if (text.trimmed().isEmpty())
            return true;
        bool wellFormed = false;
        const QDate d = parseLedgerDate(text, &wellFormed);
        if (!d.isValid() && wellFormed)
            return refuse(
                QStringLiteral("その日付はありません（月は1～12、日はその月の末日まで）"));
        if (!d.isValid())
            return refuse(QStringLiteral("日付を入力してください"));
        value = d;
        return true;
    }
    if (col && col->list) {
        // An empty text passes (and stores NULL); any other must be a current entry.
        bool listed = false;
        if (!gChkLedgerListText(column, kind, text, listed))
            return false;
        if (!listed) {
            r.ok = false;
            r.msgCode = 50;
            r.addText = QStringLiteral("リストの中から");
            r.focusColumn = column;
            return true;
        }
        if (!text.isEmpty())
            value = col->kind() == LedgerKind::Number ? QVariant(text.toInt()) : QVariant(text);
        return true;
    }
    if (col && col->kind() == LedgerKind::Amount) {
        if (text.trimmed().isEmpty())
            return true;
        const AmountRule& rule = col->amount;
        const bool positiveOnly = rule.positiveOnly;
        const std::optional<Currency> v = Currency::parse(text);
        if (!v) {
            // A well-formed number too long for the currency type is out of range, not "no
            // number".
            if (looksLikeNumber(text))
                return refuse(limitMessage(column, positiveOnly));
            return refuse(QStringLiteral("数値を入力してください"));
        }
        if (!rule.decimals && !v->isWhole())
            return refuse(QStringLiteral("小数は入力しないでください"));
        if (!rule.zero && v->isZero())
            return refuse(QStringLiteral("０は入力しないでください"));
        if (positiveOnly && v->raw() < 0)
            return refuse(QStringLiteral("０以下は入力しないでください"));
        if (absolute(*v) > Currency::fromInt(gLedgerColumnLimit(column)))
            return refuse(limitMessage(column, positiveOnly));
        value = QVariant::fromValue(*v);
        return true;
    }
    // Master ID, item, note and the changed flag take any text.
    if (!text.isEmpty())
        value = text;
    return true;
}

std::int64_t gLedgerColumnLimit(int column) {
    if (column < 0 || column >= LedgerCol::Count)
        return 0;
    return ledgerColumn(column).amount.limit;
}

// ---- After a cell is stored --------------------------------------------------------------------

bool mInputClass1Default(LedgerLine& line) {
    return classDefault(line, 1, QStringLiteral("frmData_mInputClass1Default"));
}
bool mInputClass2Default(LedgerLine& line) {
    return classDefault(line, 2, QStringLiteral("frmData_mInputClass2Default"));
}
bool mInputClass3Default(LedgerLine& line) {
    return classDefault(line, 3, QStringLiteral("frmData_mInputClass3Default"));
}

void mSetNulls(LedgerLine& line) {
    for (const LedgerColumn& c : kLedgerColumns) {
        if (c.kind() != LedgerKind::Text || c.keepBlank)
            continue;
        std::optional<QString>& t = line.*c.field.text;
        if (blankText(t))
            t.reset();
    }
}

bool isZeroDate(const std::optional<QDate>& date) {
    return date && date->isValid() &&
           date->toString(QStringLiteral("yy/MM/dd")) == QLatin1String("99/12/30");
}

bool gAfterCellUpdate(LedgerLine& line, qint32 masterID) {
    if (!line.lngMasterID) {
        if (!mInputClass1Default(line) || !mInputClass2Default(line) || !mInputClass3Default(line))
            return false;
    }
    line.lngMasterID = masterID;
    line.blnChange = true;
    if (isZeroDate(line.date1))
        line.date1.reset();
    mSetNulls(line);
    return true;
}

// ---- Derived amounts ---------------------------------------------------------------------------

bool mCalcQuantity(LedgerLine& line, const std::optional<Currency>&, DeriveResult& r) {
    r = {};
    if (line.curQuantity || !line.curUnitPrice || costMissingOrOne(line))
        return true;
    if (line.curUnitPrice->isZero())
        return true;
    const std::optional<Currency> q =
        truncated({*line.curCost}, {*line.curUnitPrice}, 0, LedgerCol::Quantity);
    if (!q) {
        tooLarge(r, LedgerCol::Quantity);
        return true;
    }
    if (q->isZero())
        return true;
    line.curQuantity = *q;
    r.computed = true;
    r.value = *q;
    return true;
}

bool mCalcUnitPrice(LedgerLine& line, const std::optional<Currency>&, DeriveResult& r) {
    r = {};
    if (line.curUnitPrice)
        return true;
    std::optional<Currency> u;
    if (costMissingOrOne(line)) {
        if (!line.curRegularPrice || !line.curRatio)
            return true;
        u = truncated({*line.curRegularPrice, *line.curRatio}, {kHundred}, 0, LedgerCol::UnitPrice);
    } else {
        const Currency q = quantityOf(line);
        if (q.isZero())
            return true;
        u = truncated({*line.curCost}, {q}, 0, LedgerCol::UnitPrice);
    }
    if (!u) {
        tooLarge(r, LedgerCol::UnitPrice);
        return true;
    }
    if (u->isZero())
        return true;
    line.curUnitPrice = absolute(*u);
    r.computed = true;
    r.value = *line.curUnitPrice;
    return true;
}

bool mCalcRegularPrice(LedgerLine& line, const std::optional<Currency>& defaultRatio,
                       DeriveResult& r) {
    r = {};
    if (line.curRegularPrice)
        return true;
    const Currency q = absolute(quantityOf(line));
    const bool costIsOne = line.curCost && *line.curCost == kOne;
    std::optional<Currency> ratio;
    if (!line.curRatio || costIsOne)
        ratio = defaultRatio;
    else
        ratio = line.curRatio;
    if (ratio && ratio->isZero())
        ratio.reset();

    std::optional<Currency> p;
    if (ratio && line.curCost && !costIsOne) {
        if (q.isZero())
            return true;
        p = truncated({*line.curCost, kHundred}, {q, *ratio}, 0, LedgerCol::RegularPrice);
    } else {
        if (!line.curUnitPrice || costIsOne || !ratio)
            return true;
        p = truncated({*line.curUnitPrice, kHundred}, {*ratio}, 0, LedgerCol::RegularPrice);
    }
    if (!p) {
        tooLarge(r, LedgerCol::RegularPrice);
        return true;
    }
    if (p->isZero())
        return true;
    line.curRegularPrice = absolute(*p);
    r.computed = true;
    r.value = *line.curRegularPrice;
    return true;
}

bool mCalcRatio(LedgerLine& line, const std::optional<Currency>& defaultRatio, DeriveResult& r) {
    r = {};
    if (line.curRatio)
        return true;
    const Currency q = absolute(quantityOf(line));
    std::optional<Currency> ratio;
    QString percentSuffix;
    const bool regularUsable = line.curRegularPrice && !line.curRegularPrice->isZero();
    if (line.curCost && regularUsable) {
        if (q.isZero())
            return true;
        ratio =
            truncated({*line.curCost, kHundred}, {q, *line.curRegularPrice}, 1, LedgerCol::Ratio);
        percentSuffix = QStringLiteral("%");
    } else if (line.curUnitPrice && regularUsable) {
        ratio =
            truncated({*line.curUnitPrice, kHundred}, {*line.curRegularPrice}, 1, LedgerCol::Ratio);
        percentSuffix = QStringLiteral(" %");
    } else {
        if (defaultRatio && !defaultRatio->isZero()) {
            line.curRatio = *defaultRatio;
            r.computed = true;
            r.value = *defaultRatio;
        }
        return true;
    }
    if (!ratio) {
        tooLarge(r, LedgerCol::Ratio);
        return true;
    }
    if (ratio->isZero())
        return true;
    // A return line (negative amount) gives a negative ratio; its size is what must stay
    // within 100 %.
    const Currency size = absolute(*ratio);
    if (size > Currency::fromInt(100)) {
        r.warning.ok = false;
        r.warning.text = QStringLiteral("計算値が100%を超えました") + kCrLf + kCrLf +
                         QStringLiteral("計算値 ") + ratio->toString() + percentSuffix;
        r.warning.focusColumn = LedgerCol::Ratio;
        return true;
    }
    line.curRatio = size;
    r.computed = true;
    r.value = size;
    return true;
}

bool mCalcCost(LedgerLine& line, const std::optional<Currency>& defaultRatio, DeriveResult& r) {
    r = {};
    if (line.curCost)
        return true;
    const Currency q = quantityOf(line);
    std::optional<Currency> c;
    if (line.curUnitPrice) {
        c = truncated({q, *line.curUnitPrice}, {}, 0, LedgerCol::Cost);
    } else {
        std::optional<Currency> ratio = line.curRatio;
        if (!ratio) {
            if (!defaultRatio || defaultRatio->isZero())
                return true;
            ratio = *defaultRatio;
            line.curRatio = *defaultRatio;
        }
        if (!line.curRegularPrice)
            return true;
        c = truncated({*ratio, q, *line.curRegularPrice}, {kHundred}, 0, LedgerCol::Cost);
    }
    if (!c) {
        tooLarge(r, LedgerCol::Cost);
        return true;
    }
    line.curCost = *c;
    r.computed = true;
    r.value = *c;
    return true;
}

bool gDeriveColumn(int column, LedgerLine& line, const std::optional<Currency>& defaultRatio,
                   DeriveResult& r) {
    switch (column) {
    case LedgerCol::Quantity:
        return mCalcQuantity(line, defaultRatio, r);
    case LedgerCol::UnitPrice:
        return mCalcUnitPrice(line, defaultRatio, r);
    case LedgerCol::RegularPrice:
        return mCalcRegularPrice(line, defaultRatio, r);
    case LedgerCol::Ratio:
        return mCalcRatio(line, defaultRatio, r);
    case LedgerCol::Cost:
        return mCalcCost(line, defaultRatio, r);
    default:
        gProcError(QStringLiteral("gDeriveColumn"),
                   QStringLiteral("column=") + QString::number(column));
        return false;
    }
}

// ---- Line check --------------------------------------------------------------------------------

bool gGetLineCheckTexts(int kind, LineCheckTexts& texts) {
    const QString proc = QStringLiteral("gGetLineCheckTexts");
    QString def;
    QString word;
    LineCheckTexts t;
    if (!gGetColumnCaption(CaptionNo::UnitPrice, kind, def, t.unitPrice) ||
        !gGetColumnCaption(CaptionNo::RegularPrice, kind, def, t.regularPrice) ||
        !gGetColumnCaption(CaptionNo::Ratio, kind, def, t.ratio) ||
        !gGetColumnCaption(CaptionNo::Cost, kind, def, t.cost) ||
        !gGetColumnCaption(CaptionNo::Payment, kind, def, t.payment) ||
        !gGetDataCaption(kind, word)) {
        gProcError(proc, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    t.regularRatioLabel = word + QStringLiteral("規定掛率");
    texts = t;
    return true;
}

RuleResult gCheckLine(const LedgerLine& line, const LineCheckTexts& texts, bool hasDefaultRatio) {
    RuleResult r;
    if (!line.date1) {
        r.ok = false;
        r.msgCode = 19;
        r.addText = QStringLiteral("日付は");
        r.focusColumn = LedgerCol::Date;
        return r;
    }
    const bool cost = line.curCost.has_value();
    const bool payment = line.curPayment.has_value();
    if (!cost && !payment) {
        r.ok = false;
        r.text = texts.cost + QStringLiteral(" か ") + texts.payment +
                 QStringLiteral(" の入力は必須です");
        r.focusColumn = LedgerCol::Cost;
        return r;
    }
    if (cost && payment) {
        r.ok = false;
        r.text = texts.cost + QStringLiteral(" と ") + texts.payment +
                 QStringLiteral(" の両方に値を入れるのは不正です");
        r.focusColumn = LedgerCol::Cost;
        return r;
    }
    if (cost && !line.isTaxLine() && !hasDefaultRatio && !line.curRatio && !line.curRegularPrice) {
        r.ok = false;
        r.text = texts.regularRatioLabel + QStringLiteral(" が設定されていない場合   ") + kCrLf +
                 kCrLf + texts.cost + QStringLiteral(" への入力は") + kCrLf + kCrLf + texts.ratio +
                 QStringLiteral(" か ") + texts.regularPrice + QStringLiteral(" の入力は必須です");
        r.focusColumn = LedgerCol::Ratio;
        return r;
    }
    return r;
}

QString gWhyCostNotDerived(const LedgerLine& line, bool hasDefaultRatio,
                           const LineCheckTexts& texts) {
    if (line.curCost || line.curUnitPrice)
        return QString();
    QStringList missing;
    if (!line.curRatio && !hasDefaultRatio)
        missing << texts.ratio + QStringLiteral(" が空欄で、") + texts.regularRatioLabel +
                       QStringLiteral(" も設定されていません。");
    if (!line.curRegularPrice)
        missing << texts.regularPrice + QStringLiteral(" が空欄です。");
    if (missing.isEmpty())
        return QString();
    return texts.cost + QStringLiteral(" を計算できません。") + kCrLf + kCrLf +
           missing.join(kCrLf) + kCrLf + kCrLf + texts.cost + QStringLiteral(" は ") +
           texts.unitPrice + QStringLiteral(" から、または ") + texts.regularPrice +
           QStringLiteral(" と ") + texts.ratio + QStringLiteral(" から計算します。");
}
