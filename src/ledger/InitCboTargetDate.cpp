#include "ledger/InitCboTargetDate.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QComboBox>

bool gInitCboTargetDate(QComboBox* startBox, QComboBox* endBox) {
    TermLists lists;
    qint32 closeDay = 0;
    if (!startBox || !endBox || !gGetSystemCloseDay(closeDay) ||
        !gGetTermLists(svc().clock().today(), closeDay, lists)) {
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
