#pragma once

// The sideways offset of the ledger grid, in twips, kept per machine (QSettings value
// "DataGridOffSet", a 32-bit number) and shared by both ledgers. The grid's left edge is the
// offset + kDataGridBaseLeft twips; the header buttons above it move with it.

constexpr int kDataGridBaseLeft = 90; // twips
constexpr int kDataGridMoveStep = 6;  // twips per press of the offset window's buttons
constexpr int kDataGridRightGap = 30; // twips kept free right of the grid

// The stored offset; 0 when none is stored or the stored value is not a number.
int gGetDataGridOffset();
// Stores the offset. False (logged by the writer, "gRegWrite") when it cannot be written.
bool gSetDataGridOffset(int offset);

// The grid's left edge for an offset.
inline int gDataGridLeft(int offset) {
    return kDataGridBaseLeft + offset;
}
// A step to the right stays inside the window: grid width + left edge + 30 twips must be less
// than the window's inner width (all in twips).
inline bool gCanMoveDataGridRight(int gridLeft, int gridWidth, int innerWidth) {
    return gridWidth + gridLeft + kDataGridRightGap < innerWidth;
}
// A step to the left is allowed while the left edge is more than one step from the window edge.
inline bool gCanMoveDataGridLeft(int gridLeft) {
    return gridLeft > kDataGridMoveStep;
}
