#pragma once

#include "master/SupplierRecords.h"
#include "reports/ExcelLayer.h"

#include <QDate>
#include <QGroupBox>
#include <QList>
#include <QString>

class QComboBox;
class QIcon;

// The check-box picture of the "全選択"/"全解除" buttons of the supplier lists.
QIcon gSelectAllIcon(bool checked);

// The date a date box of a frame holds, typed in any form the ledger's date column takes
// (parseLedgerDate: "2024/3/5", "2024-03-05", "24.3.5", "２０２４年３月５日", "3/5") or chosen
// from its list. A date is written back into the box as "yyyy/MM/dd" and returned. Text that is
// no date stays as typed: message 4 is shown, the box gets the focus, and an invalid date is
// returned.
QDate gReadDateBox(QComboBox* box);

// What the report window offers the frames it holds: the supplier record source, the busy
// state with its processing panel, and where the workbooks are saved.
class PrintHost {
public:
    virtual ~PrintHost() = default;
    // The window's supplier record source: the valid suppliers in the order of setting 9, read
    // when the window opened (the lists of the frames pair their item i with record i).
    virtual const QList<SupplierRecord>& suppliers() const = 0;
    // Busy: the window disabled, the processing panel shown with its progress at 0.
    virtual void setBusy(bool busy) = 0;
    virtual bool isBusy() const = 0;
    // The callbacks a report run uses for the busy state and the progress bar.
    virtual ExcelReportRun::Callbacks reportCallbacks() = 0;
    // The folder workbooks are saved in: the override when one is set, else empty (the
    // report run then uses the desktop).
    virtual QString outputFolder() const = 0;
};

// A frame of the report window: one report's controls. The window places each frame in its
// slot, calls formLoad() once in the order the frames were added after its own opening steps,
// and formUnload() when it closes. Each frame reports its own failures under the names of the
// report window ("frmPrint_...").
class PrintFrame : public QGroupBox {
    Q_OBJECT
public:
    PrintFrame(const QString& caption, PrintHost& host, QWidget* parent)
        : QGroupBox(caption, parent), m_host(host) {}

    // Fills the frame's lists and restores its settings. False on an unexpected failure
    // (already logged); the window then takes its fatal path.
    virtual bool formLoad() { return true; }
    // Stores the frame's settings. False on an unexpected failure (already logged).
    virtual bool formUnload() { return true; }

protected:
    PrintHost& host() const { return m_host; }
    // An editable period box of the frame (a date typed or picked from the term list).
    QComboBox* dateBox(const char* name);

private:
    PrintHost& m_host;
};
