#include "reports/ExcelLayer.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "reports/PdfConvert.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

struct PaletteEntry {
    int index;
    int value;
};

// Excel's standard palette for the colour indexes that reports offer; 17..32 (chart colours)
// are not among them.
constexpr PaletteEntry kPalette[] = {
    {1, 0},         {2, 16777215},  {3, 255},       {4, 65280},     {5, 16711680},  {6, 65535},
    {7, 16711935},  {8, 16776960},  {9, 128},       {10, 32768},    {11, 8388608},  {12, 32896},
    {13, 8388736},  {14, 8421376},  {15, 12632256}, {16, 8421504},  {33, 16763904}, {34, 16777164},
    {35, 13434828}, {36, 10092543}, {37, 16764057}, {38, 13408767}, {39, 16751052}, {40, 10079487},
    {41, 16737843}, {42, 13421619}, {43, 52377},    {44, 52479},    {45, 39423},    {46, 26367},
    {47, 10053222}, {48, 9868950},  {49, 6697728},  {50, 6723891},  {51, 13056},    {52, 13107},
    {53, 13209},    {54, 6697881},  {55, 10040115}, {56, 3355443}};

} // namespace

QString gExcelSuffixMargin() {
    return QStringLiteral(" ") + gstrAppTitle + QStringLiteral(" 利益管理表.xlsx");
}

bool gExcelOpen(const QString& fileName, const QString& folder, Workbook& book) {
    return book.open(gAddBackSlash(folder) + fileName);
}

bool gExcel_Color_ExchangeToRGB(int colorIndex, int& colorValue) {
    for (const PaletteEntry& e : kPalette) {
        if (e.index == colorIndex) {
            colorValue = e.value;
            return true;
        }
    }
    gProcError(QStringLiteral("gExcel_Color_ExchangeToRGB"), QString());
    return false;
}

bool gExcel_CellLine(Worksheet* sheet, const CellRange& range, bool top, bool bottom, bool left,
                     bool right, bool insideVertical, bool insideHorizontal) {
    if (!sheet) {
        gProcError(QStringLiteral("gExcel_CellLine"), QStringLiteral("シートがありません"));
        return false;
    }
    int sides = 0;
    if (top)
        sides |= CellSide::Top;
    if (bottom)
        sides |= CellSide::Bottom;
    if (left)
        sides |= CellSide::Left;
    if (right)
        sides |= CellSide::Right;
    if (insideVertical)
        sides |= CellSide::InsideVertical;
    if (insideHorizontal)
        sides |= CellSide::InsideHorizontal;
    if (!sheet->setThinBorders(range, sides)) {
        gProcError(
            QStringLiteral("gExcel_CellLine"),
            QStringLiteral("範囲=%1:%2")
                .arg(xlsxCellName(range.row1, range.col1), xlsxCellName(range.row2, range.col2)));
        return false;
    }
    return true;
}

QString gExcelReportPath(const QString& folder, const QDateTime& at, const QString& suffix) {
    const QString time = at.toString(QStringLiteral("HH：mm：ss"));
    return gAddBackSlash(folder) + QStringLiteral("　") +
           at.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("　") + time + suffix;
}

// ---------------------------------------------------------------------------------------------

ExcelReportRun::ExcelReportRun(const QString& procName, const QString& failureMessage)
    : m_procName(procName), m_failureMessage(failureMessage) {}

ExcelReportRun::~ExcelReportRun() {
    if (m_running)
        abandon();
}

void ExcelReportRun::setCallbacks(Callbacks callbacks) {
    m_callbacks = std::move(callbacks);
}

void ExcelReportRun::setOutputFolder(const QString& folder) {
    m_outputFolder = folder;
}

void ExcelReportRun::setBusy(bool busy) {
    m_busy = busy;
    if (m_callbacks.setBusy)
        m_callbacks.setBusy(busy);
    if (busy && m_callbacks.progress)
        m_callbacks.progress(0, m_maximum);
}

bool ExcelReportRun::begin(const QString& templateFile) {
    m_savedPath.clear();
    m_pdfPath.clear();
    m_lastPage.clear();
    m_progress = 0;
    m_running = true;
    setBusy(true);
    if (!gExcelOpen(templateFile, svc().paths().excelFormat, m_book)) {
        fail();
        return false;
    }
    return true;
}

Worksheet* ExcelReportRun::templateSheet() {
    return m_book.sheet(kExcelTemplateSheet);
}

Worksheet* ExcelReportRun::addPage(const QString& name) {
    const int source = m_book.sheetIndex(kExcelTemplateSheet);
    if (source < 0) {
        m_book.sheet(kExcelTemplateSheet); // leaves the reason in errorText()
        return nullptr;
    }
    // Pages are filled one after the other: the one before is done and its rows go to the
    // package now, so memory stays flat however many pages the run makes.
    if (!m_lastPage.isEmpty()) {
        Worksheet* done = m_book.sheet(m_lastPage);
        if (done && !done->writeOutAllRows())
            return nullptr;
        m_lastPage.clear();
    }
    Worksheet* page = m_book.copySheet(source, name);
    if (page)
        m_lastPage = page->name();
    return page;
}

bool ExcelReportRun::deleteTemplateSheet() {
    const int index = m_book.sheetIndex(kExcelTemplateSheet);
    if (index < 0) {
        m_book.sheet(kExcelTemplateSheet);
        return false;
    }
    return m_book.deleteSheet(index);
}

void ExcelReportRun::setProgressMaximum(int maximum) {
    m_maximum = maximum;
    m_progress = 0;
    if (m_callbacks.progress)
        m_callbacks.progress(m_progress, m_maximum);
}

void ExcelReportRun::advance() {
    ++m_progress;
    if (m_callbacks.progress)
        m_callbacks.progress(qMin(m_progress, m_maximum), m_maximum);
    svc().process().processEvents();
}

void ExcelReportRun::setStatus(const QString& text) {
    if (m_callbacks.status)
        m_callbacks.status(text);
}

bool ExcelReportRun::finish(const QString& suffix, const QString& completionText) {
    if (!save(suffix))
        return false;
    askToOpen(completionText);
    return true;
}

bool ExcelReportRun::save(const QString& suffix) {
    if (!m_running) {
        fail(QStringLiteral("帳票の作成が始まっていません"));
        return false;
    }
    QString folder = m_outputFolder;
    if (folder.isEmpty() && !gGetDesktopPath(folder)) {
        fail(QStringLiteral("デスクトップのフォルダが分かりません"));
        return false;
    }
    QString path = gExcelReportPath(folder, svc().clock().now(), suffix);
    // Two runs within one second would otherwise replace the first file.
    if (QFileInfo::exists(path)) {
        QString unique;
        if (!gGetUniqueFName(folder, QFileInfo(path).fileName(), unique)) {
            fail(QStringLiteral("保存先のフォルダがありません：") + folder);
            return false;
        }
        path = gAddBackSlash(folder) + unique;
    }
    if (!m_book.save(path)) {
        m_failureCause = m_book.saveFailureText();
        fail();
        return false;
    }
    m_savedPath = path;
    m_savedFolder = folder;
    m_book.close();
    PdfResult pdf;
    if (m_callbacks.makePdf) {
        setStatus(QStringLiteral("PDF を作成しています。\nしばらくお待ちください。"));
        if (m_callbacks.progress)
            m_callbacks.progress(0, 0); // no steps to count: the bar shows that it works
        pdf = gConvertToPdf(path, [] { svc().process().processEvents(); });
        if (pdf.outcome == PdfOutcome::Written)
            m_pdfPath = pdf.pdfPath;
        setStatus(QStringLiteral("エクセルファイルを作成しています。\nしばらくお待ちください。"));
    }
    m_running = false;
    setBusy(false);
    if (m_callbacks.makePdf && pdf.outcome != PdfOutcome::Written)
        svc().prompt().show(pdf.message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
    return true;
}

void ExcelReportRun::askToOpen(const QString& completionText) {
    // The file's whole path is shown, and its folder can be opened instead of the file.
    const QString where =
        m_outputFolder.isEmpty() ? gSavedPlaceText(m_savedFolder) : QStringLiteral("保存先に");
    QString files = QDir::toNativeSeparators(m_savedPath);
    if (!m_pdfPath.isEmpty())
        files += kCrLf + QDir::toNativeSeparators(m_pdfPath);
    const QString question = where + kCrLf + completionText + kCrLf + kCrLf + files + kCrLf +
                             kCrLf + QStringLiteral("開きますか？") + kCrLf;
    const int answer =
        svc().prompt().show(question, gstrAppTitle,
                            MsgStyle::YesNoCancel | MsgStyle::FileButtons | MsgStyle::Information);
    if (answer != MsgResult::Yes && answer != MsgResult::No)
        return;
    svc().process().processEvents();
    const QString target =
        answer == MsgResult::Yes ? m_savedPath : QFileInfo(m_savedPath).absolutePath();
    if (!gShellOpen(target))
        svc().prompt().show((answer == MsgResult::Yes ? kExcelOpenFailed : kFolderOpenFailed) +
                                kCrLf + QDir::toNativeSeparators(target),
                            gstrAppTitle, MsgStyle::Critical);
}

void ExcelReportRun::abandon() {
    m_book.close();
    m_running = false;
    if (m_busy)
        setBusy(false);
}

void ExcelReportRun::refuse(const QString& message) {
    abandon();
    m_refused = true;
    svc().prompt().show(message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
}

void ExcelReportRun::fail(const QString& reason) {
    const QString why = reason.isEmpty() ? m_book.errorText() : reason;
    m_book.close();
    m_running = false;
    if (m_busy)
        setBusy(false);
    // A file that could not be written: the message says why (full disk, permission, folder).
    const QString cause = std::exchange(m_failureCause, {});
    svc().prompt().show(cause.isEmpty() ? m_failureMessage
                                        : m_failureMessage + kCrLf + kCrLf + cause,
                        gstrAppTitle, MsgStyle::OKOnly);
    gSetLastError(0, QStringLiteral("Workbook"), why);
    gProcError(m_procName, QString());
}
