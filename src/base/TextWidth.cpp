#include "base/TextWidth.h"

namespace {

// The width of one character (a surrogate pair is one character).
int charWidth(char32_t c) {
    if (c < 0x80)
        return 1;
    if (c >= 0xFF61 && c <= 0xFF9F) // half-width katakana and punctuation
        return 1;
    return 2;
}

// The code point at i and the number of UTF-16 units it takes.
char32_t codePointAt(const QString& text, qsizetype i, int& units) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    units = 1;
    return c.unicode();
}

} // namespace

int sjisByteWidth(const QString& text) {
    int width = 0;
    for (qsizetype i = 0; i < text.size();) {
        int units = 1;
        width += charWidth(codePointAt(text, i, units));
        i += units;
    }
    return width;
}

QString truncateToSjisBytes(const QString& text, int maxBytes) {
    int width = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        int units = 1;
        const int w = charWidth(codePointAt(text, i, units));
        if (width + w > maxBytes)
            break;
        width += w;
        i += units;
    }
    return text.left(i);
}
