#pragma once

#include "reports/CsvExchange.h"
#include "reports/PrintFrame.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// The report window's frame "CSV出力" (objectName FrameCsv): the table (suppliers, purchase or
// sales ledger), the date range of a ledger, the character code, and the buttons that write the
// CSV file into the report folder and read one in (reports/CsvExchange.h). An import is checked
// in full first: refused rows are listed in the preview window frmCsvPreview and nothing is
// stored; otherwise the question lists the duplicate lines (skipped unless the user answers
// いいえ), the line-rule warnings, the supplier changes of an update and the encoding found, and
// every row is stored at once.
class CsvFrame : public PrintFrame {
    Q_OBJECT

public:
    CsvFrame(PrintHost& host, QWidget* parent);

    // Fills the date boxes with the terms. Failure: reported, false.
    bool formLoad() override;

    // The table and encoding chosen.
    CsvTable table() const;
    CsvEncoding encoding() const;

    QComboBox* cboCsvTable = nullptr;
    QComboBox* cboCsvStartDate = nullptr;
    QComboBox* cboCsvEndDate = nullptr;
    QComboBox* cboCsvEncoding = nullptr;
    QCheckBox* chkCsvAllLines = nullptr; // ledgers: every line, undated ones included
    QCheckBox* chkCsvUpdate = nullptr;   // suppliers: an import updates existing suppliers
    QPushButton* cmdCsvExport = nullptr;
    QPushButton* cmdCsvImport = nullptr;

private:
    void cmdCsvExportClick();
    void cmdCsvImportClick();
    void mSetDateBoxes();
    // Runs an import (or its check) with the processing panel.
    bool runImport(const CsvImportParams& p, CsvImportResult& result);
    void showRefusals(const CsvImportResult& result, const QString& file);
    // The question before an import, with the duplicates the check found: true to import
    // (p.keepDuplicates set when the user wants the duplicates too).
    bool askImport(const CsvImportResult& check, CsvImportParams& p);
};

// The list of refused rows of an import: line number and reason per row.
class frmCsvPreview : public QDialog {
    Q_OBJECT
public:
    frmCsvPreview(const CsvImportResult& result, const QString& file, QWidget* parent);

    QLabel* lblCsvPreview = nullptr;
    QTableWidget* grdCsvRefused = nullptr;
    QPushButton* cmdCsvPreviewClose = nullptr;
};
