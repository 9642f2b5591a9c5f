#include "ledger/InitCboTargetDate.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
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
