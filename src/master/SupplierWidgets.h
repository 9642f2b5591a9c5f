#pragma once

class QComboBox;

// Fills a list box with the supplier entries ("  7：ABC商会"), valid suppliers only when
// validOnly, in the order of setting 9. The list is cleared first. Failure: reported under
// "gSetSupplierShortNameToComboBoxItem", false.
bool gSetSupplierShortNameToComboBoxItem(QComboBox* combo, bool validOnly);
// Fills both phone-note lists of the master window (gGetPhoneNoteItems). Failure: reported
// under "gSetComboItem", false.
bool gSetComboItem(QComboBox* phone1Notes, QComboBox* phone2Notes);
// Makes the open list of a supplier list box a short one of `rows` entries with a scroll bar;
// the style would otherwise open it over the whole height of the screen.
void gSetShortSupplierList(QComboBox* combo, int rows);
