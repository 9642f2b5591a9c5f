#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// Column captions of the ledger grids, one table per ledger (T_DATA1_CAPTION, T_DATA2_CAPTION).
// Caption numbers: 0 date, 1 item, 2-4 classes 1-3, 6 unit price, 7 regular price, 8 ratio,
// 9 cost (purchase) / amount (sales), 10 payment. Number 5 is not used.

namespace CaptionNo {
constexpr int Date = 0;
constexpr int Item = 1;
constexpr int Class1 = 2;
constexpr int Class2 = 3;
constexpr int Class3 = 4;
constexpr int UnitPrice = 6;
constexpr int RegularPrice = 7;
constexpr int Ratio = 8;
constexpr int Cost = 9;
constexpr int Payment = 10;
} // namespace CaptionNo

// The caption numbers in use, in the order the editor and the ledger window apply them.
const QList<int>& gColumnCaptionNumbers();

// Reads one caption row of ledger kind (1 purchase, 2 sales). True when exactly one row exists:
// defaultText and caption then hold its strDefault and strCaption. No row, two rows, a kind
// other than 1 or 2, or an SQL failure (logged as "gGetColumnCaption") give false and leave the
// outs unchanged.
bool gGetColumnCaption(Database& db, int captionNo, int kind, QString& defaultText,
                       QString& caption);
// The same on gdbData(), for the callers that do not pass their database yet (the line rules
// and the report code).
bool gGetColumnCaption(int captionNo, int kind, QString& defaultText, QString& caption);

// Writes the default and the caption of one row of ledger kind. Both texts are bound and stored
// exactly as given (quotes included). A kind other than 1 or 2, a missing row or an SQL failure:
// logged as "gSetColumnCaption", false.
bool gSetColumnCaption(Database& db, int captionNo, int kind, const QString& defaultText,
                       const QString& caption);

// The text with half-width spaces removed from both ends (full-width spaces are kept), as the
// caption editor and the class window trim their boxes.
QString gTrimHalfWidthSpaces(const QString& text);

// The caption editor's emptiness check: trims every text (gTrimHalfWidthSpaces) in place and
// returns the index of the first empty one, or -1 when none is empty.
int gFirstEmptyCaption(QStringList& texts);
