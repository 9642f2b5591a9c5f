#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

// The workbook package module: opens an Office Open XML workbook (.xlsx), copies, renames and
// deletes sheets, writes values and styles into cells and saves the result. Only the parts that
// change are parsed (content types, workbook, styles, worksheets, extended properties); every
// other part is copied byte for byte.
//
// Addressing: rows and columns are counted from 1 (row 1 column 1 is A1); sheets are counted
// from 0 in workbook order. Every routine returns false (or nullptr / -1) on failure and leaves
// the reason in Workbook::errorText(); nothing is logged here, the report layer does that.
//
// Styles: a cell's style is never edited in place, because other cells share it. A change
// derives a new cell format from the cell's current one (number format, font, fill, border,
// alignment kept unless changed) and reuses an identical format when one exists.

// Sides of a cell or a range, as combinable flags (the six borders of Excel's range ruling).
namespace CellSide {
constexpr int Top = 1;
constexpr int Bottom = 2;
constexpr int Left = 4;
constexpr int Right = 8;
constexpr int InsideVertical = 16;
constexpr int InsideHorizontal = 32;
constexpr int Outline = Top | Bottom | Left | Right;
constexpr int All = Outline | InsideVertical | InsideHorizontal;
} // namespace CellSide

enum class HAlign { General, Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

// A change to a cell's format; only the members that are set change.
struct StyleChange {
    std::optional<QString> numberFormat; // a format code: "General", "@", "#,##0", "0.0%", ...
    std::optional<int> fillColorIndex;   // Excel colour index 1..56; 0 removes the fill
    std::optional<double> fontSize;      // points
    std::optional<bool> bold;
    std::optional<QString> fontName;
    std::optional<HAlign> horizontal;
    std::optional<VAlign> vertical;
    std::optional<bool> wrapText;
    std::optional<bool> shrinkToFit; // a text wider than its cell is drawn smaller
    int thinSides = 0;          // CellSide::Top/Bottom/Left/Right of the cell set to a thin line
    bool clearDiagonal = false; // removes diagonal lines
    bool operator==(const StyleChange&) const = default;
};

// What a cell's format reads as (for checks and tests).
struct CellFormat {
    int styleIndex = 0;
    int numberFormatId = 0;
    QString numberFormat;   // the code ("General" for id 0)
    int fillColorIndex = 0; // Excel colour index of a solid fill; 0 none; -1 another colour
    QString fontName;
    double fontSize = 0;
    bool bold = false;
    int lineSides = 0;     // CellSide flags of the sides that carry any line
    int thinSides = 0;     // CellSide flags of the sides that carry a thin line
    bool diagonal = false; // a diagonal line is drawn
    QString horizontal;    // alignment attribute as stored ("" when none)
    QString vertical;
    bool wrapText = false;
    bool shrinkToFit = false;
};

// Page setup of a worksheet. Margins are in inches; header and footer use Excel's codes
// ("&P" page number, "&N" page count, "&A" sheet name).
struct PageSetup {
    int paperSize = 9; // 9 A4, 8 A3, 12 B4 (JIS), 13 B5 (JIS), 11 A5
    bool landscape = false;
    int scale = 100;
    bool fitToPage = false; // when set, fitToWidth × fitToHeight pages (0 = as many as needed)
    int fitToWidth = 1;
    int fitToHeight = 1;
    double marginLeft = 0.7;
    double marginRight = 0.7;
    double marginTop = 0.75;
    double marginBottom = 0.75;
    double marginHeader = 0.3;
    double marginFooter = 0.3;
    bool centerHorizontally = false;
    bool centerVertically = false;
    QString header;
    QString footer;
};

// A defined name of the workbook; sheet is the position of the sheet it belongs to, -1 for a
// workbook-wide name. Print areas and print titles are "_xlnm.Print_Area" / "_xlnm.Print_Titles".
struct DefinedName {
    QString name;
    int sheet = -1;
    QString formula;
};

struct CellRange {
    int row1 = 1, col1 = 1, row2 = 1, col2 = 1;
    bool contains(int row, int col) const {
        return row >= row1 && row <= row2 && col >= col1 && col <= col2;
    }
    bool operator==(const CellRange&) const = default;
};

// "A1" style helpers.
QString xlsxColumnName(int col);        // 1 → "A", 28 → "AB"; "" when out of range
QString xlsxCellName(int row, int col); // (2, 3) → "C2"
bool xlsxParseCell(const QString& ref, int& row, int& col); // "C2" → 2, 3 ("$C$2" too)
bool xlsxParseRange(const QString& ref, CellRange& range);  // "B2:D4" or "B2"

class Workbook;

// One worksheet of an open workbook. Owned by its Workbook; valid until that sheet is deleted
// or the workbook is closed.
class Worksheet {
public:
    ~Worksheet();
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    QString name() const;
    int index() const; // position in the workbook

    // Values. A written cell keeps its style; a new cell takes its column's style (or its
    // row's, when the row carries one). Text is stored as an inline string (an empty text
    // clears the value; text beyond Excel's 32767 characters is cut); numbers are written
    // independently of the locale. Cells covered by a
    // merged range other than its top-left cell refuse values.
    bool setText(int row, int col, const QString& text);
    bool setNumber(int row, int col, double value);
    bool clearValue(int row, int col);

    // Formats (derived, see above).
    bool setNumberFormat(int row, int col, const QString& code);
    bool setFill(int row, int col, int colorIndex); // Excel colour index 1..56, 0 = none
    bool setFontSize(int row, int col, double points);
    bool setBold(int row, int col, bool bold);
    bool applyStyle(int row, int col, const StyleChange& change);
    bool applyStyle(const CellRange& range, const StyleChange& change);
    // Thin lines on the range: Top/Bottom/Left/Right are its outer edges, InsideVertical and
    // InsideHorizontal the lines between its cells. Sides not named stay as they are;
    // diagonal lines are removed from every cell of the range.
    bool setThinBorders(const CellRange& range, int sides);
    bool merge(const CellRange& range);
    QList<CellRange> mergedRanges() const;

    // Rows (points, 0..409) and columns (stored width in characters, 0..255).
    bool setRowHeight(int row, double points);
    double rowHeight(int row) const;
    bool setColumnWidth(int col, double width);
    bool setColumnWidth(int firstCol, int lastCol, double width);
    double columnWidth(int col) const;
    // The format of the columns themselves, which cells created later in them start from.
    // Cells that exist keep their format.
    bool setColumnStyle(int firstCol, int lastCol, const StyleChange& change);

    PageSetup pageSetup() const;
    bool setPageSetup(const PageSetup& setup);

    // Writing a sheet out as it is made, for reports that fill it from top to bottom: the rows
    // above beforeRow go to the package now (a temporary file until the workbook is saved) and
    // leave memory. They can no longer be changed or read: value() gives nothing for them and a
    // write to them fails. Column widths, merges and page setup stay changeable; the sheet
    // cannot be copied any more. writeOutAllRows() writes out every row the sheet holds.
    bool writeOutRows(int beforeRow);
    bool writeOutAllRows();
    int firstOpenRow() const; // the first row not written out (1 when none is)

    // Reading: a QString for text (also error values and ISO dates), a double for a number, a
    // bool for a logical value, invalid for an empty cell. Formula cells give their stored
    // result.
    QVariant value(int row, int col) const;
    CellFormat format(int row, int col) const;
    int lastRow() const;    // 0 when the sheet has no cell
    int lastColumn() const; // 0 when the sheet has no cell

    // Internal to the module.
    struct Impl;
    explicit Worksheet(std::unique_ptr<Impl> impl);
    Impl* impl() const { return d.get(); }

private:
    std::unique_ptr<Impl> d;
};

class Workbook {
public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Opens a package from a file or from its bytes; any open workbook is closed first.
    bool open(const QString& path);
    bool openData(const QByteArray& data);
    // A new workbook with one empty sheet whose Normal style uses the given font.
    bool create(const QString& sheetName, const QString& fontName, double fontSize);
    void close();
    bool isOpen() const;

    // Writes the package to path through a temporary file in the same folder that replaces path
    // only when complete, so a failed save leaves no file (and an existing file unchanged). The
    // file is owner-only (CheckedFileWriter).
    bool save(const QString& path);
    bool saveToData(QByteArray& out);
    // When the last save failed in writing the file: that failure as the user is told it
    // (gFileFailureText: the cause and the file); "" otherwise.
    QString saveFailureText() const;

    QString errorText() const;

    int sheetCount() const;
    QString sheetName(int index) const;
    QStringList sheetNames() const;
    int sheetIndex(const QString& name) const; // ignoring case; -1 when there is none
    Worksheet* sheet(int index);
    Worksheet* sheet(const QString& name);

    // Copies a sheet (its current state, with its print area and print titles) after the last
    // sheet. The name is made valid and unique (see validSheetName); the copy's actual name is
    // its name(). Returns nullptr on failure.
    Worksheet* copySheet(int source, const QString& name);
    // Renames a sheet to a valid name unique among the other sheets; defined names that refer
    // to the sheet follow.
    bool renameSheet(int index, const QString& name);
    // Removes a sheet with its parts and print names; the last sheet cannot be removed.
    bool deleteSheet(int index);
    // The sheet shown (and the only one selected) when the file is opened; the first by default.
    int activeSheet() const;
    bool setActiveSheet(int index);
    // Hides a sheet (it stays in the workbook, without a tab, and is not printed) or shows it
    // again. The active sheet and the last visible sheet cannot be hidden.
    bool setSheetHidden(int index, bool hidden);
    bool isSheetHidden(int index) const;

    QList<DefinedName> definedNames() const;
    bool setDefinedName(const DefinedName& name); // adds or replaces (name, sheet)
    bool setPrintArea(int sheet, const CellRange& range);
    bool setPrintTitleRows(int sheet, int firstRow, int lastRow);

    // A sheet name Excel accepts, derived from wanted and unique among taken (ignoring case):
    // the characters []:*?/\ and control characters become "_", apostrophes at either end are
    // dropped, the name is cut to 31 characters, an empty name becomes "Sheet", and a name
    // already taken (or the reserved "History") gets " (2)", " (3)", ... before the cut.
    static QString validSheetName(const QString& wanted, const QStringList& taken);

    // Internal to the module.
    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
