// The profit table's renderer: lays a computed ProfitTable out on the sheets of the workbook
// "Margin.xlsx" (the table sheets "1", "2", … and the sheet "ランキング"). No figure is formed
// here; the cells show the table's values.
#include "reports/ProfitReport.h"

#include "base/ErrorLog.h"
#include "store/Formats.h"
#include "store/Period.h"

namespace {

const QString kRankingSheet = QStringLiteral("ランキング");
const QString kNotComputable = QStringLiteral("計算不能");
const QString kThousands = QStringLiteral("#,##0");

// Colour slots of ProfitSheetSettings::colors.
enum ColorSlot { SlotSupplier = 0, SlotPurchase, SlotSale, SlotMargin, SlotRate, SlotStock };

// Columns of the table: B the supplier name, C the row labels, values from D.
constexpr int kNameCol = 2;
constexpr int kLabelCol = 3;
constexpr int kFirstValueCol = 4;
// Rows a sheet holds before its finished blocks are written out.
constexpr int kRowsHeld = 256;

class ProfitWriter {
public:
    ProfitWriter(ExcelReportRun& run, const ProfitReportParams& p, const ProfitTable& table)
        : m_run(run), m_p(p), m_t(table) {}

    bool writeTable(const std::vector<int>& sheets);
    bool writeRanking(const std::vector<ProfitRankingRow>& rows);

private:
    int color(ColorSlot slot) const {
        return m_p.settings.cellColorOn ? m_p.settings.colors[slot] : 0;
    }
    bool put(int row, int col, const QVariant& value, int fill,
             const QString& numberFormat = QString(), bool bold = false);
    bool putMoney(int row, int col, Currency value, int fill, const QString& numberFormat = {}) {
        return put(row, col, value.toDouble(), fill, numberFormat);
    }
    // A figure that may not be computable: the number, or "計算不能" as text.
    bool putOptional(int row, int col, const std::optional<Currency>& value, int fill,
                     const QString& numberFormat = {}) {
        return value ? putMoney(row, col, *value, fill, numberFormat)
                     : put(row, col, kNotComputable, fill, QStringLiteral("@"));
    }
    bool putNameCells(int row, const QString& name);
    bool writeBlock(const ProfitBlock& b, bool headings);
    bool writeRow(const ProfitRow& r, int fill);
    bool writeHeadings(int row);
    bool writeResultRows(const ProfitBlock& b);
    bool rule(int row1, int col1, int row2, int col2);
    bool newSheet(int number);
    QString periodText() const; // "2024/01/21 - 2024/04/20"
    QString filterText() const; // " 抽出分類：…", empty without a filter
    int lastColumn() const { return kFirstValueCol + static_cast<int>(m_t.columns.size()) - 1; }

    ExcelReportRun& m_run;
    const ProfitReportParams& m_p;
    const ProfitTable& m_t;
    Worksheet* m_sheet = nullptr;
    int m_row = kProfitFirstRow;
    // The rows of the block being written: its cells carry thin lines on every side, given with
    // their values (the cells without one get them from rule()).
    int m_ruledFirst = 0;
    int m_ruledLast = -1;
};

bool ProfitWriter::put(int row, int col, const QVariant& value, int fill,
                       const QString& numberFormat, bool bold) {
    bool ok = value.typeId() == QMetaType::QString ? m_sheet->setText(row, col, value.toString())
                                                   : m_sheet->setNumber(row, col, value.toDouble());
    const bool ruled =
        row >= m_ruledFirst && row <= m_ruledLast && col >= kNameCol && col <= lastColumn();
    if (ok && (fill > 0 || !numberFormat.isEmpty() || bold || ruled)) {
        StyleChange ch;
        if (ruled) {
            ch.thinSides = CellSide::Outline;
            ch.clearDiagonal = true;
        }
        if (fill > 0)
            ch.fillColorIndex = fill;
        if (!numberFormat.isEmpty())
            ch.numberFormat = numberFormat;
        if (bold)
            ch.bold = true;
        ok = m_sheet->applyStyle(row, col, ch);
    }
    if (!ok)
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
    return ok;
}

bool ProfitWriter::putNameCells(int row, const QString& name) {
    const int fill = color(SlotSupplier);
    if (!put(row, kNameCol, name, fill, {}, m_p.settings.supplierBold))
        return false;
    if (fill > 0 && !m_sheet->setFill(row, kLabelCol, fill)) {
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
        return false;
    }
    return true;
}

bool ProfitWriter::rule(int row1, int col1, int row2, int col2) {
    if (!gExcel_CellLine(m_sheet, CellRange{row1, col1, row2, col2}, true, true, true, true, true,
                         true)) {
        gProcError(QStringLiteral("mManegeProfit_RuledLine"));
        return false;
    }
    return true;
}

bool ProfitWriter::newSheet(int number) {
    m_sheet = m_run.addPage(QString::number(number));
    if (!m_sheet) {
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
        return false;
    }
    m_row = kProfitFirstRow;
    // Every sheet's title row names the table, its period and the line filter, so that a
    // printed sheet says on its own what it sums.
    if (!m_sheet->setText(2, 4, QStringLiteral(" 利益管理表 ") + periodText() + filterText())) {
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
        return false;
    }
    return true;
}

QString ProfitWriter::periodText() const {
    const QString startText = m_p.startText.isEmpty() ? termDateText(m_p.start) : m_p.startText;
    const QString endText = m_p.endText.isEmpty() ? termDateText(m_p.end) : m_p.endText;
    return startText + QStringLiteral(" - ") + endText;
}

QString ProfitWriter::filterText() const {
    if (m_p.sampling1Class <= 0)
        return {};
    QString filter =
        QStringLiteral(" 抽出分類：区分%1「%2」").arg(m_p.sampling1Class).arg(m_p.sampling1Item);
    if (m_p.sampling2Class > 0)
        filter += (m_p.andOr == 1 ? QStringLiteral(" または ") : QStringLiteral(" かつ ")) +
                  QStringLiteral("区分%1「%2」").arg(m_p.sampling2Class).arg(m_p.sampling2Item);
    return filter;
}

bool ProfitWriter::writeTable(const std::vector<int>& sheets) {
    if (!newSheet(1))
        return false;
    int sheetNo = 1;
    m_run.setProgressMaximum(static_cast<int>(m_t.listed));
    m_run.setStatus(QStringLiteral("データを書き込んでいます"));
    size_t next = 0; // the next block
    for (size_t i = 0; i < m_t.listed; ++i) {
        // Lets window events run between suppliers; no deliberate pause.
        m_run.advance();
        if (next >= m_t.blocks.size() || m_t.blocks[next].listIndex != i)
            continue;
        // A sheet is added only when a block is going to stand on it.
        const bool firstOnSheet = next == 0 || sheets.at(next) != sheetNo;
        if (sheets.at(next) != sheetNo && !newSheet(sheetNo = sheets.at(next)))
            return false;
        if (!writeBlock(m_t.blocks[next], firstOnSheet))
            return false;
        ++next;
    }
    m_run.setStatus(QString());
    return true;
}

bool ProfitWriter::writeBlock(const ProfitBlock& b, bool headings) {
    m_row += 2;
    const int blockRow = m_row;
    m_ruledFirst = blockRow;
    m_ruledLast = blockRow + gProfitBlockHeight(b) - 1;
    if (!putNameCells(m_row, b.shortName))
        return false;
    ++m_row;
    // Headings of the term columns stand three rows above the first block's purchase row.
    if (headings && !writeHeadings(m_row - 3))
        return false;
    if (!writeRow(b.purchase, color(SlotPurchase)))
        return false;
    for (const ProfitRow& r : b.purchaseClasses)
        if (!writeRow(r, 0))
            return false;
    if (!writeRow(b.sale, color(SlotSale)))
        return false;
    for (const ProfitRow& r : b.saleClasses)
        if (!writeRow(r, 0))
            return false;
    if (!writeResultRows(b))
        return false;
    m_ruledLast = -1;
    // The lines of the cells left without a value: the name row and the name column.
    if (!rule(blockRow, kNameCol, blockRow, lastColumn()) ||
        !rule(blockRow + 1, kNameCol, m_row, kNameCol))
        return false;
    // The block is done: once a few hundred rows are held they go to the package, so a sheet
    // of any length stays small (a page's rows go there when the next page starts).
    if (m_row + 1 - m_sheet->firstOpenRow() >= kRowsHeld && !m_sheet->writeOutRows(m_row + 1)) {
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
        return false;
    }
    return true;
}

bool ProfitWriter::writeHeadings(int row) {
    for (size_t c = 0; c < m_t.columns.size(); ++c) {
        const ProfitColumn& col = m_t.columns[c];
        const QDate end = m_t.terms[col.term].end;
        QString heading;
        if (!col.running)
            heading = formatDate(end, QStringLiteral("YY/M/D")) + QStringLiteral("締");
        else if (m_t.sumOnly)
            heading = formatDate(end, QStringLiteral("M/D")) + QStringLiteral("累計");
        else
            heading = QStringLiteral("累計");
        if (!put(row, kFirstValueCol + static_cast<int>(c), heading, 0))
            return false;
    }
    return true;
}

// A labelled row of figures; the next row follows.
bool ProfitWriter::writeRow(const ProfitRow& r, int fill) {
    if (!put(m_row, kLabelCol, r.label, fill))
        return false;
    for (size_t c = 0; c < r.values.size(); ++c)
        if (!putMoney(m_row, kFirstValueCol + static_cast<int>(c), r.values[c], fill))
            return false;
    ++m_row;
    return true;
}

bool ProfitWriter::writeResultRows(const ProfitBlock& b) {
    const int marginRow = m_row;
    const int rateRow = m_row + 1;
    const int stockRow = m_row + 2;
    const int marginFill = color(SlotMargin);
    const int rateFill = color(SlotRate);
    const int stockFill = color(SlotStock);
    if (!put(marginRow, kLabelCol, QStringLiteral("荒利"), marginFill) ||
        !put(rateRow, kLabelCol, QStringLiteral("利益率"), rateFill) ||
        !put(stockRow, kLabelCol, QStringLiteral("在庫"), stockFill))
        return false;
    for (size_t c = 0; c < b.margin.size(); ++c) {
        const int col = kFirstValueCol + static_cast<int>(c);
        if (!putMoney(marginRow, col, b.margin[c], marginFill, kThousands) ||
            !put(rateRow, col, gProfitRateText(b.margin[c], b.sale.values[c]), rateFill,
                 QStringLiteral("@")) ||
            !putOptional(stockRow, col, b.stock[c], stockFill, kThousands))
            return false;
    }
    m_row = stockRow;
    return true;
}

bool ProfitWriter::writeRanking(const std::vector<ProfitRankingRow>& rows) {
    const QString proc = QStringLiteral("mManegeProfit_RankingSheet");
    m_sheet = m_run.addPage(kRankingSheet);
    if (!m_sheet) {
        gProcError(proc, m_run.book().errorText());
        return false;
    }
    const QString sortText =
        m_p.rankingOrder == 1 ? QStringLiteral("粗利") : QStringLiteral("利益率");
    const int fills[5] = {color(SlotPurchase), color(SlotSale), color(SlotMargin), color(SlotRate),
                          color(SlotStock)};
    auto fail = [&]() {
        gProcError(proc, m_run.book().errorText());
        return false;
    };
    if (!put(2, 4,
             QStringLiteral(" ランキングシート(") + sortText + QStringLiteral(") ") + periodText() +
                 filterText(),
             0))
        return fail();
    // Column I holds the number of the sheet the supplier's block stands on.
    const QString headings[6] = {QStringLiteral(" 仕入"), QStringLiteral(" 売上"),
                                 QStringLiteral(" 粗利"), QStringLiteral(" 利益率"),
                                 QStringLiteral(" 在庫"), QStringLiteral(" シート")};
    for (int i = 0; i < 6; ++i)
        if (!put(3, 4 + i, headings[i], 0))
            return fail();
    int row = 5;
    Currency total[4]; // purchase, sale, margin, stock
    bool totalStockValid = true;
    // A stock that could not be computed is shown as "計算不能"; so is the total it would be
    // part of.
    for (const ProfitRankingRow& r : rows) {
        if (!putNameCells(row, r.shortName) || !putMoney(row, 4, r.purchase, fills[0]) ||
            !putMoney(row, 5, r.sale, fills[1]) ||
            !putMoney(row, 6, r.margin, fills[2], kThousands) ||
            !put(row, 7, gProfitRateText(r.margin, r.sale), fills[3], QStringLiteral("@")) ||
            !putOptional(row, 8, r.stock, fills[4], kThousands) ||
            !put(row, 9, double(r.sheetNo), 0))
            return fail();
        total[0] += r.purchase;
        total[1] += r.sale;
        total[2] += r.margin;
        total[3] += r.stock.value_or(Currency());
        totalStockValid = totalStockValid && r.stock;
        ++row;
    }
    const int totalRow = row + 1;
    if (!putNameCells(totalRow, QStringLiteral("合計")) ||
        !putMoney(totalRow, 4, total[0], fills[0]) || !putMoney(totalRow, 5, total[1], fills[1]) ||
        !putMoney(totalRow, 6, total[2], fills[2], kThousands) ||
        !put(totalRow, 7, gProfitRateText(total[2], total[1]), fills[3], QStringLiteral("@")) ||
        !putOptional(totalRow, 8,
                     totalStockValid ? std::optional<Currency>(total[3]) : std::nullopt, fills[4],
                     kThousands))
        return fail();
    if (!rule(3, 2, totalRow, 9)) {
        gProcError(proc);
        return false;
    }
    return true;
}

} // namespace

bool gWriteProfitWorkbook(ExcelReportRun& run, const ProfitReportParams& p,
                          const ProfitTable& table, const std::vector<int>& sheets,
                          const std::vector<ProfitRankingRow>& ranking) {
    ProfitWriter w(run, p, table);
    if (!w.writeTable(sheets))
        return false;
    if (!p.ranking)
        return true;
    run.setStatus(QStringLiteral("ランキングシートを作成中"));
    if (!w.writeRanking(ranking))
        return false;
    run.setStatus(QString());
    return true;
}
