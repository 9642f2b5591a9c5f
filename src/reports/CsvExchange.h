#pragma once

#include "reports/CsvCodec.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// CSV export and import of the supplier master and the two ledgers, shared by the report
// window's frame "CSV出力" and `tovaki-report export|import`.
//
// Files (CsvCodec.h): a header row of Japanese captions, then one record per supplier or line.
// Numbers are plain ("-1234.5": no separators, at most four decimals), dates yyyy/MM/dd, an
// empty field is an empty value.
// - Suppliers: every column of the master window (gCsvSupplierHeader), by supplier number.
// - Ledger lines: supplier number and short name, then the columns the grid shows (the ledger
//   column table, ledger/LedgerColumns.h) under the ledger's current captions
//   (gCsvLedgerHeader), by supplier number, date, order and entry. The short name is for the
//   reader; an import goes by the number.
//
// An import checks every row with the rules of the windows: the master window's supplier checks
// and entry widths, a number not yet used; the ledger's cell checks, its list entries for the
// order and the classes (nothing is added to a list), and a supplier number that exists. A line
// the ledger window would store is stored: the findings of its line check (told in the window at
// 計算実行 or on closing) are warnings, listed, not refusals. It is all or nothing: every row is
// checked before anything is written, so a check (checkOnly, possible on a read-only data file too)
// or a refused file leaves the data file byte for byte as it was; only when no row is refused do
// the rows go in, in one transaction, after a copy of the data file ("<data file>.before-import").
//
// A ledger line the same as a stored line of the ledger, or as an earlier line of the file, in
// every column that makes a line (gLedgerLineKey) is a duplicate: it is listed and skipped
// unless keepDuplicates asks for it to be stored too.

enum class CsvTable {
    Suppliers,
    Purchases, // 仕入帳, T_DATA1
    Sales,     // 売上帳, T_DATA2
};

// The table of a command-line word ("suppliers", "ledger" with kind 1 or 2); false for others.
bool gCsvTableFromWords(const QString& word, int kind, CsvTable& table);
// "仕入先", "仕入帳", "売上帳".
QString gCsvTableName(CsvTable table);

// The header row of each table.
bool gCsvSupplierHeader(QStringList& header);
bool gCsvLedgerHeader(int kind, QStringList& header);

// Progress of a long export or import (value of maximum); called every few thousand rows.
struct CsvCallbacks {
    std::function<void(qint64 value, qint64 maximum)> progress;
};

struct CsvExportParams {
    CsvTable table = CsvTable::Suppliers;
    CsvEncoding encoding = CsvEncoding::Cp932;
    QString outputFolder;             // where the file goes (the desktop when empty)
    std::optional<QDate> from, to;    // ledgers: the date range (open ends when absent)
    std::optional<QSet<qint32>> only; // supplier numbers; all suppliers when absent
};

enum class CsvExportOutcome {
    Written,
    NothingToExport, // no supplier or line in the choice
    NotEncodable,    // a text code page 932 cannot hold; message names it
    Failed,          // logged
};

struct CsvExportResult {
    CsvExportOutcome outcome = CsvExportOutcome::Failed;
    QString path;    // the file written
    qint64 rows = 0; // records after the header
    QString message; // for NotEncodable and NothingToExport; for Failed, why the file could not
                     // be written (gFileFailureText; "" when the failure was not the file's:
                     // reading the data file, or no desktop)
};

// Writes "<folder>/　YYYY-MM-DD　HH：MM：SS　<table>.csv" (the report names' pattern) through
// a temporary file that takes the name only when complete. False unless Written; failures are
// logged under "gExportCsv".
bool gExportCsv(const CsvExportParams& params, const CsvCallbacks& callbacks,
                CsvExportResult& result);

// A ledger line of the file that is already there (skipped unless asked otherwise).
struct CsvDuplicate {
    qint64 line = 0;      // the file's line the row starts on
    qint64 firstLine = 0; // the file's earlier line it repeats; 0: a line stored already
};

struct CsvRefusal {
    qint64 line = 0; // the file's line the row starts on
    QString reason;
};

enum class CsvImportOutcome {
    Imported, // every row stored
    Checked,  // checkOnly: every row would be stored
    Refused,  // rows refused (refusals); nothing stored
    BadFile,  // the file as a whole cannot be read (message); nothing stored
    Failed,   // logged; nothing stored
};

struct CsvImportParams {
    CsvTable table = CsvTable::Suppliers;
    QString path;
    // The file's encoding; found from its bytes when absent (gDetectCsvEncoding). A UTF-8
    // byte-order mark overrides it.
    std::optional<CsvEncoding> encoding{};
    bool checkOnly = false;
    bool keepDuplicates = false;  // duplicate ledger lines are stored too
    bool updateSuppliers = false; // suppliers: a row whose number exists updates that supplier
};

// A supplier an update import changes: each changed column "<caption>: 「before」→「after」".
struct CsvSupplierChange {
    qint64 line = 0;
    qint32 supplier = 0;
    QStringList fields;
};

struct CsvImportResult {
    CsvImportOutcome outcome = CsvImportOutcome::Failed;
    qint64 rows = 0;                      // data rows read
    qint64 refusedCount = 0;              // every refused row ...
    std::vector<CsvRefusal> refusals;     // ... of which the first kCsvListedRefusals are listed
    QString message;                      // BadFile: why
    QString backupPath;                   // Imported: the copy of the data file taken before
                                          // ("" on a server, which keeps none)
    qint64 duplicateCount = 0;            // every duplicate ledger line ...
    std::vector<CsvDuplicate> duplicates; // ... of which the first kCsvListedRefusals are listed
    qint64 storedRows = 0;   // the rows stored (Imported) or that would be (Checked): the rows
                             // less the duplicates unless keepDuplicates
    qint64 warningCount = 0; // every line stored that a line rule finds fault with ...
    std::vector<CsvRefusal> warnings;       // ... of which the first kCsvListedRefusals are listed
    qint64 changedCount = 0;                // updateSuppliers: suppliers changed ...
    std::vector<CsvSupplierChange> changes; // ... of which the first kCsvListedRefusals listed
    qint64 unchangedCount = 0;              // ... and rows equal to their supplier (skipped)
    CsvEncoding encoding = CsvEncoding::Cp932; // the encoding the file was read in
    bool encodingDetected = false;             // ... found from its bytes, not given
};

constexpr int kCsvListedRefusals = 1000;

// Reads, checks and (unless checkOnly or a row is refused) stores the file's rows into the open
// data file. The file is read in blocks; the memory held per ledger line (stored or read) is a
// digest of its columns, for the duplicates. Failures are logged under
// "gImportCsv".
bool gImportCsv(const CsvImportParams& params, const CsvCallbacks& callbacks,
                CsvImportResult& result);
// The refusals as lines "<line> 行目: <reason>", with a last line for those not listed.
QStringList gCsvRefusalLines(const CsvImportResult& result);
// The line-rule findings as lines "<line> 行目: <finding>", with a last line for those not listed.
QStringList gCsvWarningLines(const CsvImportResult& result);
// The changes of an update as lines "<line> 行目 仕入先番号 <n>: <change>、<change>".
QStringList gCsvChangeLines(const CsvImportResult& result);
// "文字コード: UTF-8（自動判定）", "文字コード: Shift_JIS（指定）": how the file was read.
QString gCsvEncodingText(const CsvImportResult& result);
// The duplicates as lines "<line> 行目: 登録済みの行と同じです" or "... <first> 行目と同じです",
// with a last line for those not listed.
QStringList gCsvDuplicateLines(const CsvImportResult& result);
