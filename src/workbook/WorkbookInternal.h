#pragma once

// Internal pieces of the workbook package module: XML helpers, the part store with its ZIP
// reading and writing, and the style sheet. Not for use outside src/reports/Workbook*.cpp.

#include "workbook/Workbook.h"

#include <pugixml.hpp>

struct zip;

#include <QFile>
#include <QString>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wbx {

// Namespaces and relationship / content types.
inline constexpr const char* kNsMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr const char* kNsRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kNsPkgRel =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr const char* kNsContentTypes =
    "http://schemas.openxmlformats.org/package/2006/content-types";
inline constexpr const char* kRelWorksheet =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
inline constexpr const char* kRelStyles =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr const char* kCtWorksheet =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
inline constexpr const char* kContentTypesPart = "[Content_Types].xml";

inline QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}
inline std::string u8(const QString& s) {
    return s.toStdString();
}

// Element names without their namespace prefix ("x:row" → "row").
std::string_view localName(const char* qualified);
bool isNamed(const pugi::xml_node& n, std::string_view local);
pugi::xml_node child(const pugi::xml_node& parent, std::string_view local);
// The prefix of an element ("x:" or ""), used for elements created beside it.
std::string prefixOf(const pugi::xml_node& n);
pugi::xml_node appendChild(pugi::xml_node parent, std::string_view local);
pugi::xml_node prependChild(pugi::xml_node parent, std::string_view local);
// The child of that name, created where the schema order puts it when it is missing.
pugi::xml_node ensureChild(pugi::xml_node parent, std::string_view local,
                           std::initializer_list<std::string_view> order);
// An attribute found by its local name ("r:id" → "id"), for attributes in another namespace.
pugi::xml_attribute attrByLocalName(const pugi::xml_node& n, std::string_view local);
pugi::xml_attribute setAttr(pugi::xml_node n, const char* name, const std::string& value);
// The prefix declared on the root element for a namespace ("r"), declaring it as fallback.
std::string namespacePrefix(pugi::xml_node root, const char* uri, const char* fallback);

// Schema orders of the children that this module may create.
extern const std::initializer_list<std::string_view> kWorksheetOrder;
extern const std::initializer_list<std::string_view> kWorkbookOrder;
extern const std::initializer_list<std::string_view> kStyleSheetOrder;
extern const std::initializer_list<std::string_view> kSheetPrOrder;
extern const std::initializer_list<std::string_view> kBorderOrder;
extern const std::initializer_list<std::string_view> kXfOrder;

std::string formatDouble(double v);
bool parseDouble(std::string_view text, double& v);
int parseInt(const char* text, int fallback);

// Cell references: "C2" → row 2, col 3; "$C$2" accepted.
bool parseCellRef(std::string_view ref, int& row, int& col);
std::string columnLetters(int col);
std::string cellRef(int row, int col);

// Escapes control characters of cell text as _xHHHH_ and protects literal _xHHHH_ sequences;
// decodes both when reading.
QString escapeCellText(const QString& text);
QString unescapeCellText(const QString& text);

// Package paths.
std::string lower(std::string_view s);
std::string relsPathOf(const std::string& part); // xl/workbook.xml → xl/_rels/workbook.xml.rels
std::string resolveTarget(const std::string& sourcePart, const std::string& target);
std::string relativeTarget(const std::string& sourcePart, const std::string& targetPart);

// A stretch of the package's row file (see Package::writeOut).
struct WrittenRun {
    qint64 offset = 0;
    qint64 size = 0;
};

struct Part {
    std::string name;
    std::string data;
    std::unique_ptr<pugi::xml_document> doc; // set when parsed; serialised again on save
    // Rows of a worksheet written out before saving, in row order; on save they stand first in
    // the part's sheetData, before the rows its document still holds.
    std::vector<WrittenRun> written;
    // A part put aside in the row file (Package::stash): its text is there, data is empty.
    bool stashed = false;
    WrittenRun stash;
};

// The package's parts in their original order; lookups ignore case.
class Package {
public:
    Package();
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    bool readZip(const QByteArray& zip, QString& error);
    // Builds the package and hands it to sink in pieces, in order; false when the package cannot
    // be built or sink refuses a piece. Written-out rows are read from the row file while their
    // sheet is compressed; the package is built in a temporary file (in memory when the
    // temporary folder cannot take it).
    bool writeZip(const std::function<bool(const char* data, qint64 size)>& sink, QString& error);
    // Appends serialised rows of a part to the package's row file (a temporary file made on the
    // first use, removed with the package) and notes them in the part's written runs. False
    // (nothing noted) when the file cannot be written; the caller then keeps the rows.
    bool writeOut(Part& part, const std::string& rows, QString& error);
    Part* find(const std::string& name);
    bool contains(const std::string& name) { return find(name) != nullptr; }
    // Parses a part once; nullptr (and error) when it is missing or not well-formed.
    pugi::xml_document* xml(const std::string& name, QString& error);
    Part& add(const std::string& name, std::string data);
    Part& addXml(const std::string& name, std::unique_ptr<pugi::xml_document> doc);
    // Serialises a parsed part into its data and frees the document.
    void unparse(Part& part);
    // Moves an unparsed part's text to the row file, out of memory; xml() and the package's
    // writing read it back when they need it.
    bool stash(Part& part, QString& error);
    // The text of a part, from the row file when it is stashed (it stays stashed).
    bool text(Part& part, std::string& out, QString& error);
    void remove(const std::string& name);
    std::vector<std::string> names() const;

private:
    std::vector<std::unique_ptr<Part>> m_parts;
    std::unordered_map<std::string, Part*> m_index; // by lower-case name
    bool append(const std::string& text, qint64& offset, QString& error);
    // Adds every part to a package being built (written-out sheets joined with their rows).
    bool addParts(struct ::zip* za, QString& error);
    bool readBack(const WrittenRun& run, std::string& out, QString& error);

    std::unique_ptr<QFile> m_rowFile;
    bool m_rowFileBroken = false; // a write failed: nothing more is put there
};

// The comment that stands in a parked worksheet's sheetData where its written rows go.
inline constexpr const char* kWrittenRowsMark = "tovaki-written-rows";

bool parseXml(const std::string& data, pugi::xml_document& doc, QString& error);
std::string serializeXml(const pugi::xml_document& doc);

// A relationships part, parsed.
struct Relationships {
    pugi::xml_document* doc = nullptr;
    pugi::xml_node root;
    std::string type(const std::string& id) const;
    std::string target(const std::string& id) const;
    bool external(const std::string& id) const;
    std::string idOfType(std::string_view typeSuffix) const; // first relationship of a type
    std::string add(const std::string& type, const std::string& target);
    void add(const std::string& id, const std::string& type, const std::string& target,
             bool external);
    void remove(const std::string& id);
};
// Opens (or creates, when create is set) the relationships part of a source part.
bool openRelationships(Package& pkg, const std::string& sourcePart, bool create,
                       Relationships& rels, QString& error);
// Suffix of a relationship type after its last "/" ("worksheet", "styles", ...).
std::string_view typeSuffix(std::string_view type);

// The cell formats of styles.xml with derivation caches.
class StyleSheet {
public:
    bool load(pugi::xml_document* doc, QString& error);
    // The index of the format that is base with change applied; -1 (with error) when the
    // change is invalid.
    int derive(int base, const StyleChange& change, const std::string& changeKey, QString& error);
    static std::string keyOf(const StyleChange& change);
    CellFormat describe(int xf) const;
    int count() const { return static_cast<int>(m_xfs.size()); }
    void finish(); // counts before saving

private:
    int numFmtId(const QString& code);
    int addUnique(pugi::xml_node list, std::vector<pugi::xml_node>& nodes,
                  std::unordered_map<std::string, int>& keys, const pugi::xml_node& candidate);
    pugi::xml_node m_root, m_numFmts, m_fonts, m_fills, m_borders, m_cellXfs;
    std::vector<pugi::xml_node> m_fontNodes, m_fillNodes, m_borderNodes, m_xfs;
    std::unordered_map<std::string, int> m_fontKeys, m_fillKeys, m_borderKeys, m_xfKeys;
    std::map<int, std::string> m_codes;             // custom number formats by id
    std::unordered_map<std::string, int> m_codeIds; // and by code
    // change → base → derived format
    std::unordered_map<std::string, std::unordered_map<int, int>> m_cache;
    pugi::xml_document m_scratch;
};

std::string canonical(const pugi::xml_node& n);

} // namespace wbx
