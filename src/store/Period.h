#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Terms (one month's accounting period) end on the close day (setting 8). Term boundaries are
// passed as date text "yyyy/MM/dd".

inline QString termDateText(const QDate& d) {
    return d.toString(QStringLiteral("yyyy/MM/dd"));
}
// Parses "yyyy/MM/dd" (also "yyyy/M/d"); an invalid QDate when the text is not a date.
QDate termDateFromText(const QString& text);

// The term that contains `date` minus `daysBack` days, for the given close day (1 to 31).
// A close day beyond a month's length means that month's last day.
void termContaining(const QDate& date, int closeDay, QDate& start, QDate& end);
// The close date of the month of `date` (the month's last day when it is shorter).
QDate closeDateOfMonth(int year, int month, int closeDay);

// Reads the close day and returns the term as text. Failure logged "gGetCurrentMonthTerm".
bool gGetCurrentMonthTerm(const QDate& date, QString& start, QString& end, int daysBack);
// True in isCloseDay when `date` is the last day of its term.
bool gChkCloseDay(const QDate& date, bool& isCloseDay);

// The contents of a pair of period boxes: the term of (today - 10 days) as the boxes' texts,
// the end list (the ends of that term and the 19 before it, newest first, 20 entries) and the
// start list (the starts of that term and the 18 before it, 19 entries).
struct TermLists {
    QString startText;
    QString endText;
    QStringList startItems;
    QStringList endItems;
};
bool gGetTermLists(const QDate& today, TermLists& lists);

// Rounding modes: 0 truncate, 1 half away from zero, 2 up (away from zero for negative values).
// Another mode: logged "gROUNDOFF", 0.
double gROUNDOFF(double value, int digits, int mode);
