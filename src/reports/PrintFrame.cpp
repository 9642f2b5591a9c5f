#include "reports/PrintFrame.h"

#include "ledger/LineRules.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "widgets/FormHelpers.h"

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

QComboBox* PrintFrame::dateBox(const char* name) {
    auto* c = new QComboBox(this);
    c->setObjectName(QLatin1String(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    gSetSelectionColour(c);
    c->setMinimumContentsLength(10);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    gSetComboDropDownRows(c, 12);
    return c;
}
