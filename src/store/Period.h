#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Terms (one month's accounting period) end on the close day (SettingNo::CloseDay). The term
// routines take the close day as a parameter: a caller reads it once (gGetSystemCloseDay) for
// all the terms it walks. Term boundaries are passed as date text "yyyy/MM/dd".

inline QString termDateText(const QDate& d) {
    return d.toString(QStringLiteral("yyyy/MM/dd"));
}
// Parses "yyyy/MM/dd" (also "yyyy/M/d"); an invalid QDate when the text is not a date.
QDate termDateFromText(const QString& text);

// The term that contains `date`, for the given close day (1 to 31; other values are taken as the
// nearest of them). A close day beyond a month's length means that month's last day, so the
// terms follow each other without gap or overlap and each ends on its month's close date: with
// close day 31 the terms are the calendar months; with 30, February's term runs from January 31
// to February's last day and March's from March 1 to March 30.
void termContaining(const QDate& date, int closeDay, QDate& start, QDate& end);
// The close date of a month (the month's last day when it is shorter than the close day).
QDate closeDateOfMonth(int year, int month, int closeDay);

// The term of `date` (of `date` minus `daysBack` days when daysBack > 0) for `closeDay`, as
// text. A close day outside the setting's range (1..31) or an invalid date is a failure, logged
// "gGetCurrentMonthTerm".
bool gGetCurrentMonthTerm(const QDate& date, int closeDay, QString& start, QString& end,
                          int daysBack);
// True in isCloseDay when `date` is the last day of its term. Failure logged "gChkCloseDay".
bool gChkCloseDay(const QDate& date, int closeDay, bool& isCloseDay);

// The contents of a pair of period boxes for `closeDay`: the term of (today - 10 days) as the
// boxes' texts,
// the end list (the ends of that term and the 19 before it, newest first, 20 entries) and the
// start list (the starts of that term and the 18 before it, 19 entries). Failure (logged by the
// term routine under "gGetCurrentMonthTerm"): false, lists unchanged; the combo-box wrapper adds
// its own entry.
struct TermLists {
    QString startText;
    QString endText;
    QStringList startItems;
    QStringList endItems;
};
bool gGetTermLists(const QDate& today, int closeDay, TermLists& lists);

// value rounded to `digits` decimals (negative digits round to tens, hundreds ...). Modes:
// 0 truncate toward zero (切り捨て), 1 half away from zero (四捨五入), 2 up (切り上げ): away from
// zero for either sign, so -2.3 gives -3 and 2.3 gives 3 — the magnitude is rounded up, as the
// shop expects of a "rounded up" amount whatever its sign. A product value × 10^digits that lies
// within a few units in the last place of a whole number counts as that number (0.29 truncated
// to 2 decimals stays 0.29). Another mode, or a value that is not finite: logged "gROUNDOFF", 0.
double gROUNDOFF(double value, int digits, int mode);
