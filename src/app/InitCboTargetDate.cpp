// Kept apart from the other window routines: it is the one that needs the period rules.
#include "app/ErrorLog.h"
#include "app/Services.h"
#include "app/WindowDisplay.h"
#include "store/Period.h"

#include <QComboBox>

bool gInitCboTargetDate(QComboBox* startBox, QComboBox* endBox) {
    TermLists lists;
    if (!startBox || !endBox || !gGetTermLists(svc().clock().today(), lists)) {
        gProcError(QStringLiteral("gInitCboTargetDate"));
        return false;
    }
    const auto fill = [](QComboBox* box, const QStringList& items, const QString& text) {
        box->clear();
        box->addItems(items);
        if (box->isEditable())
            box->setEditText(text);
        else
            box->setCurrentIndex(box->findText(text));
    };
    fill(startBox, lists.startItems, lists.startText);
    fill(endBox, lists.endItems, lists.endText);
    return true;
}
