#include "ledger/LedgerLayout.h"

#include "store/Formats.h"

#include <array>

namespace {

std::array<LedgerColumnLayout, LedgerCol::Count> makeLayout() {
    std::array<LedgerColumnLayout, LedgerCol::Count> t;
    // The shown columns stand side by side in the table's order.
    int left = kLedgerFirstColumnLeftTwips;
    for (int column = 0; column < LedgerCol::Count; ++column) {
        const LedgerColumn& c = ledgerColumn(column);
        if (!c.shown())
            continue;
        LedgerColumnLayout& l = t[static_cast<std::size_t>(column)];
        l.widthTwips = c.widthTwips;
        l.format = QLatin1String(c.format);
        l.dropDown = c.dropDown;
        l.wrap = c.wrap;
        l.designCaption = c.title ? QString::fromUtf16(c.title) : QString();
        l.headerLeftTwips = left;
        left += c.widthTwips;
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
    int right = kLedgerFirstColumnLeftTwips;
    for (int column = 0; column < LedgerCol::Count; ++column) {
        const LedgerColumnLayout& l = ledgerColumnLayout(column);
        if (l.widthTwips > 0)
            right = l.headerLeftTwips + l.widthTwips;
    }
    return right;
}

int ledgerColumnOfCaption(int captionNo) {
    for (int column = 0; column < LedgerCol::Count; ++column)
        if (ledgerColumn(column).captionNo == captionNo)
            return column;
    return -1;
}

QString gLedgerCellText(const LedgerLine& line, int column) {
    if (column < 0 || column >= LedgerCol::Count)
        return {};
    const LedgerColumn& c = ledgerColumn(column);
    const LedgerField& f = c.field;
    switch (f.kind) {
    case LedgerKind::Number: {
        const std::optional<qint32>& n = line.*f.number;
        if (!n)
            return {};
        return *c.format ? formatNumber(double(*n), QLatin1String(c.format)) : QString::number(*n);
    }
    case LedgerKind::Date: {
        const std::optional<QDate>& d = line.*f.date;
        return d ? formatDate(*d, QLatin1String(c.format)) : QString();
    }
    case LedgerKind::Text:
        return (line.*f.text).value_or(QString());
    case LedgerKind::Flag:
        return line.*f.flag ? QStringLiteral("True") : QStringLiteral("False");
    case LedgerKind::Amount: {
        const std::optional<Currency>& a = line.*f.amount;
        return a ? formatNumber(*a, ledgerColumnLayout(column).format) : QString();
    }
    }
    return {};
}

QString gLedgerEditText(const LedgerLine& line, int column) {
    if (column < 0 || column >= LedgerCol::Count)
        return {};
    const LedgerField& f = ledgerColumn(column).field;
    switch (f.kind) {
    case LedgerKind::Date: {
        const std::optional<QDate>& d = line.*f.date;
        return d ? d->toString(QStringLiteral("yyyy/MM/dd")) : QString();
    }
    case LedgerKind::Number: {
        const std::optional<qint32>& n = line.*f.number;
        return n ? QString::number(*n) : QString();
    }
    case LedgerKind::Amount: {
        const std::optional<Currency>& a = line.*f.amount;
        return a ? a->toString() : QString();
    }
    default:
        return gLedgerCellText(line, column);
    }
}
