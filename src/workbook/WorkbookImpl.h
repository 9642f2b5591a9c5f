#pragma once

// The internal state of a workbook and its worksheets. Only for src/reports/Workbook*.cpp.

#include "workbook/Workbook.h"
#include "workbook/WorkbookInternal.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace wbx {

struct SheetEntry {
    QString name;
    int sheetId = 0;
    std::string relId;
    std::string part;
    std::string state; // "" visible, "hidden", "veryHidden"
    std::unique_ptr<Worksheet> ws;
};

struct NameEntry {
    QString name;
    SheetEntry* sheet = nullptr;
    QString formula;
    std::vector<std::pair<std::string, std::string>> attrs; // others, kept as found
};

} // namespace wbx

struct Workbook::Impl {
    using Package = wbx::Package;
    using Relationships = wbx::Relationships;
    using StyleSheet = wbx::StyleSheet;
    using SheetEntry = wbx::SheetEntry;
    using NameEntry = wbx::NameEntry;

    Package pkg;
    bool isOpen = false;
    QString error;
    QString saveFailure; // the last save's file failure for the user
    std::string workbookPart;
    pugi::xml_document* ct = nullptr;
    pugi::xml_node wbRoot;
    Relationships wbRels;
    StyleSheet styles;
    std::vector<QString> sharedStrings;
    std::vector<std::unique_ptr<SheetEntry>> sheets;
    std::vector<NameEntry> names;
    SheetEntry* active = nullptr;
    int nextSheetNumber = 1;
    int nextPrinterNumber = 1;

    bool fail(const QString& text) {
        error = text;
        return false;
    }
    bool load();
    int indexOf(const SheetEntry* e) const {
        for (size_t i = 0; i < sheets.size(); ++i)
            if (sheets[i].get() == e)
                return static_cast<int>(i);
        return -1;
    }
    QStringList namesExcept(const SheetEntry* skip) const {
        QStringList out;
        for (const auto& s : sheets)
            if (s.get() != skip)
                out << s->name;
        return out;
    }
    bool makeWorksheet(SheetEntry& e, pugi::xml_document* doc);
    void addOverride(const std::string& part, const std::string& type);
    void removeOverride(const std::string& part);
    std::string contentTypeOf(const std::string& part) const;
    std::string unusedPart(const std::string& folder, const std::string& stem,
                           const std::string& ext, int& counter);
    bool prepareSave();
};

struct Worksheet::Impl {
    Workbook::Impl* book = nullptr;
    wbx::SheetEntry* entry = nullptr;
    pugi::xml_document* doc = nullptr; // owned by the package part
    pugi::xml_node root;
    pugi::xml_node sheetData;
    std::map<int, pugi::xml_node> rows; // row number → <row>
    // Per row number, the row's cells by column: read on the row's first lookup and kept as
    // cellNode adds cells (the only place cells are added; none is ever removed).
    std::unordered_map<int, std::vector<std::pair<int, pugi::xml_node>>> cells;
    // The <col> ranges (first, last column, style) in document order; read again after
    // columnNodes changed them.
    mutable std::vector<std::array<int, 3>> colStyles;
    mutable bool colStylesRead = false;
    std::vector<CellRange> merges;
    // Rows above firstOpenRow are written out (Package::writeOut); the cells they held span
    // writtenRows × writtenCols (0 when none).
    int firstOpenRow = 1;
    int writtenRows[2] = {0, 0};
    int writtenCols[2] = {0, 0};

    // The row cellNode met last, with its cells: reports write a row's cells one after another.
    // Forgotten wherever rows or cells leave the index.
    int lastRow = 0;
    pugi::xml_node lastRowNode;
    std::vector<std::pair<int, pugi::xml_node>>* lastCells = nullptr;
    void forgetLastRow() {
        lastRow = 0;
        lastRowNode = {};
        lastCells = nullptr;
    }
    // The keys of the style changes met so far (a report uses a handful, cell after cell).
    std::vector<std::pair<StyleChange, std::string>> changeKeys;
    const std::string& keyFor(const StyleChange& change);

    bool fail(const QString& text);
    bool checkCell(int row, int col);
    bool writeOutRows(int beforeRow);
    // A sheet whose rows are all written out is parked: its remaining text (page setup, widths,
    // merges) is kept as the part's serialised data instead of a document, and parsed again by
    // wake() when it is used. wake() is true at once for a sheet that is not parked.
    bool parked = false;
    bool park();
    bool wake();
    // Reads the sheet: indexes rows, numbers rows and cells without a reference and puts rows
    // and cells in order.
    bool buildIndex(QString& error);
    pugi::xml_node rowNode(int row, bool create);
    pugi::xml_node cellNode(int row, int col, bool create);
    std::vector<std::pair<int, pugi::xml_node>>& cellsOf(int row, pugi::xml_node rowNode);
    const CellRange* coveringMerge(int row, int col) const; // a merge covering, not its origin
    int defaultStyle(int row, int col) const;
    int styleOf(int row, int col) const;
    bool applyDerived(int row, int col, const StyleChange& change, const std::string& key);
    void clearContent(pugi::xml_node cell);
    // The <col> elements covering exactly [firstCol, lastCol], split and added as needed.
    std::vector<pugi::xml_node> columnNodes(int firstCol, int lastCol);
    pugi::xml_node sheetFormatPr() const { return wbx::child(root, "sheetFormatPr"); }
    // Before saving: dimension, tab selection, empty containers.
    void finish(bool selected);
};
