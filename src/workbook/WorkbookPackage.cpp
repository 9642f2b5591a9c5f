// XML helpers, references, paths and the ZIP part store of the workbook package module.
#include "workbook/WorkbookInternal.h"

#include <zip.h>

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace wbx {

// ---------------------------------------------------------------------------------------------
// XML

// clang-format off
const std::initializer_list<std::string_view> kWorksheetOrder = {
    "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols", "sheetData", "sheetCalcPr",
    "sheetProtection", "protectedRanges", "scenarios", "autoFilter", "sortState",
    "dataConsolidate", "customSheetViews", "mergeCells", "phoneticPr", "conditionalFormatting",
    "dataValidations", "hyperlinks", "printOptions", "pageMargins", "pageSetup", "headerFooter",
    "rowBreaks", "colBreaks", "customProperties", "cellWatches", "ignoredErrors", "smartTags",
    "drawing", "legacyDrawing", "legacyDrawingHF", "drawingHF", "picture", "oleObjects",
    "controls", "webPublishItems", "tableParts", "extLst"};

const std::initializer_list<std::string_view> kWorkbookOrder = {
    "fileVersion", "fileSharing", "workbookPr", "workbookProtection", "bookViews", "sheets",
    "functionGroups", "externalReferences", "definedNames", "calcPr", "oleSize",
    "customWorkbookViews", "pivotCaches", "smartTagPr", "smartTagTypes", "webPublishing",
    "fileRecoveryPr", "webPublishObjects", "extLst"};

const std::initializer_list<std::string_view> kStyleSheetOrder = {
    "numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs", "cellStyles", "dxfs",
    "tableStyles", "colors", "extLst"};

const std::initializer_list<std::string_view> kSheetPrOrder = {
    "tabColor", "outlinePr", "pageSetUpPr"};

const std::initializer_list<std::string_view> kBorderOrder = {
    "start", "left", "end", "right", "top", "bottom", "diagonal", "vertical", "horizontal"};

const std::initializer_list<std::string_view> kXfOrder = {"alignment", "protection", "extLst"};
// clang-format on

std::string_view localName(const char* qualified) {
    std::string_view n(qualified);
    const auto colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

bool isNamed(const pugi::xml_node& n, std::string_view local) {
    return n.type() == pugi::node_element && localName(n.name()) == local;
}

pugi::xml_node child(const pugi::xml_node& parent, std::string_view local) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (isNamed(c, local))
            return c;
    return {};
}

std::string prefixOf(const pugi::xml_node& n) {
    std::string_view name(n.name());
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

pugi::xml_node appendChild(pugi::xml_node parent, std::string_view local) {
    return parent.append_child((prefixOf(parent) + std::string(local)).c_str());
}

pugi::xml_node prependChild(pugi::xml_node parent, std::string_view local) {
    return parent.prepend_child((prefixOf(parent) + std::string(local)).c_str());
}

pugi::xml_node ensureChild(pugi::xml_node parent, std::string_view local,
                           std::initializer_list<std::string_view> order) {
    if (pugi::xml_node existing = child(parent, local))
        return existing;
    auto rank = [&](std::string_view name) -> int {
        int i = 0;
        for (std::string_view o : order) {
            if (o == name)
                return i;
            ++i;
        }
        return -1;
    };
    const int mine = rank(local);
    const std::string qualified = prefixOf(parent) + std::string(local);
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        const int r = rank(localName(c.name()));
        if (r > mine)
            return parent.insert_child_before(qualified.c_str(), c);
    }
    return parent.append_child(qualified.c_str());
}

pugi::xml_attribute attrByLocalName(const pugi::xml_node& n, std::string_view local) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        std::string_view name(a.name());
        if (name.substr(0, 6) == "xmlns:" || name == "xmlns")
            continue;
        if (localName(a.name()) == local)
            return a;
    }
    return {};
}

pugi::xml_attribute setAttr(pugi::xml_node n, const char* name, const std::string& value) {
    pugi::xml_attribute a = n.attribute(name);
    if (!a)
        a = n.append_attribute(name);
    a.set_value(value.c_str());
    return a;
}

std::string namespacePrefix(pugi::xml_node root, const char* uri, const char* fallback) {
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
        std::string_view name(a.name());
        if (name.substr(0, 6) == "xmlns:" && std::strcmp(a.value(), uri) == 0)
            return std::string(name.substr(6));
    }
    std::string declared = std::string("xmlns:") + fallback;
    if (!root.attribute(declared.c_str()))
        root.append_attribute(declared.c_str()).set_value(uri);
    return fallback;
}

bool parseXml(const std::string& data, pugi::xml_document& doc, QString& error) {
    const pugi::xml_parse_result r = doc.load_buffer(
        data.data(), data.size(),
        pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration, pugi::encoding_auto);
    if (!r) {
        error = QStringLiteral("XMLを読めません（%1、位置 %2）")
                    .arg(QString::fromUtf8(r.description()))
                    .arg(r.offset);
        return false;
    }
    return true;
}

namespace {
struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};
} // namespace

std::string serializeXml(const pugi::xml_document& doc) {
    StringWriter w;
    unsigned flags = pugi::format_raw;
    bool hasDeclaration = false;
    for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_declaration)
            hasDeclaration = true;
    if (!hasDeclaration) {
        w.out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
        flags |= pugi::format_no_declaration;
    }
    doc.save(w, "", flags, pugi::encoding_utf8);
    return w.out;
}

// Attribute order carries no meaning, so the key lists attributes sorted by name.
static void canonicalInto(const pugi::xml_node& n, std::string& out) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
        out += '"';
        out += n.value();
        out += '"';
        return;
    }
    if (n.type() != pugi::node_element)
        return;
    out += '<';
    out += localName(n.name());
    std::vector<std::pair<std::string_view, std::string_view>> attrs;
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
        attrs.emplace_back(a.name(), a.value());
    std::sort(attrs.begin(), attrs.end());
    for (const auto& [k, v] : attrs) {
        out += ' ';
        out += k;
        out += '=';
        out += v;
        out += '\x1f';
    }
    out += '>';
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        canonicalInto(c, out);
    out += "</>";
}

std::string canonical(const pugi::xml_node& n) {
    std::string out;
    canonicalInto(n, out);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Numbers and references

std::string formatDouble(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool parseDouble(std::string_view text, double& v) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '+'))
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty())
        return false;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

int parseInt(const char* text, int fallback) {
    if (!text || !*text)
        return fallback;
    int v = 0;
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return (r.ec == std::errc() && r.ptr == end) ? v : fallback;
}

bool parseCellRef(std::string_view ref, int& row, int& col) {
    size_t i = 0;
    if (i < ref.size() && ref[i] == '$')
        ++i;
    int c = 0;
    size_t letters = 0;
    while (i < ref.size() &&
           ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        c = c * 26 + ((ref[i] & ~0x20) - 'A' + 1);
        if (c > 16384)
            return false;
        ++i;
        ++letters;
    }
    if (letters == 0)
        return false;
    if (i < ref.size() && ref[i] == '$')
        ++i;
    int r = 0;
    size_t digits = 0;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + (ref[i] - '0');
        if (r > 1048576)
            return false;
        ++i;
        ++digits;
    }
    if (digits == 0 || i != ref.size() || r < 1)
        return false;
    row = r;
    col = c;
    return true;
}

std::string columnLetters(int col) {
    std::string s;
    if (col < 1 || col > 16384)
        return s;
    while (col > 0) {
        const int rem = (col - 1) % 26;
        s.insert(s.begin(), static_cast<char>('A' + rem));
        col = (col - 1) / 26;
    }
    return s;
}

std::string cellRef(int row, int col) {
    return columnLetters(col) + std::to_string(row);
}

static bool isHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// True when text holds "_xHHHH_" at i.
static bool escapeAt(const QString& text, qsizetype i) {
    if (i + 7 > text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_')
        return false;
    for (int k = 2; k < 6; ++k)
        if (!isHex(text[i + k]))
            return false;
    return true;
}

QString escapeCellText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const ushort u = c.unicode();
        if (c == u'_' && escapeAt(text, i)) {
            out += QStringLiteral("_x005F_"); // the underscore itself, so the rest stays text
            continue;
        }
        // Carriage returns too: XML readers turn CR LF into LF.
        if ((u < 0x20 && u != 0x09 && u != 0x0A) || u == 0xFFFE || u == 0xFFFF) {
            out += QStringLiteral("_x") +
                   QString::number(u, 16).rightJustified(4, QLatin1Char('0')).toUpper() +
                   QLatin1Char('_');
            continue;
        }
        out += c;
    }
    return out;
}

QString unescapeCellText(const QString& text) {
    if (!text.contains(QStringLiteral("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (escapeAt(text, i)) {
            const ushort code = text.mid(i + 2, 4).toUShort(nullptr, 16);
            out += QChar(code);
            i += 7;
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Paths

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string relsPathOf(const std::string& part) {
    const auto slash = part.rfind('/');
    if (slash == std::string::npos)
        return std::string("_rels/") + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

static std::vector<std::string> splitPath(const std::string& p) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : p) {
        if (c == '/' || c == '\\') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

std::string resolveTarget(const std::string& sourcePart, const std::string& target) {
    std::vector<std::string> segs;
    std::string path;
    if (!target.empty() && (target[0] == '/' || target[0] == '\\')) {
        path = target.substr(1);
    } else {
        const auto slash = sourcePart.rfind('/');
        path =
            (slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1)) + target;
    }
    for (const std::string& s : splitPath(path)) {
        if (s.empty() || s == ".")
            continue;
        if (s == "..") {
            if (!segs.empty())
                segs.pop_back();
            continue;
        }
        segs.push_back(s);
    }
    std::string out;
    for (size_t i = 0; i < segs.size(); ++i)
        out += (i ? "/" : "") + segs[i];
    return out;
}

std::string relativeTarget(const std::string& sourcePart, const std::string& targetPart) {
    std::vector<std::string> from = splitPath(sourcePart);
    from.pop_back(); // the source's own file name
    const std::vector<std::string> to = splitPath(targetPart);
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    std::string out;
    for (size_t i = common; i < from.size(); ++i)
        out += "../";
    for (size_t i = common; i < to.size(); ++i)
        out += (i > common ? "/" : "") + to[i];
    return out;
}

// ---------------------------------------------------------------------------------------------
// Package

namespace {

QString zipError(zip_error_t* e) {
    return QString::fromUtf8(zip_error_strerror(e));
}

// Entries written get one fixed time, so equal content gives an equal file.
constexpr time_t kEntryTime = 1704067200; // 2024-01-01 00:00:00 UTC
// The fastest deflate level: sheet XML repeats itself so much that it still shrinks to about a
// tenth, while the default level took several times as long for a few per cent less.
constexpr zip_uint32_t kDeflateLevel = 1;

} // namespace

bool Package::readZip(const QByteArray& bytes, QString& error) {
    m_parts.clear();
    m_index.clear();
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(bytes.constData(),
                                                 static_cast<zip_uint64_t>(bytes.size()), 0, &ze);
    if (!src) {
        error = QStringLiteral("ZIPを読めません：") + zipError(&ze);
        zip_error_fini(&ze);
        return false;
    }
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY, &ze);
    if (!za) {
        error = QStringLiteral("ブックの形式ではありません（ZIP：%1）").arg(zipError(&ze));
        zip_source_free(src);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    const zip_int64_t n = zip_get_num_entries(za, 0);
    bool ok = true;
    for (zip_int64_t i = 0; i < n && ok; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE)) {
            error = QStringLiteral("ZIPの項目を読めません");
            ok = false;
            break;
        }
        const std::string name(st.name);
        if (name.empty() || name.back() == '/')
            continue;
        if (st.size > (512u << 20)) {
            error = QStringLiteral("部品が大きすぎます：") + qs(st.name);
            ok = false;
            break;
        }
        zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        if (!f) {
            error = QStringLiteral("ZIPの項目を開けません：") + qs(st.name);
            ok = false;
            break;
        }
        std::string data(static_cast<size_t>(st.size), '\0');
        const zip_int64_t got = data.empty() ? 0 : zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        if (got != static_cast<zip_int64_t>(st.size)) {
            error = QStringLiteral("ZIPの項目を読めません：") + qs(st.name);
            ok = false;
            break;
        }
        if (find(name)) {
            error = QStringLiteral("部品名が重複しています：") + qs(st.name);
            ok = false;
            break;
        }
        add(name, std::move(data));
    }
    zip_discard(za); // frees the source as well
    if (!ok) {
        m_parts.clear();
        m_index.clear();
    }
    return ok;
}

Package::Package() = default;
Package::~Package() = default;

bool Package::append(const std::string& text, qint64& offset, QString& error) {
    if (!m_rowFile) {
        auto f = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                  QStringLiteral("/tovaki-rows-XXXXXX"));
        // Unbuffered: a write the disk refuses shows at once, and nothing is left pending that
        // could fail when the rows are read back.
        if (!static_cast<QFile*>(f.get())->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            error = QStringLiteral("一時ファイルを作れません：") + f->errorString();
            return false;
        }
        m_rowFile = std::move(f);
    }
    if (m_rowFileBroken) {
        error = QStringLiteral("一時ファイルに書けません");
        return false;
    }
    offset = m_rowFile->size();
    if (!m_rowFile->seek(offset) ||
        m_rowFile->write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size())) {
        error = QStringLiteral("一時ファイルに書けません：") + m_rowFile->errorString();
        m_rowFileBroken = true;
        return false;
    }
    return true;
}

bool Package::readBack(const WrittenRun& run, std::string& out, QString& error) {
    out.resize(static_cast<size_t>(run.size));
    if (!m_rowFile || !m_rowFile->seek(run.offset) ||
        m_rowFile->read(out.data(), run.size) != run.size) {
        error = QStringLiteral("一時ファイルを読めません：") +
                (m_rowFile ? m_rowFile->errorString() : QString());
        return false;
    }
    return true;
}

bool Package::writeOut(Part& part, const std::string& rows, QString& error) {
    if (rows.empty())
        return true;
    qint64 offset = 0;
    if (!append(rows, offset, error))
        return false;
    const auto size = static_cast<qint64>(rows.size());
    if (!part.written.empty() && part.written.back().offset + part.written.back().size == offset)
        part.written.back().size += size;
    else
        part.written.push_back({offset, size});
    return true;
}

bool Package::stash(Part& part, QString& error) {
    if (part.doc || part.stashed)
        return true;
    qint64 offset = 0;
    if (!append(part.data, offset, error))
        return false;
    part.stash = {offset, static_cast<qint64>(part.data.size())};
    part.stashed = true;
    std::string().swap(part.data);
    return true;
}

bool Package::text(Part& part, std::string& out, QString& error) {
    if (part.doc) {
        out = serializeXml(*part.doc);
        return true;
    }
    if (part.stashed)
        return readBack(part.stash, out, error);
    out = part.data;
    return true;
}

namespace {

// A part put together while the package is written: its document's text before the rows written
// out, those rows from the row file, the rest of its text.
struct JoinedPart {
    // Makes head and tail; called when the part is opened, they are freed when it is closed.
    std::function<bool(std::string& head, std::string& tail)> split;
    qint64 size = 0;
    std::string head, tail;
    std::vector<WrittenRun> runs;
    QFile* file = nullptr;
    zip_error_t error{};
    size_t piece = 0; // 0 head, 1..runs.size() a run, then the tail
    qint64 at = 0;    // within the piece

    qint64 total() const {
        qint64 n = static_cast<qint64>(head.size() + tail.size());
        for (const WrittenRun& r : runs)
            n += r.size;
        return n;
    }
    zip_int64_t read(char* out, zip_uint64_t wanted) {
        zip_uint64_t got = 0;
        while (got < wanted && piece <= runs.size() + 1) {
            const bool text = piece == 0 || piece == runs.size() + 1;
            const std::string& s = piece == 0 ? head : tail;
            const qint64 size = text ? static_cast<qint64>(s.size()) : runs[piece - 1].size;
            const auto n = static_cast<qint64>(
                std::min<zip_uint64_t>(wanted - got, static_cast<zip_uint64_t>(size - at)));
            if (n > 0) {
                if (text) {
                    std::memcpy(out + got, s.data() + at, static_cast<size_t>(n));
                } else if (!file->seek(runs[piece - 1].offset + at) ||
                           file->read(out + got, n) != n) {
                    zip_error_set(&error, ZIP_ER_READ, 0);
                    return -1;
                }
                got += static_cast<zip_uint64_t>(n);
                at += n;
            }
            if (at == size) {
                ++piece;
                at = 0;
            }
        }
        return static_cast<zip_int64_t>(got);
    }
};

zip_int64_t joinedPartSource(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* p = static_cast<JoinedPart*>(user);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        p->piece = 0;
        p->at = 0;
        if (!p->split(p->head, p->tail) || p->total() != p->size) {
            zip_error_set(&p->error, ZIP_ER_READ, 0);
            return -1;
        }
        return 0;
    case ZIP_SOURCE_READ:
        return p->read(static_cast<char*>(data), len);
    case ZIP_SOURCE_CLOSE:
        std::string().swap(p->head);
        std::string().swap(p->tail);
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = static_cast<zip_uint64_t>(p->size);
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&p->error, data, len);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&p->error);
        delete p;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        zip_error_set(&p->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// The text of a worksheet with rows written out, split where those rows go: first in its
// sheetData (a parked sheet's text carries the mark there already).
bool splitAtWrittenRows(Package& pkg, Part& part, std::string& head, std::string& tail) {
    std::string text;
    QString ignored;
    if (part.doc) {
        pugi::xml_node sheetData = child(part.doc->document_element(), "sheetData");
        if (!sheetData)
            return false;
        pugi::xml_node mark = sheetData.prepend_child(pugi::node_comment);
        mark.set_value(kWrittenRowsMark);
        text = serializeXml(*part.doc);
        sheetData.remove_child(mark);
    } else if (!pkg.text(part, text, ignored)) {
        return false;
    }
    const std::string token = std::string("<!--") + kWrittenRowsMark + "-->";
    const size_t at = text.find(token);
    if (at == std::string::npos)
        return false;
    tail = text.substr(at + token.size());
    text.resize(at);
    head = std::move(text);
    return true;
}

} // namespace

bool Package::addParts(zip_t* za, QString& error) {
    bool ok = true;
    for (auto& p : m_parts) {
        zip_source_t* s = nullptr;
        if (!p->written.empty() || p->stashed) {
            auto* joined = new JoinedPart;
            zip_error_init(&joined->error);
            joined->runs = p->written;
            joined->file = m_rowFile.get();
            Part* part = p.get();
            joined->split = [this, part](std::string& head, std::string& tail) {
                return splitAtWrittenRows(*this, *part, head, tail);
            };
            if (joined->split(joined->head, joined->tail)) {
                joined->size = joined->total();
                std::string().swap(joined->head);
                std::string().swap(joined->tail);
            } else {
                zip_error_fini(&joined->error);
                delete joined;
                error =
                    QStringLiteral("書き出した行の置き場所がありません：") + qs(p->name.c_str());
                return false;
            }
            s = zip_source_function(za, joinedPartSource, joined);
            if (!s) {
                zip_error_fini(&joined->error);
                delete joined;
            }
        } else {
            if (p->doc)
                p->data = serializeXml(*p->doc);
            s = zip_source_buffer(za, p->data.data(), p->data.size(), 0);
        }
        zip_int64_t idx = s ? zip_file_add(za, p->name.c_str(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0) {
            if (s)
                zip_source_free(s);
            ok = false;
            break;
        }
        const auto u = static_cast<zip_uint64_t>(idx);
        if (zip_set_file_compression(za, u, ZIP_CM_DEFLATE, kDeflateLevel) != 0 ||
            zip_file_set_mtime(za, u, kEntryTime, 0) != 0) {
            ok = false;
            break;
        }
    }
    if (!ok)
        error = QStringLiteral("ZIPに書けません：") + QString::fromUtf8(zip_strerror(za));
    return ok;
}

namespace {

// Closes a package being built (its parts compressed and written); the parsed parts hold their
// text again only while they are written.
bool closeZip(zip_t* za, std::vector<std::unique_ptr<Part>>& parts, QString& error) {
    const bool closed = zip_close(za) == 0;
    for (auto& p : parts)
        if (p->doc) {
            p->data.clear();
            p->data.shrink_to_fit();
        }
    if (!closed) {
        error = QStringLiteral("ZIPを閉じられません：") + QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
    }
    return closed;
}

} // namespace

bool Package::writeZip(const std::function<bool(const char*, qint64)>& sink, QString& error) {
    // Built in a temporary file, the package never stands whole in memory. When the temporary
    // folder cannot take it (full, or a limit on file sizes), it is built in memory instead:
    // compressed, it is a fraction of the sheets' text, and the caller's file then tells whether
    // the disk can take it.
    {
        QTemporaryFile target(QDir::tempPath() + QStringLiteral("/tovaki-book-XXXXXX"));
        if (target.open()) {
            const QByteArray targetName = QFile::encodeName(target.fileName());
            target.close();
            int zerr = 0;
            if (zip_t* za = zip_open(targetName.constData(), ZIP_CREATE | ZIP_TRUNCATE, &zerr)) {
                if (!addParts(za, error)) {
                    zip_discard(za);
                    return false;
                }
                QString ignored;
                if (closeZip(za, m_parts, ignored)) {
                    QFile built(target.fileName());
                    if (!built.open(QIODevice::ReadOnly)) {
                        error = QStringLiteral("ZIPを取り出せません：") + built.errorString();
                        return false;
                    }
                    std::vector<char> chunk(1 << 20);
                    for (;;) {
                        const qint64 n =
                            built.read(chunk.data(), static_cast<qint64>(chunk.size()));
                        if (n < 0) {
                            error = QStringLiteral("ZIPを取り出せません：") + built.errorString();
                            return false;
                        }
                        if (n == 0)
                            return true;
                        if (!sink(chunk.data(), n)) {
                            error = QStringLiteral("ZIPを書き出せません");
                            return false;
                        }
                    }
                }
            }
        }
    }
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &ze);
    if (!buffer) {
        error = QStringLiteral("ZIPを作れません：") + zipError(&ze);
        zip_error_fini(&ze);
        return false;
    }
    zip_t* za = zip_open_from_source(buffer, ZIP_TRUNCATE, &ze);
    if (!za) {
        error = QStringLiteral("ZIPを作れません：") + zipError(&ze);
        zip_source_free(buffer);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    zip_source_keep(buffer);
    if (!addParts(za, error)) {
        zip_discard(za);
        zip_source_free(buffer);
        return false;
    }
    if (!closeZip(za, m_parts, error)) {
        zip_source_free(buffer);
        return false;
    }
    bool ok = zip_source_open(buffer) == 0;
    if (ok) {
        zip_source_seek(buffer, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        std::vector<char> chunk(1 << 20);
        ok = size > 0;
        for (zip_int64_t left = size; ok && left > 0;) {
            const zip_int64_t n =
                zip_source_read(buffer, chunk.data(),
                                static_cast<zip_uint64_t>(std::min<zip_int64_t>(left, 1 << 20)));
            ok = n > 0;
            if (ok && !sink(chunk.data(), n)) {
                zip_source_close(buffer);
                zip_source_free(buffer);
                error = QStringLiteral("ZIPを書き出せません");
                return false;
            }
            left -= n;
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    if (!ok)
        error = QStringLiteral("ZIPを取り出せません");
    return ok;
}

Part* Package::find(const std::string& name) {
    const auto it = m_index.find(lower(name));
    return it == m_index.end() ? nullptr : it->second;
}

pugi::xml_document* Package::xml(const std::string& name, QString& error) {
    Part* p = find(name);
    if (!p) {
        error = QStringLiteral("部品がありません：") + qs(name.c_str());
        return nullptr;
    }
    if (!p->doc) {
        if (p->stashed) {
            if (!readBack(p->stash, p->data, error))
                return nullptr;
            p->stashed = false;
        }
        auto doc = std::make_unique<pugi::xml_document>();
        if (!parseXml(p->data, *doc, error)) {
            error = qs(name.c_str()) + QStringLiteral("：") + error;
            return nullptr;
        }
        p->doc = std::move(doc);
        p->data.clear();
    }
    return p->doc.get();
}

Part& Package::add(const std::string& name, std::string data) {
    auto p = std::make_unique<Part>();
    p->name = name;
    p->data = std::move(data);
    m_index[lower(name)] = p.get();
    m_parts.push_back(std::move(p));
    return *m_parts.back();
}

void Package::unparse(Part& part) {
    if (!part.doc)
        return;
    part.data = serializeXml(*part.doc);
    part.doc.reset();
}

Part& Package::addXml(const std::string& name, std::unique_ptr<pugi::xml_document> doc) {
    Part& p = add(name, {});
    p.doc = std::move(doc);
    return p;
}

void Package::remove(const std::string& name) {
    const std::string key = lower(name);
    m_index.erase(key);
    m_parts.erase(std::remove_if(m_parts.begin(), m_parts.end(),
                                 [&](const auto& p) { return lower(p->name) == key; }),
                  m_parts.end());
}

std::vector<std::string> Package::names() const {
    std::vector<std::string> out;
    out.reserve(m_parts.size());
    for (const auto& p : m_parts)
        out.push_back(p->name);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Relationships

std::string_view typeSuffix(std::string_view type) {
    const auto slash = type.rfind('/');
    return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

static pugi::xml_node relById(const pugi::xml_node& root, const std::string& id) {
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling())
        if (isNamed(r, "Relationship") && id == r.attribute("Id").value())
            return r;
    return {};
}

std::string Relationships::type(const std::string& id) const {
    return relById(root, id).attribute("Type").value();
}

std::string Relationships::target(const std::string& id) const {
    return relById(root, id).attribute("Target").value();
}

bool Relationships::external(const std::string& id) const {
    return std::strcmp(relById(root, id).attribute("TargetMode").value(), "External") == 0;
}

std::string Relationships::idOfType(std::string_view suffix) const {
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling())
        if (isNamed(r, "Relationship") && typeSuffix(r.attribute("Type").value()) == suffix)
            return r.attribute("Id").value();
    return {};
}

std::string Relationships::add(const std::string& type, const std::string& target) {
    // One past the largest "rIdN", found in one pass (reports add hundreds of sheets).
    int largest = 0;
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling()) {
        const std::string_view id = r.attribute("Id").value();
        if (id.substr(0, 3) == "rId")
            largest = std::max(largest, parseInt(std::string(id.substr(3)).c_str(), 0));
    }
    const std::string id = std::string("rId") + std::to_string(largest + 1);
    add(id, type, target, false);
    return id;
}

void Relationships::add(const std::string& id, const std::string& type, const std::string& target,
                        bool external) {
    pugi::xml_node r = appendChild(root, "Relationship");
    r.append_attribute("Id").set_value(id.c_str());
    r.append_attribute("Type").set_value(type.c_str());
    r.append_attribute("Target").set_value(target.c_str());
    if (external)
        r.append_attribute("TargetMode").set_value("External");
}

void Relationships::remove(const std::string& id) {
    if (pugi::xml_node r = relById(root, id))
        root.remove_child(r);
}

bool openRelationships(Package& pkg, const std::string& sourcePart, bool create,
                       Relationships& rels, QString& error) {
    const std::string path = relsPathOf(sourcePart);
    if (!pkg.find(path)) {
        if (!create) {
            rels = {};
            return true;
        }
        auto doc = std::make_unique<pugi::xml_document>();
        doc->append_child("Relationships").append_attribute("xmlns").set_value(kNsPkgRel);
        pkg.addXml(path, std::move(doc));
    }
    rels.doc = pkg.xml(path, error);
    if (!rels.doc)
        return false;
    rels.root = rels.doc->document_element();
    if (!isNamed(rels.root, "Relationships")) {
        error = QStringLiteral("関係部品の形式が違います：") + qs(path.c_str());
        return false;
    }
    return true;
}

} // namespace wbx
