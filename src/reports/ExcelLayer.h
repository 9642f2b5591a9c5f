#pragma once

#include "workbook/Workbook.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

// The shared workbook routines of the reports and the common report sequence: open a template
// from svc().paths().excelFormat, copy its sheet "雛型" once per page, write the pages, delete the
// template sheet, save on the desktop under a time-stamped name, ask whether to open the file.

// Template workbooks under svc().paths().excelFormat, and the sheet each one carries.
inline const QString kExcelTemplateMargin = QStringLiteral("Margin.xlsx");
inline const QString kExcelTemplateStockBook = QStringLiteral("StockBook.xlsx");
inline const QString kExcelTemplateKokuyoRi101 = QStringLiteral("kokuyo-ri-101.xlsx");
inline const QString kExcelTemplateKokuyoRi103 = QStringLiteral("kokuyo-ri-103.xlsx");
inline const QString kExcelTemplateMaster = QStringLiteral("master.xlsx");
inline const QString kExcelTemplateMaster2 = QStringLiteral("master2.xlsx");
inline const QString kExcelTemplateSheet = QStringLiteral("雛型");

// Ends of the saved file names (after the time stamp).
inline const QString kExcelSuffixLedger = QStringLiteral("　仕入帳.xlsx");
inline const QString kExcelSuffixSupplierList = QStringLiteral("　仕入先表.xlsx");
// " " + application title + " 利益管理表.xlsx"
QString gExcelSuffixMargin();

// The failure messages of the report runs.
inline const QString kExcelReportFailed =
    QStringLiteral("表が正常に作成されませんでした。管理者に問い合わせてください");
inline const QString kExcelFileReportFailed =
    QStringLiteral("エクセルファイルが正常に作成されませんでした。管理者に問い合わせてください");
inline const QString kCsvFileReportFailed =
    QStringLiteral("CSV ファイルが正常に作成されませんでした。管理者に問い合わせてください");
inline const QString kExcelOpenFailed = QStringLiteral("EXCELファイルを開くのに失敗しました。");
inline const QString kFolderOpenFailed = QStringLiteral("フォルダを開くのに失敗しました。");

// Opens folder + fileName into book. False (reason in book.errorText()) when the template is
// missing, locked or not a workbook; nothing is logged, the caller's failure path does that.
bool gExcelOpen(const QString& fileName, const QString& folder, Workbook& book);

// Colour value (R + 256·G + 65536·B) of an Excel colour index of the standard palette. The
// table holds 1..16 and 33..56; any other index logs "gExcel_Color_ExchangeToRGB", leaves
// colorValue unchanged and returns false.
bool gExcel_Color_ExchangeToRGB(int colorIndex, int& colorValue);

// Rules the range with thin automatic-colour lines: the outer edges named by top, bottom, left
// and right, and the lines between the cells by insideVertical and insideHorizontal. Lines not
// named stay; diagonal lines are removed. A failure is logged as "gExcel_CellLine".
bool gExcel_CellLine(Worksheet* sheet, const CellRange& range, bool top, bool bottom, bool left,
                     bool right, bool insideVertical, bool insideHorizontal);

// The saved file's path: folder + "　" + "YYYY-MM-DD" + "　" + "HH：MM：SS" (full-width colons)
// + suffix.
QString gExcelReportPath(const QString& folder, const QDateTime& at, const QString& suffix);

// One report run. A window drives it:
//
//     ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
//     run.setCallbacks({...});                   // busy state and progress of the window
//     if (!run.begin(kExcelTemplateMaster)) return false;    // failure path already taken
//     Worksheet* page = run.addPage(u"1"_s);      // copy of "雛型" after the last sheet
//     if (!page || !page->setText(2, 2, ...)) { run.fail(); return false; }
//     run.advance();                              // per supplier
//     if (!run.deleteTemplateSheet()) { run.fail(); return false; }
//     return run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s);
//
// A report that has work to do between saving and the question (storing its window's
// settings) calls save() and askToOpen() instead of finish().
//
// Every failure after begin() ends in fail(): the busy state is cleared, the workbook is
// discarded (no file is left), the failure message is shown and the run's procedure name is
// logged together with the reason. When the file itself could not be written, the message goes on
// with the cause and the file (gFileFailureText): "…管理者に問い合わせてください" CR LF CR LF
// "ディスクの空き容量が足りません。" CR LF path.
class ExcelReportRun {
public:
    struct Callbacks {
        // true: disable the window and show the processing panel with its progress at 0;
        // false: undo it.
        std::function<void(bool busy)> setBusy;
        std::function<void(int value, int maximum)> progress;
        std::function<void(const QString& text)> status; // the processing label
        // Also make a PDF of the saved workbook (reports/PdfConvert.h) before the run ends.
        bool makePdf = false;
    };

    explicit ExcelReportRun(const QString& procName,
                            const QString& failureMessage = kExcelReportFailed);
    ~ExcelReportRun(); // a run neither finished nor failed is discarded without a message
    ExcelReportRun(const ExcelReportRun&) = delete;
    ExcelReportRun& operator=(const ExcelReportRun&) = delete;

    void setCallbacks(Callbacks callbacks);
    // The folder the workbook is saved in; the desktop (gGetDesktopPath) when none is set.
    void setOutputFolder(const QString& folder);

    // Busy state, then the template opened from svc().paths().excelFormat. False after the failure
    // path when the template cannot be opened.
    bool begin(const QString& templateFile);
    bool isRunning() const { return m_running; }
    Workbook& book() { return m_book; }
    Worksheet* templateSheet(); // the sheet "雛型"

    // A copy of "雛型" after the last sheet, named name (made valid and unique). nullptr on
    // failure; the caller then calls fail(). The page added before is done by then: its rows
    // are written out (Worksheet::writeOutAllRows) and can no longer be changed.
    Worksheet* addPage(const QString& name);
    // Removes "雛型" from the workbook.
    bool deleteTemplateSheet();

    void setProgressMaximum(int maximum);
    // Advances the progress by one and lets pending window events run.
    void advance();
    void setStatus(const QString& text);

    // save(suffix), then askToOpen(completionText). False after the failure path.
    bool finish(const QString& suffix, const QString& completionText);
    // Saves under gExcelReportPath(folder, now, suffix) (with "(2)", "(3)" ... before the
    // extension when that name is taken), ends the run and clears the busy state. False after
    // the failure path when the folder is unknown or the file cannot be written. With makePdf
    // the PDF is made beside it; when that fails (no LibreOffice, the converter failed or ran
    // out of time) the user is told, and the workbook stays and counts as saved.
    bool save(const QString& suffix);
    // Asks where (「保存先に」 for a folder set with setOutputFolder, else gSavedPlaceText of the
    // folder used: the desktop or the home folder) CR LF completionText CR LF CR LF the file's
    // path (and CR LF the PDF's when one was made) CR LF CR LF "開きますか？" CR LF (開く /
    // フォルダを開く / 閉じる, information icon); opens the file or its folder, telling the user
    // which of the two could not be opened (kExcelOpenFailed or kFolderOpenFailed, and the path).
    void askToOpen(const QString& completionText);
    // Ends the run without saving and without a message (nothing to report).
    void abandon();
    // Ends the run without saving and shows message (exclamation icon): the data cannot be
    // reported as it stands (a total beyond the currency range). No log entry; the window's
    // message, not its failure path.
    void refuse(const QString& message);
    bool wasRefused() const { return m_refused; }
    // The failure path. reason (default: the workbook's last error) goes into the log entry.
    void fail(const QString& reason = {});

    QString savedPath() const { return m_savedPath; }
    // The PDF made beside it; empty when none was asked for or it could not be made.
    QString pdfPath() const { return m_pdfPath; }

private:
    void setBusy(bool busy);
    QString m_procName;
    QString m_failureMessage;
    QString m_failureCause; // why the workbook could not be written, for the failure message
    QString m_outputFolder;
    QString m_savedFolder; // the folder the file went to
    Callbacks m_callbacks;
    Workbook m_book;
    QString m_savedPath;
    QString m_pdfPath;
    QString m_lastPage; // the page addPage made last, until the next one

    int m_progress = 0;
    int m_maximum = 0;
    bool m_running = false;
    bool m_busy = false;
    bool m_refused = false;
};
