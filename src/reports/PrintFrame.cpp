#include "reports/PrintFrame.h"

#include "ledger/LineRules.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"

#include <QComboBox>

QDate gReadDateBox(QComboBox* box) {
    const QDate date = parseLedgerDate(box->currentText().trimmed());
    if (!date.isValid()) {
        gDispMsg(4);
        box->setFocus();
        return {};
    }
    box->setEditText(termDateText(date));
    return date;
}
