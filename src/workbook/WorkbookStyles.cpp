// The style sheet of the workbook package module: derives cell formats without touching the
// ones that exist, and deduplicates fonts, fills, borders, number formats and formats.
#include "workbook/WorkbookInternal.h"

#include <algorithm>
#include <cstring>

namespace wbx {

namespace {

// Built-in number formats that need no <numFmt>. Others are written as custom formats, because
// Excel shows several built-in ids differently per locale.
struct BuiltIn {
    int id;
    const char* code;
};
// clang-format off
constexpr BuiltIn kBuiltIns[] = {
    {0, "General"}, {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}, {9, "0%"},
    {10, "0.00%"}, {11, "0.00E+00"}, {12, "# ?/?"}, {13, "# ?\?/?\?"}, {14, "mm-dd-yy"},
    {15, "d-mmm-yy"}, {16, "d-mmm"}, {17, "mmm-yy"}, {18, "h:mm AM/PM"}, {19, "h:mm:ss AM/PM"},
    {20, "h:mm"}, {21, "h:mm:ss"}, {22, "m/d/yy h:mm"}, {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"}, {39, "#,##0.00;(#,##0.00)"}, {40, "#,##0.00;[Red](#,##0.00)"},
    {45, "mm:ss"}, {46, "[h]:mm:ss"}, {47, "mmss.0"}, {48, "##0.0E+0"}, {49, "@"}};
// clang-format on

const char* builtInCode(int id) {
    for (const BuiltIn& b : kBuiltIns)
        if (b.id == id)
            return b.code;
    return nullptr;
}

bool truthy(const pugi::xml_attribute& a, bool whenMissing) {
    if (!a)
        return whenMissing;
    const std::string_view v(a.value());
    return v == "1" || v == "true" || v == "on";
}

// The side element for a flag: "left"/"start", "right"/"end", "top", "bottom".
pugi::xml_node sideNode(const pugi::xml_node& border, int side) {
    switch (side) {
    case CellSide::Left:
        return child(border, "left") ? child(border, "left") : child(border, "start");
    case CellSide::Right:
        return child(border, "right") ? child(border, "right") : child(border, "end");
    case CellSide::Top:
        return child(border, "top");
    default:
        return child(border, "bottom");
    }
}

const char* sideName(int side) {
    switch (side) {
    case CellSide::Left:
        return "left";
    case CellSide::Right:
        return "right";
    case CellSide::Top:
        return "top";
    default:
        return "bottom";
    }
}

constexpr int kSides[] = {CellSide::Left, CellSide::Right, CellSide::Top, CellSide::Bottom};

} // namespace

bool StyleSheet::load(pugi::xml_document* doc, QString& error) {
    m_root = doc->document_element();
    if (!isNamed(m_root, "styleSheet")) {
        error = QStringLiteral("スタイル部品の形式が違います");
        return false;
    }
    const std::string p = prefixOf(m_root);
    m_numFmts = child(m_root, "numFmts");
    m_fonts = ensureChild(m_root, "fonts", kStyleSheetOrder);
    m_fills = ensureChild(m_root, "fills", kStyleSheetOrder);
    m_borders = ensureChild(m_root, "borders", kStyleSheetOrder);
    m_cellXfs = ensureChild(m_root, "cellXfs", kStyleSheetOrder);
    if (!child(m_fonts, "font")) {
        pugi::xml_node f = appendChild(m_fonts, "font");
        appendChild(f, "sz").append_attribute("val").set_value("11");
        appendChild(f, "name").append_attribute("val").set_value("Calibri");
    }
    if (!child(m_fills, "fill")) {
        appendChild(appendChild(m_fills, "fill"), "patternFill")
            .append_attribute("patternType")
            .set_value("none");
        appendChild(appendChild(m_fills, "fill"), "patternFill")
            .append_attribute("patternType")
            .set_value("gray125");
    }
    if (!child(m_borders, "border")) {
        pugi::xml_node b = appendChild(m_borders, "border");
        for (const char* s : {"left", "right", "top", "bottom", "diagonal"})
            appendChild(b, s);
    }
    if (!child(m_cellXfs, "xf")) {
        pugi::xml_node x = appendChild(m_cellXfs, "xf");
        for (const char* a : {"numFmtId", "fontId", "fillId", "borderId", "xfId"})
            x.append_attribute(a).set_value("0");
    }
    auto collect = [](pugi::xml_node list, std::string_view name,
                      std::vector<pugi::xml_node>& nodes,
                      std::unordered_map<std::string, int>& keys) {
        for (pugi::xml_node c = list.first_child(); c; c = c.next_sibling()) {
            if (!isNamed(c, name))
                continue;
            keys.emplace(canonical(c), static_cast<int>(nodes.size()));
            nodes.push_back(c);
        }
    };
    collect(m_fonts, "font", m_fontNodes, m_fontKeys);
    collect(m_fills, "fill", m_fillNodes, m_fillKeys);
    collect(m_borders, "border", m_borderNodes, m_borderKeys);
    collect(m_cellXfs, "xf", m_xfs, m_xfKeys);
    if (m_numFmts) {
        for (pugi::xml_node f = m_numFmts.first_child(); f; f = f.next_sibling()) {
            if (!isNamed(f, "numFmt"))
                continue;
            const int id = parseInt(f.attribute("numFmtId").value(), -1);
            if (id < 0)
                continue;
            m_codes[id] = f.attribute("formatCode").value();
            m_codeIds.emplace(f.attribute("formatCode").value(), id);
        }
    }
    (void)p;
    return true;
}

std::string StyleSheet::keyOf(const StyleChange& c) {
    std::string k;
    auto add = [&k](char tag, const std::string& value) {
        k += tag;
        k += value;
        k += '\x1f';
    };
    if (c.numberFormat)
        add('n', u8(*c.numberFormat));
    if (c.fillColorIndex)
        add('f', std::to_string(*c.fillColorIndex));
    if (c.fontSize)
        add('s', formatDouble(*c.fontSize));
    if (c.bold)
        add('b', *c.bold ? "1" : "0");
    if (c.fontName)
        add('F', u8(*c.fontName));
    if (c.horizontal)
        add('h', std::to_string(static_cast<int>(*c.horizontal)));
    if (c.vertical)
        add('v', std::to_string(static_cast<int>(*c.vertical)));
    if (c.wrapText)
        add('w', *c.wrapText ? "1" : "0");
    if (c.shrinkToFit)
        add('s', *c.shrinkToFit ? "1" : "0");
    if (c.thinSides)
        add('t', std::to_string(c.thinSides));
    if (c.clearDiagonal)
        add('d', "");
    return k;
}

int StyleSheet::numFmtId(const QString& code) {
    if (code.compare(QStringLiteral("General"), Qt::CaseInsensitive) == 0)
        return 0;
    if (code == QStringLiteral("0"))
        return 1;
    if (code == QStringLiteral("@"))
        return 49;
    const std::string c = u8(code);
    if (auto it = m_codeIds.find(c); it != m_codeIds.end())
        return it->second;
    int id = 163;
    if (!m_codes.empty())
        id = std::max(id, m_codes.rbegin()->first);
    ++id;
    if (!m_numFmts) {
        m_numFmts = ensureChild(m_root, "numFmts", kStyleSheetOrder);
    }
    pugi::xml_node f = appendChild(m_numFmts, "numFmt");
    f.append_attribute("numFmtId").set_value(id);
    f.append_attribute("formatCode").set_value(c.c_str());
    m_codes[id] = c;
    m_codeIds.emplace(c, id);
    return id;
}

int StyleSheet::addUnique(pugi::xml_node list, std::vector<pugi::xml_node>& nodes,
                          std::unordered_map<std::string, int>& keys,
                          const pugi::xml_node& candidate) {
    std::string key = canonical(candidate);
    if (auto it = keys.find(key); it != keys.end())
        return it->second;
    const int index = static_cast<int>(nodes.size());
    nodes.push_back(list.append_copy(candidate));
    keys.emplace(std::move(key), index);
    return index;
}

int StyleSheet::derive(int base, const StyleChange& ch, const std::string& changeKey,
                       QString& error) {
    if (base < 0 || base >= count())
        base = 0;
    std::unordered_map<int, int>& derived = m_cache[changeKey];
    if (auto it = derived.find(base); it != derived.end())
        return it->second;

    if (ch.numberFormat && (ch.numberFormat->isEmpty() || ch.numberFormat->size() > 255)) {
        error = QStringLiteral("表示形式が正しくありません：") + *ch.numberFormat;
        return -1;
    }
    if (ch.fillColorIndex && (*ch.fillColorIndex < 0 || *ch.fillColorIndex > 56)) {
        error = QStringLiteral("色番号が範囲外です：%1").arg(*ch.fillColorIndex);
        return -1;
    }
    if (ch.fontSize && !(*ch.fontSize >= 1 && *ch.fontSize <= 409)) {
        error = QStringLiteral("文字サイズが範囲外です：%1").arg(*ch.fontSize);
        return -1;
    }
    if (ch.fontName && (ch.fontName->isEmpty() || ch.fontName->size() > 31)) {
        error = QStringLiteral("フォント名が正しくありません：") + *ch.fontName;
        return -1;
    }

    const std::string p = prefixOf(m_root);
    auto el = [&](pugi::xml_node parent, const char* local) {
        return parent.append_child((p + local).c_str());
    };

    m_scratch.reset();
    pugi::xml_node xf = m_scratch.append_copy(m_xfs[base]);

    if (ch.numberFormat) {
        setAttr(xf, "numFmtId", std::to_string(numFmtId(*ch.numberFormat)));
        setAttr(xf, "applyNumberFormat", "1");
    }
    if (ch.fontSize || ch.bold || ch.fontName) {
        int fontId = parseInt(xf.attribute("fontId").value(), 0);
        if (fontId < 0 || fontId >= static_cast<int>(m_fontNodes.size()))
            fontId = 0;
        pugi::xml_node font = m_scratch.append_copy(m_fontNodes[fontId]);
        if (ch.fontSize) {
            pugi::xml_node sz = child(font, "sz");
            if (!sz)
                sz = el(font, "sz");
            setAttr(sz, "val", formatDouble(*ch.fontSize));
        }
        if (ch.bold) {
            pugi::xml_node b = child(font, "b");
            if (b)
                font.remove_child(b);
            if (*ch.bold)
                font.prepend_child((p + "b").c_str());
        }
        if (ch.fontName) {
            pugi::xml_node name = child(font, "name");
            if (!name)
                name = el(font, "name");
            setAttr(name, "val", u8(*ch.fontName));
        }
        setAttr(xf, "fontId", std::to_string(addUnique(m_fonts, m_fontNodes, m_fontKeys, font)));
        setAttr(xf, "applyFont", "1");
        m_scratch.remove_child(font);
    }
    if (ch.fillColorIndex) {
        int fillId = 0;
        if (*ch.fillColorIndex > 0) {
            pugi::xml_node fill = m_scratch.append_child((p + "fill").c_str());
            pugi::xml_node pattern = el(fill, "patternFill");
            pattern.append_attribute("patternType").set_value("solid");
            el(pattern, "fgColor").append_attribute("indexed").set_value(*ch.fillColorIndex + 7);
            el(pattern, "bgColor").append_attribute("indexed").set_value(64);
            fillId = addUnique(m_fills, m_fillNodes, m_fillKeys, fill);
            m_scratch.remove_child(fill);
        }
        setAttr(xf, "fillId", std::to_string(fillId));
        setAttr(xf, "applyFill", "1");
    }
    if (ch.thinSides || ch.clearDiagonal) {
        int borderId = parseInt(xf.attribute("borderId").value(), 0);
        if (borderId < 0 || borderId >= static_cast<int>(m_borderNodes.size()))
            borderId = 0;
        pugi::xml_node border = m_scratch.append_copy(m_borderNodes[borderId]);
        for (int side : kSides) {
            if (!(ch.thinSides & side))
                continue;
            pugi::xml_node s = sideNode(border, side);
            if (!s)
                s = ensureChild(border, sideName(side), kBorderOrder);
            s.remove_children();
            setAttr(s, "style", "thin");
            el(s, "color").append_attribute("indexed").set_value(64);
        }
        if (ch.clearDiagonal) {
            border.remove_attribute("diagonalUp");
            border.remove_attribute("diagonalDown");
            if (pugi::xml_node d = child(border, "diagonal")) {
                d.remove_children();
                d.remove_attributes();
            }
        }
        setAttr(xf, "borderId",
                std::to_string(addUnique(m_borders, m_borderNodes, m_borderKeys, border)));
        setAttr(xf, "applyBorder", "1");
        m_scratch.remove_child(border);
    }
    if (ch.horizontal || ch.vertical || ch.wrapText || ch.shrinkToFit) {
        pugi::xml_node a = ensureChild(xf, "alignment", kXfOrder);
        if (ch.horizontal) {
            static const char* names[] = {nullptr, "left", "center", "right"};
            const char* h = names[static_cast<int>(*ch.horizontal)];
            if (h)
                setAttr(a, "horizontal", h);
            else
                a.remove_attribute("horizontal");
        }
        if (ch.vertical) {
            static const char* names[] = {"top", "center", "bottom"};
            setAttr(a, "vertical", names[static_cast<int>(*ch.vertical)]);
        }
        if (ch.wrapText) {
            if (*ch.wrapText)
                setAttr(a, "wrapText", "1");
            else
                a.remove_attribute("wrapText");
        }
        if (ch.shrinkToFit) {
            if (*ch.shrinkToFit)
                setAttr(a, "shrinkToFit", "1");
            else
                a.remove_attribute("shrinkToFit");
        }
        setAttr(xf, "applyAlignment", "1");
    }

    std::string key = canonical(xf);
    int result;
    if (auto it = m_xfKeys.find(key); it != m_xfKeys.end()) {
        result = it->second;
    } else {
        result = count();
        m_xfs.push_back(m_cellXfs.append_copy(xf));
        m_xfKeys.emplace(std::move(key), result);
    }
    m_scratch.reset();
    derived.emplace(base, result);
    return result;
}

CellFormat StyleSheet::describe(int index) const {
    CellFormat f;
    if (index < 0 || index >= count())
        index = 0;
    f.styleIndex = index;
    const pugi::xml_node xf = m_xfs[index];
    f.numberFormatId = parseInt(xf.attribute("numFmtId").value(), 0);
    if (auto it = m_codes.find(f.numberFormatId); it != m_codes.end())
        f.numberFormat = qs(it->second.c_str());
    else if (const char* code = builtInCode(f.numberFormatId))
        f.numberFormat = qs(code);

    const int fontId = parseInt(xf.attribute("fontId").value(), 0);
    if (fontId >= 0 && fontId < static_cast<int>(m_fontNodes.size())) {
        const pugi::xml_node font = m_fontNodes[fontId];
        f.fontName = qs(child(font, "name").attribute("val").value());
        double sz = 0;
        if (parseDouble(child(font, "sz").attribute("val").value(), sz))
            f.fontSize = sz;
        const pugi::xml_node b = child(font, "b");
        f.bold = b && truthy(b.attribute("val"), true);
    }

    const int fillId = parseInt(xf.attribute("fillId").value(), 0);
    if (fillId >= 0 && fillId < static_cast<int>(m_fillNodes.size())) {
        const pugi::xml_node pattern = child(m_fillNodes[fillId], "patternFill");
        const std::string_view type = pattern.attribute("patternType").value();
        if (!pattern || type.empty() || type == "none") {
            f.fillColorIndex = 0;
        } else {
            f.fillColorIndex = -1;
            const pugi::xml_attribute indexed = child(pattern, "fgColor").attribute("indexed");
            if (type == "solid" && indexed) {
                const int n = parseInt(indexed.value(), -1);
                if (n >= 8 && n <= 63)
                    f.fillColorIndex = n - 7;
                else if (n >= 0 && n <= 7)
                    f.fillColorIndex = n + 1;
            }
        }
    }

    const int borderId = parseInt(xf.attribute("borderId").value(), 0);
    if (borderId >= 0 && borderId < static_cast<int>(m_borderNodes.size())) {
        const pugi::xml_node border = m_borderNodes[borderId];
        for (int side : kSides) {
            const std::string_view style = sideNode(border, side).attribute("style").value();
            if (!style.empty() && style != "none")
                f.lineSides |= side;
            if (style == "thin")
                f.thinSides |= side;
        }
        const std::string_view diag = child(border, "diagonal").attribute("style").value();
        f.diagonal = !diag.empty() && diag != "none" &&
                     (truthy(border.attribute("diagonalUp"), false) ||
                      truthy(border.attribute("diagonalDown"), false));
    }

    const pugi::xml_node a = child(xf, "alignment");
    f.horizontal = qs(a.attribute("horizontal").value());
    f.vertical = qs(a.attribute("vertical").value());
    f.wrapText = truthy(a.attribute("wrapText"), false);
    f.shrinkToFit = truthy(a.attribute("shrinkToFit"), false);
    return f;
}

void StyleSheet::finish() {
    auto setCount = [](pugi::xml_node list, std::string_view name) {
        int n = 0;
        for (pugi::xml_node c = list.first_child(); c; c = c.next_sibling())
            if (isNamed(c, name))
                ++n;
        setAttr(list, "count", std::to_string(n));
    };
    if (m_numFmts) {
        if (!child(m_numFmts, "numFmt")) {
            m_root.remove_child(m_numFmts);
            m_numFmts = {};
        } else {
            setCount(m_numFmts, "numFmt");
        }
    }
    setCount(m_fonts, "font");
    setCount(m_fills, "fill");
    setCount(m_borders, "border");
    setCount(m_cellXfs, "xf");
}

} // namespace wbx
