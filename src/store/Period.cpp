#include "store/Period.h"

#include "base/ErrorLog.h"
#include "store/SettingsRegistry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

constexpr const SettingDef& kCloseDayRow = settingDef(SettingNo::CloseDay);

int clampCloseDay(int closeDay) {
    return std::clamp(closeDay, kCloseDayRow.minimum, kCloseDayRow.maximum);
}

// The term that contains `date` minus `daysBack` days. Logs under procName when the close day is
// not a day of a month.
bool currentTerm(const QString& procName, const QDate& date, int daysBack, int closeDay,
                 QDate& start, QDate& end) {
    if (!kCloseDayRow.inRange(closeDay)) {
        gProcError(procName, QStringLiteral("締め日=%1").arg(closeDay));
        return false;
    }
    if (!date.isValid()) {
        gProcError(procName, QStringLiteral("日付が正しくありません。"));
        return false;
    }
    const QDate d = daysBack > 0 ? date.addDays(-daysBack) : date;
    termContaining(d, closeDay, start, end);
    return true;
}

// A multiple of 1 within a few units in the last place is taken as that whole number: value × p
// carries the binary error of value (0.29 × 100 is 28.999999999999996), which would otherwise
// drop a whole unit in the last digit.
double snapped(double x) {
    const double r = std::nearbyint(x);
    return std::fabs(x - r) <= std::fabs(x) * 16 * DBL_EPSILON ? r : x;
}

} // namespace

QDate termDateFromText(const QString& text) {
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, QStringLiteral("yyyy/MM/dd"));
    if (!d.isValid())
        d = QDate::fromString(t, QStringLiteral("yyyy/M/d"));
    return d;
}

QDate closeDateOfMonth(int year, int month, int closeDay) {
    const QDate first(year, month, 1);
    if (!first.isValid())
        return {};
    return QDate(year, month, std::min(clampCloseDay(closeDay), first.daysInMonth()));
}

void termContaining(const QDate& date, int closeDay, QDate& start, QDate& end) {
    if (!date.isValid()) {
        start = end = QDate();
        return;
    }
    const QDate thisClose = closeDateOfMonth(date.year(), date.month(), closeDay);
    if (date <= thisClose) {
        const QDate prev = date.addMonths(-1);
        start = closeDateOfMonth(prev.year(), prev.month(), closeDay).addDays(1);
        end = thisClose;
    } else {
        const QDate next = date.addMonths(1);
        start = thisClose.addDays(1);
        end = closeDateOfMonth(next.year(), next.month(), closeDay);
    }
}

bool gGetCurrentMonthTerm(const QDate& date, int closeDay, QString& start, QString& end,
                          int daysBack) {
    QDate s, e;
    if (!currentTerm(QStringLiteral("gGetCurrentMonthTerm"), date, daysBack, closeDay, s, e))
        return false;
    start = termDateText(s);
    end = termDateText(e);
    return true;
}

bool gChkCloseDay(const QDate& date, int closeDay, bool& isCloseDay) {
    QString start, end;
    if (!gGetCurrentMonthTerm(date, closeDay, start, end, 0)) {
        gProcError(QStringLiteral("gChkCloseDay"));
        return false;
    }
    isCloseDay = termDateFromText(end) == date;
    return true;
}

bool gGetTermLists(const QDate& today, int closeDay, TermLists& lists) {
    QDate start, end;
    if (!currentTerm(QStringLiteral("gGetCurrentMonthTerm"), today, 10, closeDay, start, end))
        return false;
    TermLists out;
    out.startText = termDateText(start);
    out.endText = termDateText(end);
    // Each earlier term ends on the close date of the month before; the start of a term is the
    // day after the end of the term before it.
    QDate e = end;
    for (int i = 1; i <= 20; ++i) {
        if (i > 1)
            out.startItems << termDateText(e.addDays(1));
        out.endItems << termDateText(e);
        const QDate prev = e.addMonths(-1);
        e = closeDateOfMonth(prev.year(), prev.month(), closeDay);
    }
    lists = out;
    return true;
}

double gROUNDOFF(double value, int digits, int mode) {
    const double p = std::pow(10.0, digits);
    const double x = value * p;
    if (!std::isfinite(x) || p == 0.0) {
        gProcError(QStringLiteral("gROUNDOFF"),
                   QStringLiteral("value=%1 digits=%2").arg(value, 0, 'g', 17).arg(digits));
        return 0;
    }
    switch (mode) {
    case 0:
        return std::trunc(snapped(x)) / p;
    case 1:
        if (value < 0)
            return std::trunc(snapped(x - 0.5)) / p;
        return std::floor(snapped(x + 0.5)) / p;
    case 2: {
        const double s = snapped(x);
        const double y = std::trunc(s);
        if (y == s)
            return y / p;
        return (s < 0 ? y - 1 : y + 1) / p;
    }
    default:
        gProcError(QStringLiteral("gROUNDOFF"), QStringLiteral("mode=%1").arg(mode));
        return 0;
    }
}
