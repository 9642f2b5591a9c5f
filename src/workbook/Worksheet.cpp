// A worksheet of the workbook package module: rows kept indexed over the parsed sheet, cell
// values and derived styles, merges, row heights, column widths and page setup.
#include "workbook/Workbook.h"

#include "workbook/WorkbookImpl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

using namespace wbx;

namespace {

constexpr int kMaxRow = 1048576;
constexpr int kMaxCol = 16384;
constexpr qsizetype kMaxCellText = 32767;

int cellCol(const pugi::xml_node& c) {
    int r = 0, col = 0;
    return parseCellRef(c.attribute("r").value(), r, col) ? col : 0;
}

// Whether an element's name has no namespace prefix (then its new children have none either).
bool unprefixed(const pugi::xml_node& n) {
    return std::strchr(n.name(), ':') == nullptr;
}

// "C2" into buf (at least 16 characters), terminated.
const char* cellRefText(int row, int col, char* buf) {
    char letters[4];
    int n = 0;
    for (; col > 0 && n < 4; col = (col - 1) / 26)
        letters[n++] = static_cast<char>('A' + (col - 1) % 26);
    char* p = buf;
    while (n > 0)
        *p++ = letters[--n];
    *std::to_chars(p, buf + 15, row).ptr = '\0';
    return buf;
}

bool needsPreserve(const QString& s) {
    if (s.isEmpty())
        return false;
    auto ws = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    return ws(s.front()) || ws(s.back());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Impl

bool Worksheet::Impl::fail(const QString& text) {
    book->error = entry->name + QStringLiteral("：") + text;
    return false;
}

bool Worksheet::Impl::checkCell(int row, int col) {
    if (row < 1 || row > kMaxRow || col < 1 || col > kMaxCol)
        return fail(QStringLiteral("セル位置が範囲外です（行 %1、列 %2）").arg(row).arg(col));
    if (row < firstOpenRow)
        return fail(QStringLiteral("書き出し済みの行です（行 %1）").arg(row));
    return true;
}

namespace {
struct AppendWriter : pugi::xml_writer {
    std::string& out;
    explicit AppendWriter(std::string& o) : out(o) {}
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};
} // namespace

bool Worksheet::Impl::park() {
    if (parked)
        return true;
    Part* part = book->pkg.find(entry->part);
    if (!part || part->doc.get() != doc)
        return fail(QStringLiteral("シートの部品がありません"));
    pugi::xml_node mark = sheetData.prepend_child(pugi::node_comment);
    mark.set_value(kWrittenRowsMark);
    book->pkg.unparse(*part);
    doc = nullptr;
    root = {};
    sheetData = {};
    forgetLastRow();
    rows.clear();
    cells.clear();
    colStylesRead = false;
    parked = true;
    // Its text goes to the row file too, so that a finished sheet holds hardly any memory (or
    // stays in memory when the file cannot take it).
    QString ignored;
    book->pkg.stash(*part, ignored);
    return true;
}

bool Worksheet::Impl::wake() {
    if (!parked)
        return true;
    QString err;
    pugi::xml_document* x = book->pkg.xml(entry->part, err);
    if (!x)
        return fail(err);
    doc = x;
    if (!buildIndex(err))
        return fail(err);
    for (pugi::xml_node c = sheetData.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_comment && std::strcmp(c.value(), kWrittenRowsMark) == 0) {
            sheetData.remove_child(c);
            break;
        }
    parked = false;
    return true;
}

bool Worksheet::Impl::writeOutRows(int beforeRow) {
    beforeRow = std::min(beforeRow, kMaxRow + 1);
    if (beforeRow <= firstOpenRow)
        return true;
    Part* part = book->pkg.find(entry->part);
    if (!part)
        return fail(QStringLiteral("シートの部品がありません"));
    std::string text;
    AppendWriter w(text);
    int spanRows[2] = {writtenRows[0], writtenRows[1]};
    int spanCols[2] = {writtenCols[0], writtenCols[1]};
    auto it = rows.begin();
    for (; it != rows.end() && it->first < beforeRow; ++it) {
        const int r = it->first;
        pugi::xml_node node = it->second;
        node.remove_attribute("spans");
        // The row's cells in column order, as cellNode keeps them.
        for (const auto& [col, c] : cellsOf(r, node)) {
            if (!spanRows[0])
                spanRows[0] = r;
            spanRows[1] = r;
            spanCols[0] = spanCols[0] ? std::min(spanCols[0], col) : col;
            spanCols[1] = std::max(spanCols[1], col);
        }
        node.print(w, "", pugi::format_raw, pugi::encoding_utf8);
    }
    // Rows that cannot go to the row file (a full temporary folder) simply stay in memory: the
    // sheet is saved whole as before.
    QString ignored;
    if (!book->pkg.writeOut(*part, text, ignored))
        return true;
    std::copy(spanRows, spanRows + 2, writtenRows);
    std::copy(spanCols, spanCols + 2, writtenCols);
    forgetLastRow();
    for (auto r = rows.begin(); r != it;) {
        cells.erase(r->first);
        sheetData.remove_child(r->second);
        r = rows.erase(r);
    }
    firstOpenRow = beforeRow;
    return true;
}

bool Worksheet::Impl::buildIndex(QString& error) {
    root = doc->document_element();
    if (!isNamed(root, "worksheet")) {
        error = QStringLiteral("ワークシートの形式が違います");
        return false;
    }
    sheetData = ensureChild(root, "sheetData", kWorksheetOrder);
    forgetLastRow();
    rows.clear();
    cells.clear();
    colStylesRead = false;
    merges.clear();
    int last = 0;
    bool rowsSorted = true;
    for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
        if (!isNamed(row, "row"))
            continue;
        int r = parseInt(row.attribute("r").value(), 0);
        if (r < 1) {
            r = last + 1;
            setAttr(row, "r", std::to_string(r));
        }
        if (r > kMaxRow || rows.count(r)) {
            error = QStringLiteral("行番号が正しくありません：%1").arg(r);
            return false;
        }
        if (r < last)
            rowsSorted = false;
        last = std::max(last, r);
        rows.emplace(r, row);

        int lastCol = 0;
        bool cellsSorted = true;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (!isNamed(c, "c"))
                continue;
            int cr = 0, cc = 0;
            if (!parseCellRef(c.attribute("r").value(), cr, cc)) {
                cc = lastCol + 1;
                cr = r;
            }
            if (cr != r || !c.attribute("r"))
                setAttr(c, "r", cellRef(r, cc));
            if (cc <= lastCol)
                cellsSorted = false;
            lastCol = std::max(lastCol, cc);
        }
        if (!cellsSorted) {
            std::vector<std::pair<int, pugi::xml_node>> cells;
            for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling())
                if (isNamed(c, "c"))
                    cells.emplace_back(cellCol(c), c);
            std::stable_sort(cells.begin(), cells.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            pugi::xml_node ext = child(row, "extLst");
            for (auto& [col, node] : cells)
                ext ? row.insert_move_before(node, ext) : row.append_move(node);
        }
    }
    if (!rowsSorted) {
        pugi::xml_node anchor = sheetData.first_child();
        for (auto& [r, node] : rows)
            anchor ? sheetData.insert_move_before(node, anchor) : sheetData.append_move(node);
    }
    for (pugi::xml_node m = child(child(root, "mergeCells"), "mergeCell"); m;
         m = m.next_sibling()) {
        CellRange range;
        if (isNamed(m, "mergeCell") && xlsxParseRange(qs(m.attribute("ref").value()), range))
            merges.push_back(range);
    }
    return true;
}

pugi::xml_node Worksheet::Impl::rowNode(int row, bool create) {
    auto it = rows.lower_bound(row);
    if (it != rows.end() && it->first == row)
        return it->second;
    if (!create)
        return {};
    const std::string name = prefixOf(sheetData) + "row";
    pugi::xml_node node = it == rows.end()
                              ? sheetData.append_child(name.c_str())
                              : sheetData.insert_child_before(name.c_str(), it->second);
    node.append_attribute("r").set_value(row);
    rows.emplace_hint(it, row, node);
    return node;
}

std::vector<std::pair<int, pugi::xml_node>>& Worksheet::Impl::cellsOf(int row,
                                                                      pugi::xml_node rowNode) {
    auto [it, added] = cells.try_emplace(row);
    if (added)
        for (pugi::xml_node c = rowNode.first_child(); c; c = c.next_sibling())
            if (isNamed(c, "c"))
                it->second.emplace_back(cellCol(c), c);
    return it->second;
}

const std::string& Worksheet::Impl::keyFor(const StyleChange& change) {
    for (const auto& [known, key] : changeKeys)
        if (known == change)
            return key;
    if (changeKeys.size() >= 64)
        changeKeys.clear();
    changeKeys.emplace_back(change, StyleSheet::keyOf(change));
    return changeKeys.back().second;
}

pugi::xml_node Worksheet::Impl::cellNode(int row, int col, bool create) {
    if (row != lastRow || !lastCells) {
        pugi::xml_node found = rowNode(row, create);
        if (!found)
            return {};
        lastCells = &cellsOf(row, found);
        lastRowNode = found;
        lastRow = row;
    }
    pugi::xml_node r = lastRowNode;
    auto& list = *lastCells;
    // Reports write left to right: most new cells go after the row's last one.
    auto at = list.empty() || list.back().first < col
                  ? list.end()
                  : std::lower_bound(list.begin(), list.end(), col,
                                     [](const auto& e, int c) { return e.first < c; });
    if (at != list.end() && at->first == col)
        return at->second;
    if (!create)
        return {};
    const std::string name = unprefixed(r) ? std::string() : prefixOf(r) + "c";
    const char* cName = name.empty() ? "c" : name.c_str();
    pugi::xml_node cell = at == list.begin() ? r.prepend_child(cName)
                                             : r.insert_child_after(cName, std::prev(at)->second);
    char ref[16];
    cell.append_attribute("r").set_value(cellRefText(row, col, ref));
    if (const int s = defaultStyle(row, col))
        cell.append_attribute("s").set_value(s);
    list.emplace(at, col, cell);
    return cell;
}

const CellRange* Worksheet::Impl::coveringMerge(int row, int col) const {
    for (const CellRange& m : merges)
        if (m.contains(row, col) && !(m.row1 == row && m.col1 == col))
            return &m;
    return nullptr;
}

int Worksheet::Impl::defaultStyle(int row, int col) const {
    if (const auto it = rows.find(row); it != rows.end()) {
        const pugi::xml_node r = it->second;
        const std::string_view custom = r.attribute("customFormat").value();
        if (custom == "1" || custom == "true")
            return parseInt(r.attribute("s").value(), 0);
    }
    if (!colStylesRead) {
        colStyles.clear();
        for (pugi::xml_node c = child(child(root, "cols"), "col"); c; c = c.next_sibling())
            if (isNamed(c, "col"))
                colStyles.push_back({parseInt(c.attribute("min").value(), 0),
                                     parseInt(c.attribute("max").value(), 0),
                                     parseInt(c.attribute("style").value(), 0)});
        colStylesRead = true;
    }
    for (const auto& [first, last, style] : colStyles)
        if (first <= col && col <= last)
            return style;
    return 0;
}

int Worksheet::Impl::styleOf(int row, int col) const {
    pugi::xml_node c = const_cast<Impl*>(this)->cellNode(row, col, false);
    return c ? parseInt(c.attribute("s").value(), 0) : defaultStyle(row, col);
}

bool Worksheet::Impl::applyDerived(int row, int col, const StyleChange& change,
                                   const std::string& key) {
    pugi::xml_node c = cellNode(row, col, true);
    const int base = parseInt(c.attribute("s").value(), 0);
    QString err;
    const int xf = book->styles.derive(base, change, key, err);
    if (xf < 0)
        return fail(err);
    if (xf == 0) {
        c.remove_attribute("s");
    } else {
        pugi::xml_attribute a = c.attribute("s");
        (a ? a : c.append_attribute("s")).set_value(xf);
    }
    return true;
}

void Worksheet::Impl::clearContent(pugi::xml_node cell) {
    cell.remove_attribute("t");
    for (pugi::xml_node k = cell.first_child(); k;) {
        pugi::xml_node next = k.next_sibling();
        if (!isNamed(k, "extLst"))
            cell.remove_child(k);
        k = next;
    }
}

void Worksheet::Impl::finish(bool selected) {
    int minRow = writtenRows[0], maxRow = writtenRows[1], minCol = writtenCols[0],
        maxCol = writtenCols[1];
    for (auto& [r, node] : rows) {
        node.remove_attribute("spans");
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (!isNamed(c, "c"))
                continue;
            const int col = cellCol(c);
            if (!minRow)
                minRow = r;
            maxRow = r;
            minCol = minCol ? std::min(minCol, col) : col;
            maxCol = std::max(maxCol, col);
        }
    }
    std::string ref = "A1";
    if (minRow) {
        ref = cellRef(minRow, minCol);
        if (maxRow != minRow || maxCol != minCol) {
            ref += ':';
            ref += cellRef(maxRow, maxCol);
        }
    }
    setAttr(ensureChild(root, "dimension", kWorksheetOrder), "ref", ref);

    pugi::xml_node views = child(root, "sheetViews");
    if (!views && selected) {
        views = ensureChild(root, "sheetViews", kWorksheetOrder);
        appendChild(views, "sheetView").append_attribute("workbookViewId").set_value(0);
    }
    bool first = true;
    for (pugi::xml_node v = views.first_child(); v; v = v.next_sibling()) {
        if (!isNamed(v, "sheetView"))
            continue;
        if (selected && first)
            setAttr(v, "tabSelected", "1");
        else
            v.remove_attribute("tabSelected");
        first = false;
    }

    if (pugi::xml_node m = child(root, "mergeCells")) {
        if (merges.empty())
            root.remove_child(m);
        else
            setAttr(m, "count", std::to_string(merges.size()));
    }
    if (pugi::xml_node cols = child(root, "cols"); cols && !child(cols, "col"))
        root.remove_child(cols);
}

// ---------------------------------------------------------------------------------------------
// Worksheet

Worksheet::Worksheet(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Worksheet::~Worksheet() = default;

QString Worksheet::name() const {
    return d->entry->name;
}

int Worksheet::index() const {
    return d->book->indexOf(d->entry);
}

bool Worksheet::setText(int row, int col, const QString& text) {
    if (!d->wake())
        return false;
    if (!d->checkCell(row, col))
        return false;
    if (d->coveringMerge(row, col))
        return d->fail(QStringLiteral("結合されたセルには書き込めません：") +
                       xlsxCellName(row, col));
    pugi::xml_node c = d->cellNode(row, col, true);
    d->clearContent(c);
    if (text.isEmpty())
        return true;
    // Excel holds at most 32767 characters in a cell.
    QString t = text.size() > kMaxCellText ? text.left(kMaxCellText) : text;
    if (t.size() == kMaxCellText && t.back().isHighSurrogate())
        t.chop(1);
    setAttr(c, "t", "inlineStr");
    pugi::xml_node ext = child(c, "extLst");
    const std::string isName = prefixOf(c) + "is";
    pugi::xml_node is =
        ext ? c.insert_child_before(isName.c_str(), ext) : c.append_child(isName.c_str());
    pugi::xml_node tn = appendChild(is, "t");
    if (needsPreserve(t))
        tn.append_attribute("xml:space").set_value("preserve");
    tn.text().set(u8(escapeCellText(t)).c_str());
    return true;
}

bool Worksheet::setNumber(int row, int col, double value) {
    if (!d->wake())
        return false;
    if (!d->checkCell(row, col))
        return false;
    if (!std::isfinite(value))
        return d->fail(QStringLiteral("数値ではありません：") + xlsxCellName(row, col));
    if (d->coveringMerge(row, col))
        return d->fail(QStringLiteral("結合されたセルには書き込めません：") +
                       xlsxCellName(row, col));
    pugi::xml_node c = d->cellNode(row, col, true);
    d->clearContent(c);
    const std::string vName = unprefixed(c) ? std::string() : prefixOf(c) + "v";
    const char* name = vName.empty() ? "v" : vName.c_str();
    pugi::xml_node ext = c.first_child() ? child(c, "extLst") : pugi::xml_node();
    pugi::xml_node v = ext ? c.insert_child_before(name, ext) : c.append_child(name);
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, value == 0 ? 0.0 : value).ptr;
    *end = '\0';
    v.text().set(text);
    return true;
}

bool Worksheet::clearValue(int row, int col) {
    if (!d->wake())
        return false;
    if (!d->checkCell(row, col))
        return false;
    if (pugi::xml_node c = d->cellNode(row, col, false))
        d->clearContent(c);
    return true;
}

bool Worksheet::applyStyle(int row, int col, const StyleChange& change) {
    if (!d->wake())
        return false;
    return applyStyle(CellRange{row, col, row, col}, change);
}

bool Worksheet::applyStyle(const CellRange& range, const StyleChange& change) {
    if (!d->wake())
        return false;
    if (!d->checkCell(range.row1, range.col1) || !d->checkCell(range.row2, range.col2))
        return false;
    if (range.row2 < range.row1 || range.col2 < range.col1)
        return d->fail(QStringLiteral("セル範囲が正しくありません"));
    const std::string& key = d->keyFor(change);
    for (int r = range.row1; r <= range.row2; ++r)
        for (int c = range.col1; c <= range.col2; ++c)
            if (!d->applyDerived(r, c, change, key))
                return false;
    return true;
}

bool Worksheet::setNumberFormat(int row, int col, const QString& code) {
    if (!d->wake())
        return false;
    StyleChange ch;
    ch.numberFormat = code;
    return applyStyle(row, col, ch);
}

bool Worksheet::setFill(int row, int col, int colorIndex) {
    if (!d->wake())
        return false;
    if (colorIndex < 0 || colorIndex > 56)
        return d->fail(QStringLiteral("色番号が範囲外です：%1").arg(colorIndex));
    StyleChange ch;
    ch.fillColorIndex = colorIndex;
    return applyStyle(row, col, ch);
}

bool Worksheet::setFontSize(int row, int col, double points) {
    if (!d->wake())
        return false;
    StyleChange ch;
    ch.fontSize = points;
    return applyStyle(row, col, ch);
}

bool Worksheet::setBold(int row, int col, bool bold) {
    if (!d->wake())
        return false;
    StyleChange ch;
    ch.bold = bold;
    return applyStyle(row, col, ch);
}

bool Worksheet::setThinBorders(const CellRange& range, int sides) {
    if (!d->wake())
        return false;
    if (!d->checkCell(range.row1, range.col1) || !d->checkCell(range.row2, range.col2))
        return false;
    if (range.row2 < range.row1 || range.col2 < range.col1)
        return d->fail(QStringLiteral("セル範囲が正しくありません"));
    std::string keys[16];
    for (int r = range.row1; r <= range.row2; ++r) {
        for (int c = range.col1; c <= range.col2; ++c) {
            int mask = 0;
            if ((c == range.col1 && (sides & CellSide::Left)) ||
                (c > range.col1 && (sides & CellSide::InsideVertical)))
                mask |= CellSide::Left;
            if ((c == range.col2 && (sides & CellSide::Right)) ||
                (c < range.col2 && (sides & CellSide::InsideVertical)))
                mask |= CellSide::Right;
            if ((r == range.row1 && (sides & CellSide::Top)) ||
                (r > range.row1 && (sides & CellSide::InsideHorizontal)))
                mask |= CellSide::Top;
            if ((r == range.row2 && (sides & CellSide::Bottom)) ||
                (r < range.row2 && (sides & CellSide::InsideHorizontal)))
                mask |= CellSide::Bottom;
            StyleChange ch;
            ch.thinSides = mask;
            ch.clearDiagonal = true;
            std::string& key = keys[mask];
            if (key.empty())
                key = StyleSheet::keyOf(ch);
            if (!d->applyDerived(r, c, ch, key))
                return false;
        }
    }
    return true;
}

bool Worksheet::merge(const CellRange& range) {
    if (!d->wake())
        return false;
    if (!d->checkCell(range.row1, range.col1) || !d->checkCell(range.row2, range.col2))
        return false;
    if (range.row2 < range.row1 || range.col2 < range.col1)
        return d->fail(QStringLiteral("セル範囲が正しくありません"));
    if (range.row1 == range.row2 && range.col1 == range.col2)
        return true;
    for (const CellRange& m : d->merges)
        if (m.row1 <= range.row2 && range.row1 <= m.row2 && m.col1 <= range.col2 &&
            range.col1 <= m.col2)
            return d->fail(QStringLiteral("結合範囲が重なっています：") +
                           xlsxCellName(range.row1, range.col1));
    // Only the top-left cell keeps its value, as in Excel.
    for (auto it = d->rows.lower_bound(range.row1); it != d->rows.end() && it->first <= range.row2;
         ++it)
        for (pugi::xml_node c = it->second.first_child(); c; c = c.next_sibling()) {
            const int col = cellCol(c);
            if (isNamed(c, "c") && col >= range.col1 && col <= range.col2 &&
                !(it->first == range.row1 && col == range.col1))
                d->clearContent(c);
        }
    pugi::xml_node list = ensureChild(d->root, "mergeCells", kWorksheetOrder);
    pugi::xml_node m = appendChild(list, "mergeCell");
    std::string ref = cellRef(range.row1, range.col1);
    ref += ':';
    ref += cellRef(range.row2, range.col2);
    m.append_attribute("ref").set_value(ref.c_str());
    d->merges.push_back(range);
    setAttr(list, "count", std::to_string(d->merges.size()));
    return true;
}

QList<CellRange> Worksheet::mergedRanges() const {
    return QList<CellRange>(d->merges.begin(), d->merges.end());
}

bool Worksheet::setRowHeight(int row, double points) {
    if (!d->wake())
        return false;
    if (!d->checkCell(row, 1))
        return false;
    if (!(points >= 0 && points <= 409))
        return d->fail(QStringLiteral("行の高さが範囲外です：%1").arg(points));
    pugi::xml_node r = d->rowNode(row, true);
    setAttr(r, "ht", formatDouble(points));
    setAttr(r, "customHeight", "1");
    return true;
}

double Worksheet::rowHeight(int row) const {
    d->wake();
    double v = 0;
    if (pugi::xml_node r = d->rowNode(row, false))
        if (parseDouble(r.attribute("ht").value(), v))
            return v;
    if (parseDouble(d->sheetFormatPr().attribute("defaultRowHeight").value(), v))
        return v;
    return 15;
}

bool Worksheet::setColumnWidth(int col, double width) {
    if (!d->wake())
        return false;
    return setColumnWidth(col, col, width);
}

std::vector<pugi::xml_node> Worksheet::Impl::columnNodes(int firstCol, int lastCol) {
    // The callers change what is returned: the column styles are read again when next needed.
    colStylesRead = false;
    pugi::xml_node cols = ensureChild(root, "cols", kWorksheetOrder);
    std::vector<pugi::xml_node> out;
    // Ranges must not overlap: split any <col> that reaches outside [firstCol, lastCol].
    std::vector<std::pair<int, int>> covered;
    for (pugi::xml_node c = cols.first_child(); c; c = c.next_sibling()) {
        if (!isNamed(c, "col"))
            continue;
        const int mn = parseInt(c.attribute("min").value(), 0);
        const int mx = parseInt(c.attribute("max").value(), 0);
        if (mx < firstCol || mn > lastCol)
            continue;
        if (mn < firstCol) {
            pugi::xml_node before = cols.insert_copy_before(c, c);
            setAttr(before, "max", std::to_string(firstCol - 1));
            setAttr(c, "min", std::to_string(firstCol));
        }
        if (mx > lastCol) {
            pugi::xml_node after = cols.insert_copy_after(c, c);
            setAttr(after, "min", std::to_string(lastCol + 1));
            setAttr(c, "max", std::to_string(lastCol));
        }
        out.push_back(c);
        covered.emplace_back(std::max(mn, firstCol), std::min(mx, lastCol));
    }
    std::sort(covered.begin(), covered.end());
    // Columns without a <col> get one with the sheet's default width.
    const pugi::xml_node format = sheetFormatPr();
    double width = 0;
    if (!parseDouble(format.attribute("defaultColWidth").value(), width)) {
        double base = 8;
        parseDouble(format.attribute("baseColWidth").value(), base);
        width = base + 0.43;
    }
    int next = firstCol;
    auto addRange = [&](int from, int to) {
        pugi::xml_node c = appendChild(cols, "col");
        c.append_attribute("min").set_value(from);
        c.append_attribute("max").set_value(to);
        c.append_attribute("width").set_value(formatDouble(width).c_str());
        out.push_back(c);
    };
    for (const auto& [from, to] : covered) {
        if (from > next)
            addRange(next, from - 1);
        next = std::max(next, to + 1);
    }
    if (next <= lastCol)
        addRange(next, lastCol);
    // Keep <col> elements in ascending order.
    std::vector<std::pair<int, pugi::xml_node>> all;
    for (pugi::xml_node c = cols.first_child(); c; c = c.next_sibling())
        if (isNamed(c, "col"))
            all.emplace_back(parseInt(c.attribute("min").value(), 0), c);
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [mn, node] : all)
        cols.append_move(node);
    return out;
}

bool Worksheet::setColumnWidth(int firstCol, int lastCol, double width) {
    if (!d->wake())
        return false;
    if (firstCol < 1 || lastCol < firstCol || lastCol > kMaxCol)
        return d->fail(QStringLiteral("列番号が範囲外です：%1").arg(firstCol));
    if (!(width >= 0 && width <= 255))
        return d->fail(QStringLiteral("列の幅が範囲外です：%1").arg(width));
    const std::string w = formatDouble(width);
    for (pugi::xml_node c : d->columnNodes(firstCol, lastCol)) {
        setAttr(c, "width", w);
        setAttr(c, "customWidth", "1");
    }
    return true;
}

bool Worksheet::setColumnStyle(int firstCol, int lastCol, const StyleChange& change) {
    if (!d->wake())
        return false;
    if (firstCol < 1 || lastCol < firstCol || lastCol > kMaxCol)
        return d->fail(QStringLiteral("列番号が範囲外です：%1").arg(firstCol));
    const std::string key = StyleSheet::keyOf(change);
    for (pugi::xml_node c : d->columnNodes(firstCol, lastCol)) {
        QString err;
        const int xf =
            d->book->styles.derive(parseInt(c.attribute("style").value(), 0), change, key, err);
        if (xf < 0)
            return d->fail(err);
        if (xf == 0)
            c.remove_attribute("style");
        else
            setAttr(c, "style", std::to_string(xf));
    }
    return true;
}

double Worksheet::columnWidth(int col) const {
    d->wake();
    double v = 0;
    for (pugi::xml_node c = child(child(d->root, "cols"), "col"); c; c = c.next_sibling()) {
        if (!isNamed(c, "col"))
            continue;
        if (parseInt(c.attribute("min").value(), 0) <= col &&
            col <= parseInt(c.attribute("max").value(), 0) &&
            parseDouble(c.attribute("width").value(), v))
            return v;
    }
    const pugi::xml_node f = d->sheetFormatPr();
    if (parseDouble(f.attribute("defaultColWidth").value(), v))
        return v;
    double base = 8;
    parseDouble(f.attribute("baseColWidth").value(), base);
    return base + 0.43; // Excel's padding for its standard fonts
}

PageSetup Worksheet::pageSetup() const {
    d->wake();
    PageSetup p;
    const pugi::xml_node ps = child(d->root, "pageSetup");
    p.paperSize = parseInt(ps.attribute("paperSize").value(), 1);
    if (!ps.attribute("paperSize"))
        p.paperSize = 1;
    p.landscape = std::string_view(ps.attribute("orientation").value()) == "landscape";
    p.scale = parseInt(ps.attribute("scale").value(), 100);
    p.fitToWidth = parseInt(ps.attribute("fitToWidth").value(), 1);
    p.fitToHeight = parseInt(ps.attribute("fitToHeight").value(), 1);
    const std::string_view fit =
        child(child(d->root, "sheetPr"), "pageSetUpPr").attribute("fitToPage").value();
    p.fitToPage = fit == "1" || fit == "true";
    const pugi::xml_node m = child(d->root, "pageMargins");
    auto margin = [&](const char* name, double& v) {
        double x = 0;
        if (parseDouble(m.attribute(name).value(), x))
            v = x;
    };
    margin("left", p.marginLeft);
    margin("right", p.marginRight);
    margin("top", p.marginTop);
    margin("bottom", p.marginBottom);
    margin("header", p.marginHeader);
    margin("footer", p.marginFooter);
    const pugi::xml_node po = child(d->root, "printOptions");
    const std::string_view hc = po.attribute("horizontalCentered").value();
    const std::string_view vc = po.attribute("verticalCentered").value();
    p.centerHorizontally = hc == "1" || hc == "true";
    p.centerVertically = vc == "1" || vc == "true";
    const pugi::xml_node hf = child(d->root, "headerFooter");
    p.header = qs(child(hf, "oddHeader").text().get());
    p.footer = qs(child(hf, "oddFooter").text().get());
    return p;
}

bool Worksheet::setPageSetup(const PageSetup& p) {
    if (!d->wake())
        return false;
    if (p.paperSize < 1 || p.paperSize > 118 || p.scale < 10 || p.scale > 400 || p.fitToWidth < 0 ||
        p.fitToHeight < 0)
        return d->fail(QStringLiteral("ページ設定が正しくありません"));
    for (double m :
         {p.marginLeft, p.marginRight, p.marginTop, p.marginBottom, p.marginHeader, p.marginFooter})
        if (!(m >= 0 && m < 50))
            return d->fail(QStringLiteral("余白が正しくありません"));
    pugi::xml_node root = d->root;

    pugi::xml_node sheetPr = child(root, "sheetPr");
    if (p.fitToPage || sheetPr) {
        sheetPr = ensureChild(root, "sheetPr", kWorksheetOrder);
        pugi::xml_node pr = ensureChild(sheetPr, "pageSetUpPr", kSheetPrOrder);
        if (p.fitToPage)
            setAttr(pr, "fitToPage", "1");
        else
            pr.remove_attribute("fitToPage");
        if (!pr.first_attribute())
            sheetPr.remove_child(pr);
        if (!sheetPr.first_attribute() && !sheetPr.first_child())
            root.remove_child(sheetPr);
    }

    pugi::xml_node po = child(root, "printOptions");
    if (p.centerHorizontally || p.centerVertically || po) {
        po = ensureChild(root, "printOptions", kWorksheetOrder);
        auto flag = [&](const char* name, bool on) {
            if (on)
                setAttr(po, name, "1");
            else
                po.remove_attribute(name);
        };
        flag("horizontalCentered", p.centerHorizontally);
        flag("verticalCentered", p.centerVertically);
        if (!po.first_attribute())
            root.remove_child(po);
    }

    pugi::xml_node m = ensureChild(root, "pageMargins", kWorksheetOrder);
    setAttr(m, "left", formatDouble(p.marginLeft));
    setAttr(m, "right", formatDouble(p.marginRight));
    setAttr(m, "top", formatDouble(p.marginTop));
    setAttr(m, "bottom", formatDouble(p.marginBottom));
    setAttr(m, "header", formatDouble(p.marginHeader));
    setAttr(m, "footer", formatDouble(p.marginFooter));

    pugi::xml_node ps = ensureChild(root, "pageSetup", kWorksheetOrder);
    setAttr(ps, "paperSize", std::to_string(p.paperSize));
    setAttr(ps, "scale", std::to_string(p.scale));
    // The page counts take effect only with the sheet's fitToPage flag: they are written with
    // it, so that a sheet that asks to fit always fits.
    if (p.fitToPage) {
        setAttr(ps, "fitToWidth", std::to_string(p.fitToWidth));
        setAttr(ps, "fitToHeight", std::to_string(p.fitToHeight));
    } else {
        ps.remove_attribute("fitToWidth");
        ps.remove_attribute("fitToHeight");
    }
    setAttr(ps, "orientation", p.landscape ? "landscape" : "portrait");

    pugi::xml_node hf = child(root, "headerFooter");
    if (!p.header.isEmpty() || !p.footer.isEmpty() || hf) {
        hf = ensureChild(root, "headerFooter", kWorksheetOrder);
        auto part = [&](const char* name, const QString& text) {
            pugi::xml_node n = child(hf, name);
            if (text.isEmpty()) {
                if (n)
                    hf.remove_child(n);
                return;
            }
            if (!n)
                n = ensureChild(hf, name,
                                {"oddHeader", "oddFooter", "evenHeader", "evenFooter",
                                 "firstHeader", "firstFooter"});
            n.text().set(u8(text).c_str());
        };
        part("oddHeader", p.header);
        part("oddFooter", p.footer);
        if (!hf.first_child() && !hf.first_attribute())
            root.remove_child(hf);
    }
    return true;
}

QVariant Worksheet::value(int row, int col) const {
    d->wake();
    const pugi::xml_node c = d->cellNode(row, col, false);
    if (!c)
        return {};
    const std::string_view t = c.attribute("t").value();
    const pugi::xml_node v = child(c, "v");
    if (t == "inlineStr") {
        const pugi::xml_node is = child(c, "is");
        QString text;
        for (pugi::xml_node k = is.first_child(); k; k = k.next_sibling()) {
            if (isNamed(k, "t"))
                text += qs(k.text().get());
            else if (isNamed(k, "r"))
                text += qs(child(k, "t").text().get());
        }
        return unescapeCellText(text);
    }
    if (!v)
        return {};
    if (t == "s") {
        const int i = parseInt(v.text().get(), -1);
        if (i < 0 || i >= static_cast<int>(d->book->sharedStrings.size()))
            return {};
        return d->book->sharedStrings[static_cast<size_t>(i)];
    }
    if (t == "str" || t == "e" || t == "d")
        return unescapeCellText(qs(v.text().get()));
    if (t == "b")
        return std::string_view(v.text().get()) == "1";
    double x = 0;
    if (parseDouble(v.text().get(), x))
        return x;
    return {};
}

CellFormat Worksheet::format(int row, int col) const {
    d->wake();
    return d->book->styles.describe(d->styleOf(row, col));
}

int Worksheet::lastRow() const {
    for (auto it = d->rows.rbegin(); it != d->rows.rend(); ++it)
        if (child(it->second, "c"))
            return it->first;
    return d->writtenRows[1];
}

int Worksheet::lastColumn() const {
    int m = 0;
    for (const auto& [r, node] : d->rows)
        for (pugi::xml_node c = node.last_child(); c; c = c.previous_sibling())
            if (isNamed(c, "c")) {
                m = std::max(m, cellCol(c));
                break;
            }
    return std::max(m, d->writtenCols[1]);
}

bool Worksheet::writeOutRows(int beforeRow) {
    return d->wake() && d->writeOutRows(beforeRow);
}

bool Worksheet::writeOutAllRows() {
    if (!d->wake() ||
        !d->writeOutRows(d->rows.empty() ? d->firstOpenRow : d->rows.rbegin()->first + 1))
        return false;
    // Nothing is left to write out when no row was: the sheet stays as it is.
    return d->firstOpenRow == 1 || d->park();
}

int Worksheet::firstOpenRow() const {
    return d->firstOpenRow;
}
