#pragma once

#include <QString>

// Entry limits count Shift_JIS bytes: ASCII and half-width katakana 1, every other character 2.
int sjisByteWidth(const QString& text);
// The longest prefix of text whose width is at most maxBytes (never splits a character).
QString truncateToSjisBytes(const QString& text, int maxBytes);
