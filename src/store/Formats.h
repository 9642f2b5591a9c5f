#pragma once

#include "store/Currency.h"

#include <QDate>
#include <QString>

// Display patterns of the windows and reports, imitating the classic format patterns:
// "#,##0", "#,###", "#", "#.0", "00.0", "0.0#", "#0", "0", "###,0" for numbers ("#" prints
// nothing for a zero integer part: "#,###" of 0 is "", "#.0" of 0.5 is ".5"; values round half
// away from zero to the pattern's decimals), "YY/MM/DD", "YY/M/D", "M/D" for dates, and
// "yen" for the yen currency format ("￥1,234", "-￥1,234").
QString formatNumber(double value, const QString& pattern);
QString formatNumber(Currency value, const QString& pattern);
QString formatDate(const QDate& date, const QString& pattern);
