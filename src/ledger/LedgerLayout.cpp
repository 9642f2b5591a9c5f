#include "ledger/LedgerLayout.h"

#include "store/Formats.h"

#include <array>

namespace {

std::array<LedgerColumnLayout, LedgerCol::Count> makeLayout() {
    std::array<LedgerColumnLayout, LedgerCol::Count> t;
    struct Row {
        int column;
        int width;
        const char* format;
        bool dropDown;
        const char16_t* caption;
    };
    // The date and order columns keep their text on one line; the others wrap.
    static const Row rows[] = {
        {LedgerCol::Date, 1010, "YY/MM/DD", false, u"日付"},
        {LedgerCol::Sort, 650, "#", true, u"並順"},
        {LedgerCol::Item, 2000, "", true, u"品名"},
        {LedgerCol::Class1, 1050, "", true, u"区分1"},
        {LedgerCol::Class2, 1050, "", true, u"区分2"},
        {LedgerCol::Class3, 1250, "", true, u"区分3"},
        {LedgerCol::Quantity, 580, "#,###", false, u"数量"},
        {LedgerCol::UnitPrice, 1050, "#,###", false, u"単価"},
        {LedgerCol::RegularPrice, 1050, "#,###", false, u"定価"},
        {LedgerCol::Ratio, 650, "#.0", false, u"掛率"},
        {LedgerCol::Cost, 1150, "#,###", false, u"仕入金額 F12"},
        {LedgerCol::Payment, 1150, "#,###", false, u"支払金額"},
        {LedgerCol::Check, 380, "#", false, u"チェック"},
        {LedgerCol::Note, 1150, "", false, u"備考"},
    };
    int left = kLedgerFirstColumnLeftTwips;
    for (const Row& r : rows) {
        LedgerColumnLayout& l = t[static_cast<std::size_t>(r.column)];
        l.widthTwips = r.width;
        l.format = QLatin1String(r.format);
        l.dropDown = r.dropDown;
        l.wrap = r.column >= LedgerCol::Item;
        l.designCaption = QString::fromUtf16(r.caption);
        l.headerLeftTwips = left;
        left += r.width;
    }
    return t;
}

} // namespace

const LedgerColumnLayout& ledgerColumnLayout(int column) {
    static const std::array<LedgerColumnLayout, LedgerCol::Count> layout = makeLayout();
    static const LedgerColumnLayout none;
    if (column < 0 || column >= LedgerCol::Count)
        return none;
    return layout[static_cast<std::size_t>(column)];
}

int ledgerLastColumnRightTwips() {
    const LedgerColumnLayout& note = ledgerColumnLayout(LedgerCol::Note);
    return note.headerLeftTwips + note.widthTwips;
}

int ledgerColumnOfCaption(int captionNo) {
    switch (captionNo) {
    case 0:
        return LedgerCol::Date;
    case 1:
        return LedgerCol::Item;
    case 2:
        return LedgerCol::Class1;
    case 3:
        return LedgerCol::Class2;
    case 4:
        return LedgerCol::Class3;
    case 6:
        return LedgerCol::UnitPrice;
    case 7:
        return LedgerCol::RegularPrice;
    case 8:
        return LedgerCol::Ratio;
    case 9:
        return LedgerCol::Cost;
    case 10:
        return LedgerCol::Payment;
    default:
        return -1;
    }
}

QString gLedgerCellText(const LedgerLine& line, int column) {
    switch (column) {
    case LedgerCol::MasterID:
        return line.lngMasterID ? QString::number(*line.lngMasterID) : QString();
    case LedgerCol::Date:
        return line.date1 ? formatDate(*line.date1, QStringLiteral("YY/MM/DD")) : QString();
    case LedgerCol::Sort:
        return line.lngSort ? formatNumber(double(*line.lngSort), QStringLiteral("#")) : QString();
    case LedgerCol::Item:
        return line.strItem.value_or(QString());
    case LedgerCol::Class1:
        return line.strClass1.value_or(QString());
    case LedgerCol::Class2:
        return line.strClass2.value_or(QString());
    case LedgerCol::Class3:
        return line.strClass3.value_or(QString());
    case LedgerCol::Note:
        return line.strNote.value_or(QString());
    case LedgerCol::Change:
        return line.blnChange ? QStringLiteral("True") : QStringLiteral("False");
    default:
        break;
    }
    const QVariant v = line.value(column);
    if (v.isNull())
        return {};
    return formatNumber(v.value<Currency>(), ledgerColumnLayout(column).format);
}

QString gLedgerEditText(const LedgerLine& line, int column) {
    switch (column) {
    case LedgerCol::Date:
        return line.date1 ? line.date1->toString(QStringLiteral("yyyy/MM/dd")) : QString();
    case LedgerCol::Sort:
        return line.lngSort ? QString::number(*line.lngSort) : QString();
    case LedgerCol::Quantity:
    case LedgerCol::UnitPrice:
    case LedgerCol::RegularPrice:
    case LedgerCol::Ratio:
    case LedgerCol::Cost:
    case LedgerCol::Payment:
    case LedgerCol::Check: {
        const QVariant v = line.value(column);
        return v.isNull() ? QString() : v.value<Currency>().toString();
    }
    default:
        return gLedgerCellText(line, column);
    }
}
