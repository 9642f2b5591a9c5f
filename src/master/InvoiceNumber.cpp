#include "master/InvoiceNumber.h"

#include "store/Period.h"

#include <QRegularExpression>

namespace {

QChar halfWidth(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'！' && u <= u'～')
        return QChar(char16_t(u - u'！' + u'!'));
    return c;
}

bool isDash(char16_t u) {
    return u == u'-' || u == u'‐' || u == u'‑' || u == u'‒' || u == u'–' || u == u'—' ||
           u == u'―' || u == u'−' || u == u'ー' || u == u'ｰ';
}

} // namespace

QString gNormalizeInvoiceNo(const QString& typed) {
    QString out;
    out.reserve(typed.size());
    for (const QChar c : typed) {
        QChar h = halfWidth(c);
        const char16_t u = h.unicode();
        if (u == u' ' || u == u'\u3000' || u == u'\t' || isDash(u))
            continue;
        if (h == QLatin1Char('t'))
            h = QLatin1Char('T');
        out += h;
    }
    return out;
}

int gInvoiceCheckDigit(const QString& twelveDigits) {
    if (twelveDigits.size() != 12)
        return -1;
    int sum = 0;
    for (int n = 1; n <= 12; ++n) {
        const QChar c = twelveDigits.at(12 - n);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        sum += (c.unicode() - u'0') * (n % 2 == 1 ? 1 : 2);
    }
    return 9 - sum % 9;
}

InvoiceNoStatus gChkInvoiceNo(const QString& normalized) {
    if (normalized.isEmpty())
        return InvoiceNoStatus::Empty;
    static const QRegularExpression form(QStringLiteral("^T[0-9]{13}$"));
    if (!form.match(normalized).hasMatch())
        return InvoiceNoStatus::WrongFormat;
    if (normalized.at(1) == QLatin1Char('0'))
        return InvoiceNoStatus::LeadingZero;
    if (gInvoiceCheckDigit(normalized.mid(2)) != normalized.at(1).unicode() - u'0')
        return InvoiceNoStatus::CheckDigitDiffers;
    return InvoiceNoStatus::Ok;
}

QDate gParseInvoiceDate(const QString& typed, bool& ok) {
    QString s;
    for (const QChar c : typed.trimmed()) {
        const QChar h = halfWidth(c);
        s += (h == QLatin1Char('-') || h == QLatin1Char('.')) ? QLatin1Char('/') : h;
    }
    ok = true;
    if (s.isEmpty())
        return {};
    static const QRegularExpression form(QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2}$"));
    const QDate d = form.match(s).hasMatch() ? termDateFromText(s) : QDate();
    ok = d.isValid();
    return d;
}

bool gIsRegisteredOn(const QString& invoiceNo, const QDate& registeredFrom, const QDate& date) {
    return !invoiceNo.isEmpty() && registeredFrom.isValid() && date >= registeredFrom;
}
