#pragma once

#include "reports/ExcelLayer.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

// The reports, each named once with its options and the routine that runs it. tovaki-report
// reads its report names and options from here and runs the entries; the report window takes
// its frames' captions from here and runs the same report builders (gMakeManageProfit,
// gPrintLedger, gPrintTaxSummary, gRunSupplierList). No windows: the entries speak to the user
// only through the services (the catalogue's messages, the question whether to open the file).

class Database;

// How an option's value is written.
enum class ReportOptionKind {
    Switch, // no value: present or not
    Flag,   // on/off (also yes/no, 1/0)
    Number, // a whole number in low..high
    Choice, // one of words; the value is its position
    Text,   // taken as written (dates too: the report checks them as the window does)
    Pairs   // NUMBER=TEXT, may be repeated; the values as written
};

struct ReportOption {
    QString name; // as the command line writes it, without "--"
    ReportOptionKind kind = ReportOptionKind::Text;
    int low = 0; // Number
    int high = 0;
    QStringList words; // Choice
};

// Every report option, each once, in the order options of another report are refused.
const std::vector<ReportOption>& gReportOptions();
const ReportOption* gFindReportOption(const QString& name);

// The options of one run, checked against their kinds. Options left out take the stored
// settings (or the window's defaults).
struct ReportArgs {
    QString outputFolder;
    std::optional<QSet<qint32>> only; // supplier numbers; none: every valid supplier
    ExcelReportRun::Callbacks callbacks;
    // Number and Choice: int; Flag and Switch: bool; Text: QString; Pairs: QStringList.
    QVariantMap values;

    std::optional<int> number(const QString& name) const;
    std::optional<bool> flag(const QString& name) const;
    std::optional<QString> text(const QString& name) const;
    QStringList pairs(const QString& name) const;
    bool includes(qint32 supplier) const { return !only || only->contains(supplier); }
};

enum class ReportOutcome {
    Written,
    Refused, // the window's message was shown (or is in message): wrong input, nothing to
             // report, or a total beyond the range of amounts
    Failed   // logged
};

struct ReportResult {
    ReportOutcome outcome = ReportOutcome::Failed;
    QString path;    // the file written
    QString message; // a refusal not told through the services (a supplier that is not valid)
};

struct ReportEntry {
    QString name;        // the command line's word: "profit"
    QString caption;     // the report window's frame: "利益管理表"
    QStringList options; // names in gReportOptions, in the order their values are checked
    std::function<ReportResult(const ReportArgs&, Database&)> run;

    bool takes(const QString& option) const { return options.contains(option); }
};

// The reports in the order the command line lists them.
const std::vector<ReportEntry>& gReports();
const ReportEntry* gFindReport(const QString& name);
// The caption of a report (the report window's frame title); the name when there is none.
QString gReportCaption(const QString& report);
// The options that only this report takes, in the order of gReportOptions.
QStringList gReportOwnOptions(const QString& report);

// A date as the window's boxes hold it ("yyyy/MM/dd"); "yyyy-MM-dd" is taken as well. Any
// other text is returned trimmed, so the report refuses it with the window's message.
QString gReportDateText(const QString& text);
