#include "XlsxCheck.h"

#include <pugixml.hpp>
#include <zip.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <cstring>
#include <map>
#include <memory>

namespace {

QString local(const char* name) {
    const char* colon = std::strchr(name, ':');
    return QString::fromUtf8(colon ? colon + 1 : name);
}

QString attr(const pugi::xml_node& n, const char* name) {
    return QString::fromUtf8(n.attribute(name).value());
}

pugi::xml_node kid(const pugi::xml_node& n, const char* name) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && local(c.name()) == QLatin1String(name))
            return c;
    return {};
}

QString dirOf(const QString& part) {
    return part.left(part.lastIndexOf(QLatin1Char('/')) + 1);
}

QString resolve(const QString& source, const QString& target) {
    QStringList out;
    const QString path =
        target.startsWith(QLatin1Char('/')) ? target.mid(1) : dirOf(source) + target;
    for (const QString& s : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (s == QStringLiteral(".."))
            out = out.mid(0, out.size() - 1);
        else if (s != QStringLiteral("."))
            out << s;
    return out.join(QLatin1Char('/'));
}

QString relsOf(const QString& part) {
    return dirOf(part) + QStringLiteral("_rels/") + part.mid(dirOf(part).size()) +
           QStringLiteral(".rels");
}

// The column of a cell reference of the given row; 0 when the reference is bad.
int columnOf(const QString& ref, int row) {
    static const QRegularExpression re(QStringLiteral("^([A-Z]{1,3})([0-9]+)$"));
    const auto m = re.match(ref);
    int col = 0;
    for (QChar c : m.captured(1))
        col = col * 26 + (c.unicode() - 'A' + 1);
    return m.hasMatch() && m.captured(2).toInt() == row ? col : 0;
}

// clang-format off
const QStringList kWorksheetOrder = QStringLiteral(
    "sheetPr dimension sheetViews sheetFormatPr cols sheetData sheetCalcPr sheetProtection "
    "protectedRanges scenarios autoFilter sortState dataConsolidate customSheetViews mergeCells "
    "phoneticPr conditionalFormatting dataValidations hyperlinks printOptions pageMargins "
    "pageSetup headerFooter rowBreaks colBreaks customProperties cellWatches ignoredErrors "
    "smartTags drawing legacyDrawing legacyDrawingHF drawingHF picture oleObjects controls "
    "webPublishItems tableParts extLst").split(QLatin1Char(' '));
// clang-format on

// Parsed parts, kept for one inspection.
class Docs {
public:
    explicit Docs(const QMap<QString, QByteArray>& parts) : m_parts(parts) {}
    pugi::xml_node operator()(const QString& name) {
        auto it = m_docs.find(name);
        if (it == m_docs.end()) {
            auto doc = std::make_unique<pugi::xml_document>();
            const QByteArray b = m_parts.value(name);
            if (!m_parts.contains(name) ||
                !doc->load_buffer(b.constData(), b.size(),
                                  pugi::parse_default | pugi::parse_ws_pcdata))
                doc.reset();
            it = m_docs.emplace(name, std::move(doc)).first;
        }
        return it->second ? it->second->document_element() : pugi::xml_node();
    }

private:
    const QMap<QString, QByteArray>& m_parts;
    std::map<QString, std::unique_ptr<pugi::xml_document>> m_docs;
};

} // namespace

bool XlsxPackage::load(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open ") + path;
        return false;
    }
    return loadData(f.readAll());
}

bool XlsxPackage::loadData(const QByteArray& data) {
    m_parts.clear();
    m_allDeflated = true;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(data.constData(), data.size(), 0, &ze);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze) : nullptr;
    m_error = za ? QString() : QString::fromUtf8(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    if (!za) {
        zip_source_free(src);
        return false;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0) && m_error.isEmpty(); ++i) {
        zip_stat_t st;
        zip_stat_index(za, i, 0, &st);
        m_allDeflated = m_allDeflated && st.comp_method == ZIP_CM_DEFLATE;
        QByteArray bytes(static_cast<qsizetype>(st.size), '\0');
        zip_file_t* zf = zip_fopen_index(za, i, 0);
        const QString name = QString::fromUtf8(st.name);
        if (!zf || zip_fread(zf, bytes.data(), st.size) != static_cast<zip_int64_t>(st.size) ||
            m_parts.contains(name))
            m_error = QStringLiteral("cannot read or duplicate entry ") + name;
        if (zf)
            zip_fclose(zf);
        m_parts.insert(name, bytes);
    }
    zip_discard(za);
    return m_error.isEmpty();
}

QStringList XlsxPackage::problems() const {
    QStringList p;
    Docs xml(m_parts);
    if (!m_allDeflated)
        p << QStringLiteral("an entry is not deflated");
    for (const QString& name : m_parts.keys())
        if ((name.endsWith(QStringLiteral(".xml")) || name.endsWith(QStringLiteral(".rels"))) &&
            !xml(name))
            p << QStringLiteral("not well-formed: ") + name;

    // Content types.
    QMap<QString, QString> types; // part name or "*.extension"
    for (pugi::xml_node c = xml(QStringLiteral("[Content_Types].xml")).first_child(); c;
         c = c.next_sibling()) {
        if (local(c.name()) == QStringLiteral("Override"))
            types.insert(attr(c, "PartName").mid(1), attr(c, "ContentType"));
        else
            types.insert(QStringLiteral("*.") + attr(c, "Extension"), attr(c, "ContentType"));
    }
    auto typeOf = [&](const QString& part) {
        return types.value(part, types.value(QStringLiteral("*.") + part.section(u'.', -1)));
    };
    for (const QString& name : m_parts.keys())
        if (name != QStringLiteral("[Content_Types].xml") && typeOf(name).isEmpty())
            p << QStringLiteral("no content type: ") + name;
    for (const QString& name : types.keys())
        if (!name.startsWith(QStringLiteral("*.")) && !m_parts.contains(name))
            p << QStringLiteral("override for a missing part: ") + name;

    // Relationships: every internal target exists; every r:id in a part resolves.
    for (const QString& name : m_parts.keys()) {
        if (!name.endsWith(QStringLiteral(".rels")))
            continue;
        const QString source = QString(name).remove(QStringLiteral("_rels/")).chopped(5);
        for (pugi::xml_node r = xml(name).first_child(); r; r = r.next_sibling())
            if (attr(r, "TargetMode") != QStringLiteral("External") &&
                !m_parts.contains(resolve(source, attr(r, "Target"))))
                p << QStringLiteral("dangling relationship in ") + name;
    }
    for (const QString& name : m_parts.keys()) {
        if (!name.endsWith(QStringLiteral(".xml")) || name.contains(QStringLiteral("_rels/")))
            continue;
        QSet<QString> ids;
        for (pugi::xml_node r = xml(relsOf(name)).first_child(); r; r = r.next_sibling())
            ids.insert(attr(r, "Id"));
        for (const pugi::xpath_node& xn : xml(name).select_nodes("descendant-or-self::*"))
            for (pugi::xml_attribute a = xn.node().first_attribute(); a; a = a.next_attribute())
                if (QString::fromUtf8(a.name()).endsWith(QStringLiteral("r:id")) &&
                    !ids.contains(QString::fromUtf8(a.value())))
                    p << QStringLiteral("unresolved r:id in ") + name;
    }

    // Workbook: sheet names and ids, defined names, the active and selected tabs.
    const pugi::xml_node wb = xml(workbookPart());
    if (!wb)
        return p << QStringLiteral("workbook part missing");
    const QStringList names = sheetNames();
    QSet<QString> lowerNames;
    static const QRegularExpression bad(QStringLiteral("[\\[\\]:*?/\\\\]|^'|'$|^$|^.{32,}$"));
    for (pugi::xml_node s = kid(kid(wb, "sheets"), "sheet"); s; s = s.next_sibling()) {
        const QString n = attr(s, "name");
        if (n.contains(bad) || lowerNames.contains(n.toLower()))
            p << QStringLiteral("invalid or duplicate sheet name: ") + n;
        if (!typeOf(sheetPart(n)).endsWith(QStringLiteral("worksheet+xml")))
            p << QStringLiteral("sheet part is not a worksheet: ") + n;
        lowerNames.insert(n.toLower());
    }
    for (const QString& dn : definedNames())
        if (!dn.section(u'|', 1, 1).isEmpty() && dn.section(u'|', 1, 1).toInt() >= names.size())
            p << QStringLiteral("stale localSheetId: ") + dn;
    const int tab = activeTab();
    if (tab < 0 || tab >= names.size())
        p << QStringLiteral("activeTab out of range");
    if (kid(wb, "calcPr") && m_parts.contains(QStringLiteral("xl/calcChain.xml")))
        p << QStringLiteral("calcChain kept");

    // Styles.
    QString stylesPart;
    for (pugi::xml_node r = xml(relsOf(workbookPart())).first_child(); r; r = r.next_sibling())
        if (attr(r, "Type").endsWith(QStringLiteral("/styles")))
            stylesPart = resolve(workbookPart(), attr(r, "Target"));
    const pugi::xml_node styles = xml(stylesPart);
    int xfs = 0;
    for (pugi::xml_node x = kid(kid(styles, "cellXfs"), "xf"); x; x = x.next_sibling())
        ++xfs;

    // Worksheets.
    int selected = 0;
    for (int i = 0; i < names.size(); ++i) {
        const pugi::xml_node ws = xml(sheetPart(names[i]));
        int lastRank = -1;
        for (pugi::xml_node c = ws.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const int rank = kWorksheetOrder.indexOf(local(c.name()));
            if (rank < lastRank)
                p << names[i] + QStringLiteral(": element out of order: ") + local(c.name());
            lastRank = std::max(lastRank, rank);
        }
        if (kid(kid(ws, "sheetViews"), "sheetView").attribute("tabSelected").as_bool()) {
            ++selected;
            if (i != tab)
                p << names[i] + QStringLiteral(": selected but not the active tab");
        }
        int lastRow = 0;
        for (pugi::xml_node r = kid(kid(ws, "sheetData"), "row"); r; r = r.next_sibling()) {
            const int row = r.attribute("r").as_int();
            if (row <= lastRow)
                p << names[i] + QStringLiteral(": rows out of order at ") + QString::number(row);
            lastRow = row;
            int lastCol = 0;
            for (pugi::xml_node c = kid(r, "c"); c; c = c.next_sibling()) {
                const int col = columnOf(attr(c, "r"), row);
                if (col <= lastCol)
                    p << names[i] + QStringLiteral(": cell out of order or bad: ") + attr(c, "r");
                lastCol = std::max(lastCol, col);
                if (c.attribute("s").as_int() >= xfs)
                    p << names[i] + QStringLiteral(": style beyond cellXfs");
                if ((attr(c, "t") == QStringLiteral("inlineStr")) != bool(kid(kid(c, "is"), "t")))
                    p << names[i] + QStringLiteral(": inline string without <is><t>");
            }
        }
    }
    if (selected != 1)
        p << QStringLiteral("%1 selected tabs").arg(selected);
    return p;
}

QStringList XlsxPackage::sheetNames() const {
    QStringList out;
    Docs xml(m_parts);
    for (pugi::xml_node s = kid(kid(xml(workbookPart()), "sheets"), "sheet"); s;
         s = s.next_sibling())
        out << attr(s, "name");
    return out;
}

QString XlsxPackage::sheetPart(const QString& sheetName) const {
    Docs xml(m_parts);
    QString id;
    for (pugi::xml_node s = kid(kid(xml(workbookPart()), "sheets"), "sheet"); s;
         s = s.next_sibling())
        if (attr(s, "name") == sheetName)
            id = attr(s, "r:id");
    for (pugi::xml_node x = xml(relsOf(workbookPart())).first_child(); x; x = x.next_sibling())
        if (attr(x, "Id") == id)
            return resolve(workbookPart(), attr(x, "Target"));
    return {};
}

QStringList XlsxPackage::definedNames() const {
    QStringList out;
    Docs xml(m_parts);
    for (pugi::xml_node n = kid(kid(xml(workbookPart()), "definedNames"), "definedName"); n;
         n = n.next_sibling())
        out << attr(n, "name") + QLatin1Char('|') + attr(n, "localSheetId") + QLatin1Char('|') +
                   QString::fromUtf8(n.text().get());
    return out;
}

int XlsxPackage::activeTab() const {
    Docs xml(m_parts);
    return kid(kid(xml(workbookPart()), "bookViews"), "workbookView")
        .attribute("activeTab")
        .as_int(0);
}

QString XlsxPackage::workbookPart() const {
    Docs xml(m_parts);
    for (pugi::xml_node r = xml(QStringLiteral("_rels/.rels")).first_child(); r;
         r = r.next_sibling())
        if (attr(r, "Type").endsWith(QStringLiteral("/officeDocument")))
            return resolve(QString(), attr(r, "Target"));
    return {};
}
