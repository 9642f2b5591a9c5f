#pragma once

#include <QString>
#include <functional>

// PDFs of the workbooks, made by LibreOffice when it is installed: `soffice --headless
// --convert-to pdf` with a profile folder of its own (so a running LibreOffice of the user is
// neither used nor disturbed) and a time limit. The converter is the program named by the
// environment variable TOVAKI_PDF_CONVERTER when set (a stand-in in tests), otherwise soffice or
// libreoffice on the PATH, otherwise LibreOffice's usual places. TOVAKI_PDF_TIME_LIMIT sets the
// limit in seconds (default 180).

// The converter program; empty when none is found.
QString gFindPdfConverter();

// The PDF beside a workbook: the same name ending in ".pdf".
QString gPdfPathFor(const QString& workbook);

enum class PdfOutcome {
    Written,
    NoConverter, // LibreOffice is not installed
    Failed,      // the converter failed, ended early or wrote no PDF
    TimedOut,    // the converter was ended at the time limit
};

struct PdfResult {
    PdfOutcome outcome = PdfOutcome::Failed;
    QString pdfPath;
    QString message; // unless Written: what happened, for the user
};

// Converts the workbook to gPdfPathFor(workbook), owner-only (0600) like the workbook. tick runs
// about ten times a second while the converter works (the window keeps painting its progress). The
// workbook is never touched.
PdfResult gConvertToPdf(const QString& workbook, const std::function<void()>& tick = {});
