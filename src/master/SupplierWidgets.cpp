#include "master/SupplierWidgets.h"

#include "master/SupplierRecords.h"
#include "store/Database.h"
#include "widgets/FormHelpers.h"

#include <QAbstractItemView>
#include <QComboBox>

bool gSetSupplierShortNameToComboBoxItem(QComboBox* combo, bool validOnly) {
    QStringList items;
    if (!gGetSupplierShortNameItems(gdbData(), items, validOnly))
        return false;
    combo->clear();
    combo->addItems(items);
    return true;
}

bool gSetComboItem(QComboBox* phone1Notes, QComboBox* phone2Notes) {
    QStringList items;
    if (!gGetPhoneNoteItems(gdbData(), items))
        return false;
    for (QComboBox* combo : {phone1Notes, phone2Notes}) {
        // Refilling keeps what the user has typed into the box.
        const QString text = combo->currentText();
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
    }
    return true;
}

void gSetShortSupplierList(QComboBox* combo, int rows) {
    gSetComboDropDownRows(combo, rows);
}
