#pragma once

class QComboBox;
class QKeyEvent;
class QWidget;

// Keyboard navigation of entry windows.

// A key press in box: Enter (Return or keypad Enter) moves the focus to the next control in tab
// order. When swallow is true every typed character is then discarded (Enter included), so that
// nothing can be typed into the box; navigation keys (arrows, Page Up/Down, F4) still work.
// Returns true when the event was consumed.
bool gMoveFocusByKey(QWidget* box, QKeyEvent* event, bool swallow);
// Routes the key presses of box through gMoveFocusByKey (an event filter owned by the box).
void gSetMoveFocusByKey(QWidget* box, bool swallow);

// Sizes the drop-down list of combo so that it shows `rows` items (rows < 1: all its items).
bool gSetComboDropDownRows(QComboBox* combo, int rows);
