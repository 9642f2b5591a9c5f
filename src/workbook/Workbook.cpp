// The workbook: loading and saving the package, the sheet list with its relationships, content
// types and defined names, and sheet copy, rename and delete.
#include "workbook/Workbook.h"

#include "base/CheckedFileWriter.h"
#include "workbook/WorkbookImpl.h"
#include "workbook/WorkbookInternal.h"

#include <QFile>

#include <algorithm>
#include <cmath>

using namespace wbx;

namespace {

constexpr int kMaxSheetId = 65534;

QString quoteSheetName(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + n + QLatin1Char('\'');
}

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'\\' || c.unicode() > 0x7F;
}

// Rewrites the sheet part of every reference to the sheet `from` (ignoring case) in a formula:
// to the quoted name `to`, or to "#REF" when `to` is empty (the sheet is gone).
QString rewriteSheetRefs(const QString& formula, const QString& from, const QString& to) {
    QString out;
    const qsizetype n = formula.size();
    qsizetype i = 0;
    auto replacement = [&]() { return to.isEmpty() ? QStringLiteral("#REF") : quoteSheetName(to); };
    while (i < n) {
        const QChar c = formula[i];
        if (c == u'"') { // a string constant
            qsizetype j = i + 1;
            while (j < n) {
                if (formula[j] == u'"') {
                    if (j + 1 < n && formula[j + 1] == u'"') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += formula.mid(i, j + 1 - i);
            i = j + 1;
        } else if (c == u'\'') { // a quoted sheet name
            QString name;
            qsizetype j = i + 1;
            while (j < n) {
                if (formula[j] == u'\'') {
                    if (j + 1 < n && formula[j + 1] == u'\'') {
                        name += u'\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                name += formula[j];
                ++j;
            }
            if (j + 1 < n && formula[j + 1] == u'!' &&
                name.compare(from, Qt::CaseInsensitive) == 0) {
                out += replacement() + u'!';
            } else {
                out += formula.mid(i, j + 2 - i);
            }
            i = j + 2;
        } else if (isNameChar(c)) {
            qsizetype j = i;
            while (j < n && isNameChar(formula[j]))
                ++j;
            const QString token = formula.mid(i, j - i);
            if (j < n && formula[j] == u'!' && token.compare(from, Qt::CaseInsensitive) == 0) {
                out += replacement() + u'!';
                i = j + 1;
            } else {
                out += token;
                i = j;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// Cuts a name to at most len UTF-16 units without splitting a surrogate pair and without
// leaving an apostrophe at its end.
QString cutName(const QString& s, qsizetype len) {
    QString r = s.left(len);
    if (!r.isEmpty() && r.back().isHighSurrogate())
        r.chop(1);
    while (r.endsWith(QLatin1Char('\'')))
        r.chop(1);
    return r;
}

const char* kBlankContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
    R"(<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>)"
    R"(</Types>)";

const char* kBlankRootRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
    R"(</Relationships>)";

const char* kBlankApp =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties" xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">)"
    R"(<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>)"
    R"(<LinksUpToDate>false</LinksUpToDate><SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>16.0300</AppVersion>)"
    R"(</Properties>)";

const char* kBlankWorkbook =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<workbookPr defaultThemeVersion="124226"/><bookViews><workbookView xWindow="0" yWindow="0" windowWidth="16000" windowHeight="9000" activeTab="0"/></bookViews>)"
    R"(<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets><calcPr calcId="191029"/></workbook>)";

const char* kBlankWorkbookRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";

const char* kBlankStyles =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/><family val="3"/><charset val="128"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"><alignment vertical="center"/></xf></cellStyleXfs>)"
    R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"><alignment vertical="center"/></xf></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="標準" xfId="0" builtinId="0"/></cellStyles>)"
    R"(<dxfs count="0"/><tableStyles count="0" defaultTableStyle="TableStyleMedium9" defaultPivotStyle="PivotStyleLight16"/>)"
    R"(</styleSheet>)";

const char* kBlankSheet =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<dimension ref="A1"/><sheetViews><sheetView workbookViewId="0"/></sheetViews>)"
    R"(<sheetFormatPr defaultRowHeight="13.5"/><sheetData/>)"
    R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"
    R"(</worksheet>)";

} // namespace

// ---------------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------------
// Content types

void Workbook::Impl::addOverride(const std::string& part, const std::string& type) {
    pugi::xml_node root = ct->document_element();
    const std::string name = std::string(1, '/') + part;
    for (pugi::xml_node o = root.first_child(); o; o = o.next_sibling()) {
        if (isNamed(o, "Override") && lower(o.attribute("PartName").value()) == lower(name)) {
            setAttr(o, "ContentType", type);
            return;
        }
    }
    pugi::xml_node o = appendChild(root, "Override");
    o.append_attribute("PartName").set_value(name.c_str());
    o.append_attribute("ContentType").set_value(type.c_str());
}

void Workbook::Impl::removeOverride(const std::string& part) {
    pugi::xml_node root = ct->document_element();
    const std::string name = lower(std::string(1, '/') + part);
    for (pugi::xml_node o = root.first_child(); o;) {
        pugi::xml_node next = o.next_sibling();
        if (isNamed(o, "Override") && lower(o.attribute("PartName").value()) == name)
            root.remove_child(o);
        o = next;
    }
}

std::string Workbook::Impl::contentTypeOf(const std::string& part) const {
    const pugi::xml_node root = ct->document_element();
    const std::string name = lower(std::string(1, '/') + part);
    for (pugi::xml_node o = root.first_child(); o; o = o.next_sibling())
        if (isNamed(o, "Override") && lower(o.attribute("PartName").value()) == name)
            return o.attribute("ContentType").value();
    const auto dot = part.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : lower(part.substr(dot + 1));
    for (pugi::xml_node d = root.first_child(); d; d = d.next_sibling())
        if (isNamed(d, "Default") && lower(d.attribute("Extension").value()) == ext)
            return d.attribute("ContentType").value();
    return {};
}

std::string Workbook::Impl::unusedPart(const std::string& folder, const std::string& stem,
                                       const std::string& ext, int& counter) {
    for (;; ++counter) {
        const std::string name = folder + stem + std::to_string(counter) + ext;
        if (!pkg.contains(name))
            return name;
    }
}

// ---------------------------------------------------------------------------------------------
// Loading

bool Workbook::Impl::makeWorksheet(SheetEntry& e, pugi::xml_document* doc) {
    auto wi = std::make_unique<Worksheet::Impl>();
    wi->book = this;
    wi->entry = &e;
    wi->doc = doc;
    if (!wi->buildIndex(error)) {
        error = e.name + QStringLiteral("：") + error;
        return false;
    }
    e.ws.reset(new Worksheet(std::move(wi)));
    return true;
}

bool Workbook::Impl::load() {
    ct = pkg.xml(kContentTypesPart, error);
    if (!ct || !isNamed(ct->document_element(), "Types"))
        return fail(
            QStringLiteral("ブックの形式ではありません（[Content_Types].xml がありません）"));

    Relationships rootRels;
    if (!openRelationships(pkg, "", false, rootRels, error))
        return false;
    const std::string docId = rootRels.doc ? rootRels.idOfType("officeDocument") : std::string();
    if (docId.empty())
        return fail(QStringLiteral("ブックの形式ではありません（本体部品がありません）"));
    workbookPart = resolveTarget("", rootRels.target(docId));

    pugi::xml_document* wb = pkg.xml(workbookPart, error);
    if (!wb)
        return false;
    wbRoot = wb->document_element();
    for (pugi::xml_attribute a = wbRoot.first_attribute(); a; a = a.next_attribute())
        if (std::string_view(a.value()).find("purl.oclc.org") != std::string_view::npos)
            return fail(QStringLiteral("Strict形式のブックは扱えません"));
    if (!isNamed(wbRoot, "workbook"))
        return fail(QStringLiteral("ブックの形式ではありません（workbook がありません）"));
    if (!openRelationships(pkg, workbookPart, true, wbRels, error))
        return false;

    const std::string stylesId = wbRels.idOfType("styles");
    if (stylesId.empty())
        return fail(QStringLiteral("スタイル部品がありません"));
    pugi::xml_document* stylesDoc =
        pkg.xml(resolveTarget(workbookPart, wbRels.target(stylesId)), error);
    if (!stylesDoc || !styles.load(stylesDoc, error))
        return false;

    // Shared strings are only read (for values of template cells); the part stays as it is.
    const std::string sstId = wbRels.idOfType("sharedStrings");
    if (!sstId.empty()) {
        if (Part* sst = pkg.find(resolveTarget(workbookPart, wbRels.target(sstId)))) {
            pugi::xml_document doc;
            const std::string& data = sst->doc ? serializeXml(*sst->doc) : sst->data;
            if (!parseXml(data, doc, error))
                return false;
            for (pugi::xml_node si = doc.document_element().first_child(); si;
                 si = si.next_sibling()) {
                if (!isNamed(si, "si"))
                    continue;
                QString text;
                for (pugi::xml_node c = si.first_child(); c; c = c.next_sibling()) {
                    if (isNamed(c, "t"))
                        text += qs(c.text().get());
                    else if (isNamed(c, "r"))
                        text += qs(child(c, "t").text().get());
                }
                sharedStrings.push_back(unescapeCellText(text));
            }
        }
    }

    // A calculation chain goes stale as soon as cells change: drop it and let Excel rebuild.
    const std::string chainId = wbRels.idOfType("calcChain");
    if (!chainId.empty()) {
        const std::string chain = resolveTarget(workbookPart, wbRels.target(chainId));
        pkg.remove(chain);
        removeOverride(chain);
        wbRels.remove(chainId);
        setAttr(ensureChild(wbRoot, "calcPr", kWorkbookOrder), "fullCalcOnLoad", "1");
    }

    const pugi::xml_node sheetsNode = child(wbRoot, "sheets");
    for (pugi::xml_node s = sheetsNode.first_child(); s; s = s.next_sibling()) {
        if (!isNamed(s, "sheet"))
            continue;
        auto e = std::make_unique<SheetEntry>();
        e->name = qs(s.attribute("name").value());
        e->sheetId = parseInt(s.attribute("sheetId").value(), 0);
        e->relId = attrByLocalName(s, "id").value();
        e->state = s.attribute("state").value();
        if (typeSuffix(wbRels.type(e->relId)) != "worksheet")
            return fail(QStringLiteral("ワークシート以外のシートを含むブックは扱えません：") +
                        e->name);
        e->part = resolveTarget(workbookPart, wbRels.target(e->relId));
        pugi::xml_document* doc = pkg.xml(e->part, error);
        if (!doc)
            return false;
        if (!makeWorksheet(*e, doc))
            return false;
        sheets.push_back(std::move(e));
    }
    if (sheets.empty())
        return fail(QStringLiteral("シートがありません"));

    if (pugi::xml_node dn = child(wbRoot, "definedNames")) {
        for (pugi::xml_node n = dn.first_child(); n; n = n.next_sibling()) {
            if (!isNamed(n, "definedName"))
                continue;
            NameEntry ne;
            ne.name = qs(n.attribute("name").value());
            ne.formula = qs(n.text().get());
            if (pugi::xml_attribute local = n.attribute("localSheetId")) {
                const int idx = parseInt(local.value(), -1);
                if (idx < 0 || idx >= static_cast<int>(sheets.size()))
                    continue; // a stale name Excel would refuse
                ne.sheet = sheets[static_cast<size_t>(idx)].get();
            }
            for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
                const std::string_view an(a.name());
                if (an != "name" && an != "localSheetId")
                    ne.attrs.emplace_back(a.name(), a.value());
            }
            names.push_back(std::move(ne));
        }
    }

    const int tab = parseInt(
        child(child(wbRoot, "bookViews"), "workbookView").attribute("activeTab").value(), 0);
    active =
        sheets[tab >= 0 && tab < static_cast<int>(sheets.size()) ? static_cast<size_t>(tab) : 0]
            .get();
    isOpen = true;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Saving

bool Workbook::Impl::prepareSave() {
    // A parked sheet is parsed for this and parked again, one at a time.
    for (auto& s : sheets) {
        Worksheet::Impl* w = s->ws->impl();
        const bool parked = w->parked;
        if (!w->wake())
            return false;
        w->finish(s.get() == active);
        if (parked && !w->park())
            return false;
    }

    const std::string r = namespacePrefix(wbRoot, kNsRel, "r");
    pugi::xml_node sheetsNode = ensureChild(wbRoot, "sheets", kWorkbookOrder);
    sheetsNode.remove_children();
    for (const auto& s : sheets) {
        pugi::xml_node n = appendChild(sheetsNode, "sheet");
        n.append_attribute("name").set_value(u8(s->name).c_str());
        n.append_attribute("sheetId").set_value(s->sheetId);
        if (!s->state.empty())
            n.append_attribute("state").set_value(s->state.c_str());
        n.append_attribute((r + ":id").c_str()).set_value(s->relId.c_str());
    }

    if (pugi::xml_node old = child(wbRoot, "definedNames"))
        wbRoot.remove_child(old);
    if (!names.empty()) {
        pugi::xml_node dn = ensureChild(wbRoot, "definedNames", kWorkbookOrder);
        for (const NameEntry& ne : names) {
            pugi::xml_node n = appendChild(dn, "definedName");
            n.append_attribute("name").set_value(u8(ne.name).c_str());
            if (ne.sheet)
                n.append_attribute("localSheetId").set_value(indexOf(ne.sheet));
            for (const auto& [k, v] : ne.attrs)
                n.append_attribute(k.c_str()).set_value(v.c_str());
            n.text().set(u8(ne.formula).c_str());
        }
    }

    pugi::xml_node view = ensureChild(ensureChild(wbRoot, "bookViews", kWorkbookOrder),
                                      "workbookView", {"workbookView", "extLst"});
    setAttr(view, "activeTab", std::to_string(std::max(0, indexOf(active))));
    if (parseInt(view.attribute("firstSheet").value(), 0) >= static_cast<int>(sheets.size()))
        view.remove_attribute("firstSheet");

    styles.finish();

    // The sheet titles in the extended properties would disagree with the new sheets.
    Relationships rootRels;
    if (openRelationships(pkg, "", false, rootRels, error) && rootRels.doc) {
        const std::string appId = rootRels.idOfType("extended-properties");
        const std::string app =
            appId.empty() ? std::string() : resolveTarget("", rootRels.target(appId));
        if (!app.empty() && pkg.contains(app)) {
            QString ignored;
            if (pugi::xml_document* doc = pkg.xml(app, ignored)) {
                pugi::xml_node root = doc->document_element();
                for (const char* n : {"HeadingPairs", "TitlesOfParts"})
                    if (pugi::xml_node c = child(root, n))
                        root.remove_child(c);
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

Workbook::Workbook() : d(std::make_unique<Impl>()) {}
Workbook::~Workbook() = default;

void Workbook::close() {
    d = std::make_unique<Impl>();
}

bool Workbook::isOpen() const {
    return d->isOpen;
}

QString Workbook::errorText() const {
    return d->error;
}

bool Workbook::open(const QString& path) {
    close();
    QFile f(path);
    if (!f.exists())
        return d->fail(QStringLiteral("ファイルが見つかりません：") + path);
    if (!f.open(QIODevice::ReadOnly))
        return d->fail(QStringLiteral("ファイルを開けません：") + path + QStringLiteral("（") +
                       f.errorString() + QStringLiteral("）"));
    const QByteArray data = f.readAll();
    f.close();
    if (!openData(data)) {
        d->error = path + QStringLiteral("：") + d->error;
        return false;
    }
    return true;
}

bool Workbook::openData(const QByteArray& data) {
    close();
    if (!d->pkg.readZip(data, d->error) || !d->load()) {
        const QString e = d->error;
        close();
        d->error = e;
        return false;
    }
    return true;
}

bool Workbook::create(const QString& sheetName, const QString& fontName, double fontSize) {
    close();
    if (fontName.isEmpty() || !(fontSize >= 1 && fontSize <= 409))
        return d->fail(QStringLiteral("フォントの指定が正しくありません"));
    d->pkg.add(kContentTypesPart, kBlankContentTypes);
    d->pkg.add("_rels/.rels", kBlankRootRels);
    d->pkg.add("docProps/app.xml", kBlankApp);
    d->pkg.add("xl/workbook.xml", kBlankWorkbook);
    d->pkg.add("xl/_rels/workbook.xml.rels", kBlankWorkbookRels);
    d->pkg.add("xl/styles.xml", kBlankStyles);
    d->pkg.add("xl/worksheets/sheet1.xml", kBlankSheet);
    QString err;
    pugi::xml_document* styles = d->pkg.xml("xl/styles.xml", err);
    pugi::xml_document* sheet = d->pkg.xml("xl/worksheets/sheet1.xml", err);
    if (!styles || !sheet)
        return d->fail(err);
    pugi::xml_node font = child(child(styles->document_element(), "fonts"), "font");
    setAttr(child(font, "sz"), "val", formatDouble(fontSize));
    setAttr(child(font, "name"), "val", u8(fontName));
    // Excel's row height for a font: about 1.2 × its size, in steps of 0.75 point.
    const double rowHeight = std::ceil(fontSize * 1.2 / 0.75 - 1e-9) * 0.75;
    setAttr(child(sheet->document_element(), "sheetFormatPr"), "defaultRowHeight",
            formatDouble(rowHeight));
    if (!d->load()) {
        const QString e = d->error;
        close();
        d->error = e;
        return false;
    }
    return renameSheet(0, sheetName.isEmpty() ? QStringLiteral("Sheet1") : sheetName);
}

bool Workbook::saveToData(QByteArray& out) {
    if (!d->isOpen)
        return d->fail(QStringLiteral("ブックが開かれていません"));
    out.clear();
    return d->prepareSave() && d->pkg.writeZip(
                                   [&out](const char* data, qint64 size) {
                                       out.append(data, size);
                                       return true;
                                   },
                                   d->error);
}

bool Workbook::save(const QString& path) {
    d->saveFailure.clear();
    if (!d->isOpen)
        return d->fail(QStringLiteral("ブックが開かれていません"));
    if (!d->prepareSave())
        return false;
    // The compressed package goes to the file in pieces; the sheets' text is never held whole.
    CheckedFileWriter f(path);
    bool written = f.open();
    QString buildError;
    const bool built = written && d->pkg.writeZip([&f](const char* data,
                                                       qint64 size) { return f.write(data, size); },
                                                  buildError);
    written = written && f.errorString().isEmpty();
    if (built && written && f.commit())
        return true;
    if (!built && written) {
        f.cancel(buildError);
        return d->fail(buildError);
    }
    d->saveFailure = f.failureText();
    return d->fail(QStringLiteral("保存できません：") + path + QStringLiteral("（") +
                   f.errorString() + QStringLiteral("）"));
}

QString Workbook::saveFailureText() const {
    return d->saveFailure;
}

// ---------------------------------------------------------------------------------------------
// Sheets

int Workbook::sheetCount() const {
    return static_cast<int>(d->sheets.size());
}

QString Workbook::sheetName(int index) const {
    if (index < 0 || index >= sheetCount())
        return {};
    return d->sheets[static_cast<size_t>(index)]->name;
}

QStringList Workbook::sheetNames() const {
    return d->namesExcept(nullptr);
}

int Workbook::sheetIndex(const QString& name) const {
    for (int i = 0; i < sheetCount(); ++i)
        if (d->sheets[static_cast<size_t>(i)]->name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Worksheet* Workbook::sheet(int index) {
    if (index < 0 || index >= sheetCount()) {
        d->error = QStringLiteral("シート番号が範囲外です：%1").arg(index);
        return nullptr;
    }
    return d->sheets[static_cast<size_t>(index)]->ws.get();
}

Worksheet* Workbook::sheet(const QString& name) {
    const int i = sheetIndex(name);
    if (i < 0) {
        d->error = QStringLiteral("シートがありません：") + name;
        return nullptr;
    }
    return sheet(i);
}

QString Workbook::validSheetName(const QString& wanted, const QStringList& taken) {
    QString s;
    s.reserve(wanted.size());
    for (const QChar c : wanted) {
        if (c.unicode() < 0x20 || c == u'[' || c == u']' || c == u':' || c == u'*' || c == u'?' ||
            c == u'/' || c == u'\\' || c.unicode() == 0x7F || c.unicode() == 0xFFFE ||
            c.unicode() == 0xFFFF)
            s += u'_';
        else
            s += c;
    }
    while (s.startsWith(QLatin1Char('\'')))
        s.remove(0, 1);
    while (s.endsWith(QLatin1Char('\'')))
        s.chop(1);
    if (s.isEmpty())
        s = QStringLiteral("Sheet");
    auto isTaken = [&](const QString& candidate) {
        if (candidate.compare(QStringLiteral("History"), Qt::CaseInsensitive) == 0)
            return true;
        for (const QString& t : taken)
            if (t.compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    QString candidate = cutName(s, 31);
    for (int n = 2; isTaken(candidate) || candidate.isEmpty(); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        candidate = cutName(s, 31 - suffix.size()) + suffix;
    }
    return candidate;
}

Worksheet* Workbook::copySheet(int source, const QString& name) {
    if (!d->isOpen) {
        d->fail(QStringLiteral("ブックが開かれていません"));
        return nullptr;
    }
    if (source < 0 || source >= sheetCount()) {
        d->fail(QStringLiteral("複写元のシート番号が範囲外です：%1").arg(source));
        return nullptr;
    }
    SheetEntry& src = *d->sheets[static_cast<size_t>(source)];
    if (!src.ws->impl()->wake())
        return nullptr;
    if (src.ws->firstOpenRow() > 1) {
        d->fail(QStringLiteral("行を書き出したシートは複写できません：") + src.name);
        return nullptr;
    }
    int maxId = 0;
    for (const auto& s : d->sheets)
        maxId = std::max(maxId, s->sheetId);
    if (maxId >= kMaxSheetId) {
        d->fail(QStringLiteral("シートが多すぎます"));
        return nullptr;
    }

    // Relationships of the sheet: printer settings and external links are carried over; parts
    // that a copy would share (drawings, comments, tables) are not supported in templates.
    Relationships srcRels;
    if (!openRelationships(d->pkg, src.part, false, srcRels, d->error))
        return nullptr;
    if (srcRels.doc) {
        for (pugi::xml_node r = srcRels.root.first_child(); r; r = r.next_sibling()) {
            if (!isNamed(r, "Relationship"))
                continue;
            const std::string_view t = typeSuffix(r.attribute("Type").value());
            const bool ext = std::string_view(r.attribute("TargetMode").value()) == "External";
            if (t != "printerSettings" && !(t == "hyperlink" && ext)) {
                d->fail(QStringLiteral("図形・コメント・表などを含むシートは複写できません：") +
                        src.name + QStringLiteral("（") + qs(std::string(t).c_str()) +
                        QStringLiteral("）"));
                return nullptr;
            }
        }
    }

    auto e = std::make_unique<SheetEntry>();
    e->name = validSheetName(name, sheetNames());
    e->sheetId = maxId + 1;
    e->part = d->unusedPart("xl/worksheets/", "sheet", ".xml", d->nextSheetNumber);

    auto doc = std::make_unique<pugi::xml_document>();
    doc->reset(*src.ws->impl()->doc);
    pugi::xml_node root = doc->document_element();
    for (pugi::xml_node v = child(child(root, "sheetViews"), "sheetView"); v; v = v.next_sibling())
        v.remove_attribute("tabSelected");
    child(root, "sheetPr").remove_attribute("codeName");

    if (srcRels.doc) {
        Relationships rels;
        // The new relationships keep their Ids, so r:id attributes in the copy still resolve.
        auto relsDoc = std::make_unique<pugi::xml_document>();
        relsDoc->append_child("Relationships").append_attribute("xmlns").set_value(kNsPkgRel);
        rels.doc = relsDoc.get();
        rels.root = relsDoc->document_element();
        for (pugi::xml_node r = srcRels.root.first_child(); r; r = r.next_sibling()) {
            if (!isNamed(r, "Relationship"))
                continue;
            const std::string id = r.attribute("Id").value();
            const std::string type = r.attribute("Type").value();
            if (typeSuffix(type) == "printerSettings") {
                const std::string from = resolveTarget(src.part, r.attribute("Target").value());
                Part* bin = d->pkg.find(from);
                if (!bin)
                    continue; // a dangling link: the copy simply has none
                const std::string to = d->unusedPart("xl/printerSettings/", "printerSettings",
                                                     ".bin", d->nextPrinterNumber);
                const std::string data = bin->data;
                const std::string type0 = d->contentTypeOf(from);
                d->pkg.add(to, data);
                if (d->contentTypeOf(to) != type0)
                    d->addOverride(to, type0);
                rels.add(id, type, relativeTarget(e->part, to), false);
            } else {
                rels.add(id, type, r.attribute("Target").value(), true);
            }
        }
        d->pkg.addXml(relsPathOf(e->part), std::move(relsDoc));
    }

    pugi::xml_document* docPtr = doc.get();
    d->pkg.addXml(e->part, std::move(doc));
    e->relId = d->wbRels.add(kRelWorksheet, relativeTarget(d->workbookPart, e->part));
    d->addOverride(e->part, kCtWorksheet);
    if (!d->makeWorksheet(*e, docPtr))
        return nullptr;

    SheetEntry* added = e.get();
    d->sheets.push_back(std::move(e));
    const size_t count = d->names.size();
    for (size_t i = 0; i < count; ++i) {
        if (d->names[i].sheet != &src)
            continue;
        NameEntry copy = d->names[i];
        copy.sheet = added;
        copy.formula = rewriteSheetRefs(copy.formula, src.name, added->name);
        d->names.push_back(std::move(copy));
    }
    return added->ws.get();
}

bool Workbook::renameSheet(int index, const QString& name) {
    if (index < 0 || index >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(index));
    SheetEntry& e = *d->sheets[static_cast<size_t>(index)];
    const QString newName = validSheetName(name, d->namesExcept(&e));
    for (NameEntry& ne : d->names)
        ne.formula = rewriteSheetRefs(ne.formula, e.name, newName);
    e.name = newName;
    return true;
}

bool Workbook::deleteSheet(int index) {
    if (index < 0 || index >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(index));
    SheetEntry* e = d->sheets[static_cast<size_t>(index)].get();
    int visibleLeft = 0;
    for (const auto& s : d->sheets)
        if (s.get() != e && s->state.empty())
            ++visibleLeft;
    if (visibleLeft == 0)
        return d->fail(QStringLiteral("表示されるシートが無くなるため削除できません"));

    Relationships rels;
    if (!openRelationships(d->pkg, e->part, false, rels, d->error))
        return false;
    if (rels.doc) {
        // Parts this sheet alone refers to go with it.
        std::vector<std::string> targets;
        for (pugi::xml_node r = rels.root.first_child(); r; r = r.next_sibling())
            if (isNamed(r, "Relationship") &&
                std::string_view(r.attribute("TargetMode").value()) != "External")
                targets.push_back(lower(resolveTarget(e->part, r.attribute("Target").value())));
        for (const auto& s : d->sheets) {
            if (s.get() == e || targets.empty())
                continue;
            Relationships other;
            if (!openRelationships(d->pkg, s->part, false, other, d->error))
                return false;
            if (!other.doc)
                continue;
            for (pugi::xml_node r = other.root.first_child(); r; r = r.next_sibling()) {
                const std::string t = lower(resolveTarget(s->part, r.attribute("Target").value()));
                targets.erase(std::remove(targets.begin(), targets.end(), t), targets.end());
            }
        }
        for (const std::string& t : targets) {
            d->pkg.remove(t);
            d->removeOverride(t);
        }
        d->pkg.remove(relsPathOf(e->part));
    }
    d->pkg.remove(e->part);
    d->removeOverride(e->part);
    d->wbRels.remove(e->relId);

    const QString gone = e->name;
    d->names.erase(std::remove_if(d->names.begin(), d->names.end(),
                                  [&](const NameEntry& n) { return n.sheet == e; }),
                   d->names.end());
    for (NameEntry& ne : d->names)
        ne.formula = rewriteSheetRefs(ne.formula, gone, QString());

    const bool wasActive = d->active == e;
    d->sheets.erase(d->sheets.begin() + index);
    if (wasActive) {
        d->active = nullptr;
        const int n = sheetCount();
        for (int k = 0; k < n && !d->active; ++k) {
            SheetEntry* cand =
                d->sheets[static_cast<size_t>((std::min(index, n - 1) + k) % n)].get();
            if (cand->state.empty())
                d->active = cand;
        }
    }
    return true;
}

int Workbook::activeSheet() const {
    return d->indexOf(d->active);
}

bool Workbook::setActiveSheet(int index) {
    if (index < 0 || index >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(index));
    SheetEntry* e = d->sheets[static_cast<size_t>(index)].get();
    if (!e->state.empty())
        return d->fail(QStringLiteral("非表示のシートは選択できません：") + e->name);
    d->active = e;
    return true;
}

bool Workbook::setSheetHidden(int index, bool hidden) {
    if (index < 0 || index >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(index));
    SheetEntry* e = d->sheets[static_cast<size_t>(index)].get();
    if (!hidden) {
        e->state.clear();
        return true;
    }
    if (e == d->active)
        return d->fail(QStringLiteral("選択中のシートは非表示にできません：") + e->name);
    int visible = 0;
    for (const auto& s : d->sheets)
        visible += s->state.empty() ? 1 : 0;
    if (e->state.empty() && visible <= 1)
        return d->fail(QStringLiteral("最後の表示シートは非表示にできません：") + e->name);
    if (e->state.empty())
        e->state = "hidden";
    return true;
}

bool Workbook::isSheetHidden(int index) const {
    return index >= 0 && index < sheetCount() &&
           !d->sheets[static_cast<size_t>(index)]->state.empty();
}

// ---------------------------------------------------------------------------------------------
// Defined names

QList<DefinedName> Workbook::definedNames() const {
    QList<DefinedName> out;
    for (const NameEntry& ne : d->names)
        out.append({ne.name, ne.sheet ? d->indexOf(ne.sheet) : -1, ne.formula});
    return out;
}

bool Workbook::setDefinedName(const DefinedName& name) {
    if (!d->isOpen)
        return d->fail(QStringLiteral("ブックが開かれていません"));
    if (name.name.isEmpty() || name.formula.isEmpty())
        return d->fail(QStringLiteral("名前の定義が空です"));
    if (name.sheet < -1 || name.sheet >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(name.sheet));
    SheetEntry* owner = name.sheet < 0 ? nullptr : d->sheets[static_cast<size_t>(name.sheet)].get();
    for (NameEntry& ne : d->names) {
        if (ne.sheet == owner && ne.name.compare(name.name, Qt::CaseInsensitive) == 0) {
            ne.formula = name.formula;
            return true;
        }
    }
    NameEntry ne;
    ne.name = name.name;
    ne.sheet = owner;
    ne.formula = name.formula;
    d->names.push_back(std::move(ne));
    return true;
}

bool Workbook::setPrintArea(int sheet, const CellRange& range) {
    if (sheet < 0 || sheet >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(sheet));
    if (range.row1 < 1 || range.col1 < 1 || range.row2 < range.row1 || range.col2 < range.col1 ||
        range.row2 > 1048576 || range.col2 > 16384)
        return d->fail(QStringLiteral("印刷範囲が正しくありません"));
    const QString f = quoteSheetName(sheetName(sheet)) + QStringLiteral("!$%1$%2:$%3$%4")
                                                             .arg(xlsxColumnName(range.col1))
                                                             .arg(range.row1)
                                                             .arg(xlsxColumnName(range.col2))
                                                             .arg(range.row2);
    return setDefinedName({QStringLiteral("_xlnm.Print_Area"), sheet, f});
}

bool Workbook::setPrintTitleRows(int sheet, int firstRow, int lastRow) {
    if (sheet < 0 || sheet >= sheetCount())
        return d->fail(QStringLiteral("シート番号が範囲外です：%1").arg(sheet));
    if (firstRow < 1 || lastRow < firstRow || lastRow > 1048576)
        return d->fail(QStringLiteral("印刷タイトルの行が正しくありません"));
    const QString f =
        quoteSheetName(sheetName(sheet)) + QStringLiteral("!$%1:$%2").arg(firstRow).arg(lastRow);
    return setDefinedName({QStringLiteral("_xlnm.Print_Titles"), sheet, f});
}

// ---------------------------------------------------------------------------------------------
// Free helpers

QString xlsxColumnName(int col) {
    return qs(columnLetters(col).c_str());
}

QString xlsxCellName(int row, int col) {
    if (row < 1 || row > 1048576 || col < 1 || col > 16384)
        return {};
    return qs(cellRef(row, col).c_str());
}

bool xlsxParseCell(const QString& ref, int& row, int& col) {
    return parseCellRef(u8(ref.trimmed()), row, col);
}

bool xlsxParseRange(const QString& ref, CellRange& range) {
    const QStringList parts = ref.trimmed().split(QLatin1Char(':'));
    if (parts.size() < 1 || parts.size() > 2)
        return false;
    CellRange r;
    if (!xlsxParseCell(parts[0], r.row1, r.col1))
        return false;
    r.row2 = r.row1;
    r.col2 = r.col1;
    if (parts.size() == 2 && !xlsxParseCell(parts[1], r.row2, r.col2))
        return false;
    range = {std::min(r.row1, r.row2), std::min(r.col1, r.col2), std::max(r.row1, r.row2),
             std::max(r.col1, r.col2)};
    return true;
}
