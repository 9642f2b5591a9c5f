#pragma once

#include "ledger/LineRules.h"

#include <QString>

// The fixed layout of the ledger grid: column widths, display patterns, drop-down buttons and
// the header buttons above the columns, all in twips (1/1440 inch) as the window is designed.

struct LedgerColumnLayout {
    int widthTwips = 0;      // 0: the column is hidden
    QString format;          // display pattern (store/Formats.h); empty: the text as stored
    bool dropDown = false;   // the cell carries a drop-down button
    bool wrap = false;       // long text wraps inside the cell
    QString designCaption;   // the header button's caption before the caption table applies
    int headerLeftTwips = 0; // left edge of the header button in the window
};

// The layout of a grid column, from kLedgerColumns (ledger/LedgerColumns.h): the shown columns
// side by side in the table's order; a hidden column (and one outside the table) has width 0.
const LedgerColumnLayout& ledgerColumnLayout(int column);

// Row height of the grid.
constexpr int kLedgerRowHeightTwips = 450;
// Left edge of the first visible column (the date), where header button 1 stands.
constexpr int kLedgerFirstColumnLeftTwips = 375;
// Right edge of the last visible column (the note).
int ledgerLastColumnRightTwips();

// The header button (grid column) whose caption comes from caption number captionNo (the
// column table's caption numbers); -1 for a number that names no button.
int ledgerColumnOfCaption(int captionNo);

// The text a cell shows: dates "YY/MM/DD", numbers in their column's pattern, texts as stored,
// empty for NULL. The hidden columns (master ID, changed flag) show their raw value.
QString gLedgerCellText(const LedgerLine& line, int column);
// The text an editor starts with: the full date "yyyy/MM/dd" (so that a two-digit year is never
// read back into another century), plain numbers without grouping, texts as stored.
QString gLedgerEditText(const LedgerLine& line, int column);
