// Builds a report template workbook from its description:
//     tovaki-mktemplate DESCRIPTION.json OUT.xlsx
// The descriptions live in resources/templates/ (their README lists the keys). The workbook is
// written under a temporary name and renamed, so a failed build leaves no half-made template.
#include "workbook/Workbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

#include <cstdio>

namespace {

QString g_error;

bool fail(const QString& text) {
    if (g_error.isEmpty())
        g_error = text;
    return false;
}

bool onlyKeys(const QJsonObject& o, const QStringList& allowed, const QString& where) {
    for (const QString& k : o.keys())
        if (!allowed.contains(k))
            return fail(where + QStringLiteral(": unknown key \"") + k + QLatin1Char('"'));
    return true;
}

const QStringList kStyleKeys = {
    QStringLiteral("size"),     QStringLiteral("bold"),         QStringLiteral("font"),
    QStringLiteral("fill"),     QStringLiteral("numberFormat"), QStringLiteral("horizontal"),
    QStringLiteral("vertical"), QStringLiteral("wrap"),         QStringLiteral("shrink")};

bool readStyle(const QJsonObject& o, StyleChange& ch, bool& any, const QString& where) {
    any = false;
    if (o.contains(QStringLiteral("size"))) {
        ch.fontSize = o.value(QStringLiteral("size")).toDouble();
        any = true;
    }
    if (o.contains(QStringLiteral("bold"))) {
        ch.bold = o.value(QStringLiteral("bold")).toBool();
        any = true;
    }
    if (o.contains(QStringLiteral("font"))) {
        ch.fontName = o.value(QStringLiteral("font")).toString();
        any = true;
    }
    if (o.contains(QStringLiteral("fill"))) {
        ch.fillColorIndex = o.value(QStringLiteral("fill")).toInt();
        any = true;
    }
    if (o.contains(QStringLiteral("numberFormat"))) {
        ch.numberFormat = o.value(QStringLiteral("numberFormat")).toString();
        any = true;
    }
    if (o.contains(QStringLiteral("horizontal"))) {
        const QString h = o.value(QStringLiteral("horizontal")).toString();
        if (h == QStringLiteral("left"))
            ch.horizontal = HAlign::Left;
        else if (h == QStringLiteral("center"))
            ch.horizontal = HAlign::Center;
        else if (h == QStringLiteral("right"))
            ch.horizontal = HAlign::Right;
        else if (h == QStringLiteral("general"))
            ch.horizontal = HAlign::General;
        else
            return fail(where +
                        QStringLiteral(": horizontal must be left, center, right or general"));
        any = true;
    }
    if (o.contains(QStringLiteral("vertical"))) {
        const QString v = o.value(QStringLiteral("vertical")).toString();
        if (v == QStringLiteral("top"))
            ch.vertical = VAlign::Top;
        else if (v == QStringLiteral("center"))
            ch.vertical = VAlign::Center;
        else if (v == QStringLiteral("bottom"))
            ch.vertical = VAlign::Bottom;
        else
            return fail(where + QStringLiteral(": vertical must be top, center or bottom"));
        any = true;
    }
    if (o.contains(QStringLiteral("wrap"))) {
        ch.wrapText = o.value(QStringLiteral("wrap")).toBool();
        any = true;
    }
    if (o.contains(QStringLiteral("shrink"))) {
        ch.shrinkToFit = o.value(QStringLiteral("shrink")).toBool();
        any = true;
    }
    return true;
}

// "B" or "B:D" → first and last column.
bool parseColumns(const QString& text, int& first, int& last) {
    const QStringList parts = text.split(QLatin1Char(':'));
    int row = 0;
    if (parts.size() > 2 || !xlsxParseCell(parts[0] + QStringLiteral("1"), row, first))
        return false;
    last = first;
    if (parts.size() == 2 && !xlsxParseCell(parts[1] + QStringLiteral("1"), row, last))
        return false;
    return last >= first;
}

// 2 or "2:4" → first and last row.
bool parseRows(const QJsonValue& v, int& first, int& last) {
    if (v.isDouble()) {
        first = last = v.toInt();
        return first >= 1;
    }
    const QStringList parts = v.toString().split(QLatin1Char(':'));
    bool ok1 = false, ok2 = true;
    first = parts.value(0).toInt(&ok1);
    last = parts.size() == 2 ? parts[1].toInt(&ok2) : first;
    return parts.size() <= 2 && ok1 && ok2 && first >= 1 && last >= first;
}

int sidesOf(const QJsonValue& v, bool& ok) {
    ok = true;
    int sides = 0;
    for (const QJsonValue& s : v.toArray()) {
        const QString n = s.toString();
        if (n == QStringLiteral("top"))
            sides |= CellSide::Top;
        else if (n == QStringLiteral("bottom"))
            sides |= CellSide::Bottom;
        else if (n == QStringLiteral("left"))
            sides |= CellSide::Left;
        else if (n == QStringLiteral("right"))
            sides |= CellSide::Right;
        else if (n == QStringLiteral("insideVertical"))
            sides |= CellSide::InsideVertical;
        else if (n == QStringLiteral("insideHorizontal"))
            sides |= CellSide::InsideHorizontal;
        else if (n == QStringLiteral("outline"))
            sides |= CellSide::Outline;
        else if (n == QStringLiteral("all"))
            sides |= CellSide::All;
        else
            ok = false;
    }
    return sides;
}

int paperOf(const QJsonValue& v) {
    if (v.isDouble())
        return v.toInt();
    static const QList<QPair<QString, int>> names = {{QStringLiteral("A3"), 8},
                                                     {QStringLiteral("A4"), 9},
                                                     {QStringLiteral("A5"), 11},
                                                     {QStringLiteral("B4"), 12},
                                                     {QStringLiteral("B5"), 13}};
    for (const auto& [name, size] : names)
        if (v.toString() == name)
            return size;
    return 0;
}

bool build(const QJsonObject& desc, Workbook& book) {
    if (!onlyKeys(desc,
                  {QStringLiteral("comment"), QStringLiteral("sheet"), QStringLiteral("font"),
                   QStringLiteral("columns"), QStringLiteral("rows"), QStringLiteral("cells"),
                   QStringLiteral("page"), QStringLiteral("printArea"),
                   QStringLiteral("printTitleRows")},
                  QStringLiteral("description")))
        return false;
    const QJsonObject font = desc.value(QStringLiteral("font")).toObject();
    const QString sheetName = desc.value(QStringLiteral("sheet")).toString();
    if (sheetName.isEmpty())
        return fail(QStringLiteral("description: \"sheet\" is missing"));
    if (!book.create(sheetName, font.value(QStringLiteral("name")).toString(),
                     font.value(QStringLiteral("size")).toDouble()))
        return fail(book.errorText());
    if (book.sheetName(0) != sheetName)
        return fail(QStringLiteral("description: \"sheet\" is not a valid sheet name"));
    Worksheet* ws = book.sheet(0);

    for (const QJsonValue& v : desc.value(QStringLiteral("columns")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString where =
            QStringLiteral("columns ") + o.value(QStringLiteral("columns")).toString();
        QStringList keys = kStyleKeys;
        keys << QStringLiteral("columns") << QStringLiteral("width") << QStringLiteral("comment");
        if (!onlyKeys(o, keys, where))
            return false;
        int first = 0, last = 0;
        if (!parseColumns(o.value(QStringLiteral("columns")).toString(), first, last))
            return fail(where + QStringLiteral(": not a column or column range"));
        if (o.contains(QStringLiteral("width")) &&
            !ws->setColumnWidth(first, last, o.value(QStringLiteral("width")).toDouble()))
            return fail(where + QStringLiteral(": ") + book.errorText());
        StyleChange ch;
        bool any = false;
        if (!readStyle(o, ch, any, where))
            return false;
        if (any && !ws->setColumnStyle(first, last, ch))
            return fail(where + QStringLiteral(": ") + book.errorText());
    }

    for (const QJsonValue& v : desc.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString where =
            QStringLiteral("rows ") + o.value(QStringLiteral("rows")).toVariant().toString();
        if (!onlyKeys(o,
                      {QStringLiteral("rows"), QStringLiteral("height"), QStringLiteral("comment")},
                      where))
            return false;
        int first = 0, last = 0;
        if (!parseRows(o.value(QStringLiteral("rows")), first, last))
            return fail(where + QStringLiteral(": not a row or row range"));
        for (int r = first; r <= last; ++r)
            if (!ws->setRowHeight(r, o.value(QStringLiteral("height")).toDouble()))
                return fail(where + QStringLiteral(": ") + book.errorText());
    }

    for (const QJsonValue& v : desc.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString where =
            QStringLiteral("cells ") + o.value(QStringLiteral("range")).toString();
        QStringList keys = kStyleKeys;
        keys << QStringLiteral("range") << QStringLiteral("text") << QStringLiteral("number")
             << QStringLiteral("borders") << QStringLiteral("merge") << QStringLiteral("comment");
        if (!onlyKeys(o, keys, where))
            return false;
        CellRange range;
        if (!xlsxParseRange(o.value(QStringLiteral("range")).toString(), range))
            return fail(where + QStringLiteral(": not a cell range"));
        StyleChange ch;
        bool any = false;
        if (!readStyle(o, ch, any, where))
            return false;
        if (any && !ws->applyStyle(range, ch))
            return fail(where + QStringLiteral(": ") + book.errorText());
        if (o.contains(QStringLiteral("borders"))) {
            bool ok = false;
            const int sides = sidesOf(o.value(QStringLiteral("borders")), ok);
            if (!ok)
                return fail(where + QStringLiteral(": unknown border name"));
            if (!ws->setThinBorders(range, sides))
                return fail(where + QStringLiteral(": ") + book.errorText());
        }
        if (o.value(QStringLiteral("merge")).toBool() && !ws->merge(range))
            return fail(where + QStringLiteral(": ") + book.errorText());
        if (o.contains(QStringLiteral("text")) &&
            !ws->setText(range.row1, range.col1, o.value(QStringLiteral("text")).toString()))
            return fail(where + QStringLiteral(": ") + book.errorText());
        if (o.contains(QStringLiteral("number")) &&
            !ws->setNumber(range.row1, range.col1, o.value(QStringLiteral("number")).toDouble()))
            return fail(where + QStringLiteral(": ") + book.errorText());
    }

    if (desc.contains(QStringLiteral("page"))) {
        const QJsonObject o = desc.value(QStringLiteral("page")).toObject();
        if (!onlyKeys(o,
                      {QStringLiteral("paper"), QStringLiteral("orientation"),
                       QStringLiteral("scale"), QStringLiteral("fitToWidth"),
                       QStringLiteral("fitToHeight"), QStringLiteral("margins"),
                       QStringLiteral("center"), QStringLiteral("header"), QStringLiteral("footer"),
                       QStringLiteral("comment")},
                      QStringLiteral("page")))
            return false;
        PageSetup p;
        p.paperSize = paperOf(o.value(QStringLiteral("paper")));
        if (p.paperSize <= 0)
            return fail(QStringLiteral("page: unknown paper"));
        const QString orientation = o.value(QStringLiteral("orientation")).toString();
        if (orientation != QStringLiteral("portrait") && orientation != QStringLiteral("landscape"))
            return fail(QStringLiteral("page: orientation must be portrait or landscape"));
        p.landscape = orientation == QStringLiteral("landscape");
        p.scale = o.value(QStringLiteral("scale")).toInt(100);
        if (o.contains(QStringLiteral("fitToWidth")) || o.contains(QStringLiteral("fitToHeight"))) {
            p.fitToPage = true;
            p.fitToWidth = o.value(QStringLiteral("fitToWidth")).toInt(1);
            p.fitToHeight = o.value(QStringLiteral("fitToHeight")).toInt(1);
        }
        const QJsonObject m = o.value(QStringLiteral("margins")).toObject();
        if (!onlyKeys(m,
                      {QStringLiteral("left"), QStringLiteral("right"), QStringLiteral("top"),
                       QStringLiteral("bottom"), QStringLiteral("header"),
                       QStringLiteral("footer")},
                      QStringLiteral("page margins")))
            return false;
        p.marginLeft = m.value(QStringLiteral("left")).toDouble(p.marginLeft);
        p.marginRight = m.value(QStringLiteral("right")).toDouble(p.marginRight);
        p.marginTop = m.value(QStringLiteral("top")).toDouble(p.marginTop);
        p.marginBottom = m.value(QStringLiteral("bottom")).toDouble(p.marginBottom);
        p.marginHeader = m.value(QStringLiteral("header")).toDouble(p.marginHeader);
        p.marginFooter = m.value(QStringLiteral("footer")).toDouble(p.marginFooter);
        for (const QJsonValue& c : o.value(QStringLiteral("center")).toArray()) {
            if (c.toString() == QStringLiteral("horizontal"))
                p.centerHorizontally = true;
            else if (c.toString() == QStringLiteral("vertical"))
                p.centerVertically = true;
            else
                return fail(QStringLiteral("page: center takes horizontal and vertical"));
        }
        p.header = o.value(QStringLiteral("header")).toString();
        p.footer = o.value(QStringLiteral("footer")).toString();
        if (!ws->setPageSetup(p))
            return fail(QStringLiteral("page: ") + book.errorText());
    }

    if (desc.contains(QStringLiteral("printArea"))) {
        CellRange area;
        if (!xlsxParseRange(desc.value(QStringLiteral("printArea")).toString(), area) ||
            !book.setPrintArea(0, area))
            return fail(QStringLiteral("printArea: not a cell range"));
    }
    if (desc.contains(QStringLiteral("printTitleRows"))) {
        int first = 0, last = 0;
        if (!parseRows(desc.value(QStringLiteral("printTitleRows")), first, last) ||
            !book.setPrintTitleRows(0, first, last))
            return fail(QStringLiteral("printTitleRows: not a row range"));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: tovaki-mktemplate DESCRIPTION.json OUT.xlsx\n");
        return 2;
    }
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read\n", qPrintable(args[1]));
        return 1;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &pe);
    if (!doc.isObject()) {
        std::fprintf(stderr, "%s: %s at %d\n", qPrintable(args[1]), qPrintable(pe.errorString()),
                     pe.offset);
        return 1;
    }
    Workbook book;
    if (!build(doc.object(), book) || !book.save(args[2])) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]),
                     qPrintable(g_error.isEmpty() ? book.errorText() : g_error));
        return 1;
    }
    return 0;
}
