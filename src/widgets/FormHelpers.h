#pragma once

#include <QString>

class QComboBox;
class QCoreApplication;
class QKeyEvent;
class QLineEdit;
class QWidget;

// Keyboard navigation and control helpers of the entry windows.

// A key press in box: Enter (Return or keypad Enter) moves the focus to the next control in tab
// order and lets pending window events run; the Enter key itself ends there. When swallow is
// true every other typed character is discarded as well, so that nothing can be typed into the
// box; navigation keys (arrows, Page Up/Down, F4, Tab, Esc) keep working. Returns true when the
// event was consumed.
bool gMoveFocusByKey(QWidget* box, QKeyEvent* event, bool swallow);
// Routes the key presses of box (and of an editable combo's line edit) through gMoveFocusByKey
// with an event filter owned by the box. On a multi-line box Ctrl+Enter and Shift+Enter still
// start a new line.
void gSetMoveFocusByKey(QWidget* box, bool swallow);
// Moves the focus from box to the next enabled, visible control of its window in tab order.
void gMoveFocusNext(QWidget* box);

// Sizes the drop-down list of combo so that it shows `rows` items (rows < 1: all its items).
bool gSetComboDropDownRows(QComboBox* combo, int rows);
// Gives a selection box the pale yellow (&HC0FFFF) of every selection box. Set through the
// palette: a style sheet would also repaint the open list and hide its highlighted entry.
void gSetSelectionColour(QComboBox* combo);

// Limits a line edit to maxBytes Shift_JIS bytes (a full-width character counts 2). Typing or
// pasting beyond the limit keeps only what fits, like a classic entry box's maximum length, and
// says so (a beep, a note at the box kept in its "cutNotice" property, and a warning mark
// "cutMark" at the end of the box until its text changes again); text set by the
// program is not cut. A box without a tooltip gets one with both counts (gSjisLimitText).
void gSetMaxSjisBytes(QLineEdit* edit, int maxBytes);
// "全角4文字・半角8文字まで" for 8 bytes.
QString gSjisLimitText(int maxBytes);

// Tags: every control may carry a dynamic property "tag" (a QString) that the helpers below
// match. A word matches a tag that contains it; the empty word matches every non-empty tag.
inline constexpr char kTagProperty[] = "tag";
void gSetTag(QWidget* control, const QString& tag);
bool gTagContains(const QWidget* control, const QString& word);

// Removes leading and trailing half-width spaces from the text of every line edit, text edit
// and editable combo box of the window whose tag matches word.
void gTrimControlsByTag(QWidget* window, const QString& word);
// Empties every line edit, text edit and combo box of the window except those tagged
// "NOTCLEAR". Check boxes and option buttons keep their values; combo lists keep their items.
void gClearControls(QWidget* window);
// Disables (lock true) or enables every entry control, button and picture of the window whose
// tag matches word.
void gLockControlsByTag(QWidget* window, bool lock, const QString& word);

// Enter (and keypad Enter) presses the focused push button in every window of the application.
void gInstallEnterClicksButtons(QCoreApplication* app);
