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

pugi::xml_node kid(const pugi::xml_node& n, const char* name) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && local(c.name()) == QLatin1String(name))
            return c;
    return {};
}

QString dirOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString resolve(const QString& source, const QString& target) {
    QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : dirOf(source) + target;
    QStringList out;
    for (const QString& s : path.split(QLatin1Char('/'))) {
        if (s.isEmpty() || s == QStringLiteral("."))
            continue;
        if (s == QStringLiteral("..")) {
            if (!out.isEmpty())
                out.removeLast();
            continue;
        }
        out << s;
    }
    return out.join(QLatin1Char('/'));
}

QString relsOf(const QString& part) {
    return dirOf(part) + QStringLiteral("_rels/") + part.mid(dirOf(part).size()) +
           QStringLiteral(".rels");
}

bool parseRef(const QString& ref, int& row, int& col) {
    static const QRegularExpression re(QStringLiteral("^\\$?([A-Z]{1,3})\\$?([0-9]+)$"));
    const auto m = re.match(ref);
    if (!m.hasMatch())
        return false;
    col = 0;
    for (QChar c : m.captured(1))
        col = col * 26 + (c.unicode() - 'A' + 1);
    row = m.captured(2).toInt();
    return row >= 1 && col >= 1 && col <= 16384;
}

struct Doc {
    std::unique_ptr<pugi::xml_document> doc = std::make_unique<pugi::xml_document>();
    bool ok = false;
};

// clang-format off
const QStringList kWorksheetOrder = QStringLiteral(
    "sheetPr dimension sheetViews sheetFormatPr cols sheetData sheetCalcPr sheetProtection "
    "protectedRanges scenarios autoFilter sortState dataConsolidate customSheetViews mergeCells "
    "phoneticPr conditionalFormatting dataValidations hyperlinks printOptions pageMargins "
    "pageSetup headerFooter rowBreaks colBreaks customProperties cellWatches ignoredErrors "
    "smartTags drawing legacyDrawing legacyDrawingHF drawingHF picture oleObjects controls "
    "webPublishItems tableParts extLst").split(QLatin1Char(' '));
// clang-format on

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
    m_order.clear();
    m_allDeflated = true;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(data.constData(), data.size(), 0, &ze);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze) : nullptr;
    if (!za) {
        m_error = QString::fromUtf8(zip_error_strerror(&ze));
        if (src)
            zip_source_free(src);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(za, i, 0, &st);
        if (st.comp_method != ZIP_CM_DEFLATE)
            m_allDeflated = false;
        QByteArray bytes(static_cast<qsizetype>(st.size), '\0');
        zip_file_t* zf = zip_fopen_index(za, i, 0);
        if (!zf || zip_fread(zf, bytes.data(), st.size) != static_cast<zip_int64_t>(st.size)) {
            m_error = QStringLiteral("cannot read ") + QString::fromUtf8(st.name);
            if (zf)
                zip_fclose(zf);
            zip_discard(za);
            return false;
        }
        zip_fclose(zf);
        const QString name = QString::fromUtf8(st.name);
        if (m_parts.contains(name)) {
            m_error = QStringLiteral("duplicate entry ") + name;
            zip_discard(za);
            return false;
        }
        m_parts.insert(name, bytes);
        m_order << name;
    }
    zip_discard(za);
    return true;
}

QStringList XlsxPackage::problems() const {
    QStringList p;
    std::map<QString, Doc> docs;
    auto xml = [&](const QString& name) -> pugi::xml_node {
        auto it = docs.find(name);
        if (it == docs.end()) {
            Doc d;
            const QByteArray b = m_parts.value(name);
            d.ok = m_parts.contains(name) &&
                   d.doc->load_buffer(b.constData(), b.size(),
                                      pugi::parse_default | pugi::parse_ws_pcdata);
            it = docs.emplace(name, std::move(d)).first;
        }
        return it->second.ok ? it->second.doc->document_element() : pugi::xml_node();
    };

    if (!m_allDeflated)
        p << QStringLiteral("an entry is not deflated");
    for (const QString& name : m_order)
        if ((name.endsWith(QStringLiteral(".xml")) || name.endsWith(QStringLiteral(".rels"))) &&
            !xml(name))
            p << QStringLiteral("not well-formed: ") + name;

    // Content types.
    const pugi::xml_node types = xml(QStringLiteral("[Content_Types].xml"));
    if (!types)
        return p << QStringLiteral("[Content_Types].xml missing");
    QMap<QString, QString> overrides, defaults;
    for (pugi::xml_node c = types.first_child(); c; c = c.next_sibling()) {
        if (local(c.name()) == QStringLiteral("Override")) {
            const QString part = QString::fromUtf8(c.attribute("PartName").value()).mid(1);
            overrides.insert(part.toLower(), QString::fromUtf8(c.attribute("ContentType").value()));
            if (!m_parts.contains(part))
                p << QStringLiteral("override for a missing part: ") + part;
        } else if (local(c.name()) == QStringLiteral("Default")) {
            defaults.insert(QString::fromUtf8(c.attribute("Extension").value()).toLower(),
                            QString::fromUtf8(c.attribute("ContentType").value()));
        }
    }
    auto typeOf = [&](const QString& part) {
        if (overrides.contains(part.toLower()))
            return overrides.value(part.toLower());
        return defaults.value(part.mid(part.lastIndexOf(QLatin1Char('.')) + 1).toLower());
    };
    for (const QString& name : m_order)
        if (name != QStringLiteral("[Content_Types].xml") && typeOf(name).isEmpty())
            p << QStringLiteral("no content type: ") + name;

    // Relationships: every internal target exists; every r:id in a part resolves.
    for (const QString& name : m_order) {
        if (!name.endsWith(QStringLiteral(".rels")))
            continue;
        const QString source = name == QStringLiteral("_rels/.rels")
                                   ? QString()
                                   : QString(name).remove(QStringLiteral("_rels/")).chopped(5);
        for (pugi::xml_node r = xml(name).first_child(); r; r = r.next_sibling()) {
            if (QLatin1String(r.attribute("TargetMode").value()) == QLatin1String("External"))
                continue;
            const QString t = resolve(source, QString::fromUtf8(r.attribute("Target").value()));
            if (!m_parts.contains(t))
                p << QStringLiteral("dangling relationship in ") + name + QStringLiteral(": ") + t;
        }
    }
    for (const QString& name : m_order) {
        if (!name.endsWith(QStringLiteral(".xml")) || name.contains(QStringLiteral("_rels/")))
            continue;
        QSet<QString> ids;
        for (pugi::xml_node r = xml(relsOf(name)).first_child(); r; r = r.next_sibling())
            ids.insert(QString::fromUtf8(r.attribute("Id").value()));
        const pugi::xml_node root = xml(name);
        for (const pugi::xpath_node& xn : root.select_nodes("descendant-or-self::*")) {
            for (pugi::xml_attribute a = xn.node().first_attribute(); a; a = a.next_attribute()) {
                const QString an = QString::fromUtf8(a.name());
                if (an.startsWith(QStringLiteral("xmlns")) || !an.endsWith(QStringLiteral(":id")))
                    continue;
                if (!ids.contains(QString::fromUtf8(a.value())))
                    p << QStringLiteral("unresolved ") + an + QStringLiteral(" in ") + name;
            }
        }
    }

    // Workbook.
    const QString wbPart = workbookPart();
    const pugi::xml_node wb = xml(wbPart);
    if (!wb)
        return p << QStringLiteral("workbook part missing");
    const QStringList names = sheetNames();
    QSet<QString> lowerNames;
    QSet<int> ids;
    static const QRegularExpression bad(QStringLiteral("[\\[\\]:*?/\\\\]"));
    for (pugi::xml_node s = kid(kid(wb, "sheets"), "sheet"); s; s = s.next_sibling()) {
        const QString n = QString::fromUtf8(s.attribute("name").value());
        if (n.isEmpty() || n.size() > 31 || n.contains(bad) || n.startsWith(QLatin1Char('\'')) ||
            n.endsWith(QLatin1Char('\'')))
            p << QStringLiteral("invalid sheet name: ") + n;
        if (lowerNames.contains(n.toLower()))
            p << QStringLiteral("duplicate sheet name: ") + n;
        lowerNames.insert(n.toLower());
        const int id = s.attribute("sheetId").as_int();
        if (id < 1 || id > 65534 || ids.contains(id))
            p << QStringLiteral("bad sheetId: ") + QString::number(id);
        ids.insert(id);
        const QString part = sheetPart(n);
        if (!typeOf(part).endsWith(QStringLiteral("worksheet+xml")))
            p << QStringLiteral("sheet part is not a worksheet: ") + n;
    }
    QSet<QString> pairs;
    for (const QString& dn : definedNames()) {
        const QStringList f = dn.split(QLatin1Char('|'));
        if (!f[1].isEmpty() && f[1].toInt() >= names.size())
            p << QStringLiteral("stale localSheetId: ") + dn;
        if (pairs.contains(f[0].toLower() + QLatin1Char('|') + f[1]))
            p << QStringLiteral("duplicate defined name: ") + dn;
        pairs.insert(f[0].toLower() + QLatin1Char('|') + f[1]);
        static const QRegularExpression ref(
            QStringLiteral("(?:'((?:[^']|'')+)'|([^'!,()\\s#]+))!"));
        auto it = ref.globalMatch(f[2]);
        while (it.hasNext()) {
            const auto m = it.next();
            const QString sheet =
                m.captured(1).isEmpty()
                    ? m.captured(2)
                    : m.captured(1).replace(QStringLiteral("''"), QStringLiteral("'"));
            if (!lowerNames.contains(sheet.toLower()))
                p << QStringLiteral("defined name refers to a missing sheet: ") + dn;
        }
    }
    const int tab = activeTab();
    if (tab < 0 || tab >= names.size())
        p << QStringLiteral("activeTab out of range");
    const pugi::xml_node view = kid(kid(wb, "bookViews"), "workbookView");
    if (view.attribute("firstSheet") && view.attribute("firstSheet").as_int() >= names.size())
        p << QStringLiteral("firstSheet out of range");
    if (kid(wb, "calcPr") && m_parts.contains(QStringLiteral("xl/calcChain.xml")))
        p << QStringLiteral("calcChain kept");

    // app.xml headings, when present, must agree with each other.
    for (const QString& name : m_order) {
        if (!typeOf(name).endsWith(QStringLiteral("extended-properties+xml")))
            continue;
        const pugi::xml_node app = xml(name);
        if (bool(kid(app, "HeadingPairs")) != bool(kid(app, "TitlesOfParts")))
            p << QStringLiteral("app.xml headings inconsistent");
    }

    // Styles.
    QString stylesPart;
    for (pugi::xml_node r = xml(relsOf(wbPart)).first_child(); r; r = r.next_sibling())
        if (QString::fromUtf8(r.attribute("Type").value()).endsWith(QStringLiteral("/styles")))
            stylesPart = resolve(wbPart, QString::fromUtf8(r.attribute("Target").value()));
    const pugi::xml_node styles = xml(stylesPart);
    auto countOf = [&](const char* list, const char* item) {
        int n = 0;
        const pugi::xml_node l = kid(styles, list);
        for (pugi::xml_node c = l.first_child(); c; c = c.next_sibling())
            if (local(c.name()) == QLatin1String(item))
                ++n;
        if (l && l.attribute("count") && l.attribute("count").as_int() != n)
            p << QStringLiteral("wrong count on ") + QLatin1String(list);
        return n;
    };
    const int fonts = countOf("fonts", "font"), fills = countOf("fills", "fill"),
              borders = countOf("borders", "border"), xfs = countOf("cellXfs", "xf");
    countOf("numFmts", "numFmt");
    for (pugi::xml_node x = kid(kid(styles, "cellXfs"), "xf"); x; x = x.next_sibling())
        if (x.attribute("fontId").as_int() >= fonts || x.attribute("fillId").as_int() >= fills ||
            x.attribute("borderId").as_int() >= borders)
            p << QStringLiteral("cell format refers beyond its lists");

    // Worksheets.
    int selected = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString part = sheetPart(names[i]);
        const pugi::xml_node ws = xml(part);
        if (!ws) {
            p << QStringLiteral("sheet part missing: ") + part;
            continue;
        }
        int lastRank = -1;
        for (pugi::xml_node c = ws.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const int rank = kWorksheetOrder.indexOf(local(c.name()));
            if (rank < lastRank)
                p << names[i] + QStringLiteral(": element out of order: ") + local(c.name());
            lastRank = std::max(lastRank, rank);
        }
        for (pugi::xml_node v = kid(kid(ws, "sheetViews"), "sheetView"); v; v = v.next_sibling())
            if (v.attribute("tabSelected").as_bool()) {
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
                int cr = 0, cc = 0;
                if (!parseRef(QString::fromUtf8(c.attribute("r").value()), cr, cc) || cr != row) {
                    p << names[i] + QStringLiteral(": bad cell reference ") +
                             QString::fromUtf8(c.attribute("r").value());
                    continue;
                }
                if (cc <= lastCol)
                    p << names[i] + QStringLiteral(": cells out of order at ") +
                             QString::fromUtf8(c.attribute("r").value());
                lastCol = cc;
                if (c.attribute("s").as_int() >= xfs)
                    p << names[i] + QStringLiteral(": style beyond cellXfs");
                const QString t = QString::fromUtf8(c.attribute("t").value());
                if (t == QStringLiteral("inlineStr") && !kid(kid(c, "is"), "t") &&
                    !kid(kid(c, "is"), "r"))
                    p << names[i] + QStringLiteral(": inline string without <is><t>");
                if (kid(c, "is") && t != QStringLiteral("inlineStr"))
                    p << names[i] + QStringLiteral(": <is> in a cell that is not inlineStr");
            }
        }
        for (pugi::xml_node c = kid(kid(ws, "cols"), "col"); c; c = c.next_sibling())
            if (c.attribute("style").as_int() >= xfs)
                p << names[i] + QStringLiteral(": column style beyond cellXfs");
        int lastMax = 0;
        for (pugi::xml_node c = kid(kid(ws, "cols"), "col"); c; c = c.next_sibling()) {
            if (c.attribute("min").as_int() <= lastMax ||
                c.attribute("max").as_int() < c.attribute("min").as_int())
                p << names[i] + QStringLiteral(": overlapping or reversed column ranges");
            lastMax = c.attribute("max").as_int();
        }
        const pugi::xml_node merges = kid(ws, "mergeCells");
        if (merges && !kid(merges, "mergeCell"))
            p << names[i] + QStringLiteral(": empty mergeCells");
    }
    if (selected != 1)
        p << QStringLiteral("%1 selected tabs").arg(selected);
    return p;
}

QStringList XlsxPackage::sheetNames() const {
    QStringList out;
    pugi::xml_document doc;
    const QByteArray b = m_parts.value(workbookPart());
    doc.load_buffer(b.constData(), b.size());
    for (pugi::xml_node s = kid(kid(doc.document_element(), "sheets"), "sheet"); s;
         s = s.next_sibling())
        out << QString::fromUtf8(s.attribute("name").value());
    return out;
}

QString XlsxPackage::sheetPart(const QString& sheetName) const {
    const QString wbPart = workbookPart();
    pugi::xml_document wb, rels;
    const QByteArray b = m_parts.value(wbPart);
    const QByteArray r = m_parts.value(relsOf(wbPart));
    wb.load_buffer(b.constData(), b.size());
    rels.load_buffer(r.constData(), r.size());
    QString id;
    for (pugi::xml_node s = kid(kid(wb.document_element(), "sheets"), "sheet"); s;
         s = s.next_sibling())
        if (QString::fromUtf8(s.attribute("name").value()) == sheetName)
            for (pugi::xml_attribute a = s.first_attribute(); a; a = a.next_attribute())
                if (QString::fromUtf8(a.name()).endsWith(QStringLiteral(":id")))
                    id = QString::fromUtf8(a.value());
    for (pugi::xml_node x = rels.document_element().first_child(); x; x = x.next_sibling())
        if (QString::fromUtf8(x.attribute("Id").value()) == id)
            return resolve(wbPart, QString::fromUtf8(x.attribute("Target").value()));
    return {};
}

QStringList XlsxPackage::definedNames() const {
    QStringList out;
    pugi::xml_document wb;
    const QByteArray b = m_parts.value(workbookPart());
    wb.load_buffer(b.constData(), b.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    for (pugi::xml_node n = kid(kid(wb.document_element(), "definedNames"), "definedName"); n;
         n = n.next_sibling())
        out << QString::fromUtf8(n.attribute("name").value()) + QLatin1Char('|') +
                   QString::fromUtf8(n.attribute("localSheetId").value()) + QLatin1Char('|') +
                   QString::fromUtf8(n.text().get());
    return out;
}

int XlsxPackage::activeTab() const {
    pugi::xml_document wb;
    const QByteArray b = m_parts.value(workbookPart());
    wb.load_buffer(b.constData(), b.size());
    return kid(kid(wb.document_element(), "bookViews"), "workbookView")
        .attribute("activeTab")
        .as_int(0);
}

QString XlsxPackage::workbookPart() const {
    pugi::xml_document rels;
    const QByteArray b = m_parts.value(QStringLiteral("_rels/.rels"));
    rels.load_buffer(b.constData(), b.size());
    for (pugi::xml_node r = rels.document_element().first_child(); r; r = r.next_sibling())
        if (QString::fromUtf8(r.attribute("Type").value())
                .endsWith(QStringLiteral("/officeDocument")))
            return resolve(QString(), QString::fromUtf8(r.attribute("Target").value()));
    return {};
}
