#include "TemplateFixture.h"

#include <zip.h>

#include <vector>

namespace fixture {

QByteArray zip(const Parts& parts) {
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &ze);
    zip_t* za = zip_open_from_source(out, ZIP_TRUNCATE, &ze);
    zip_source_keep(out);
    for (const auto& [name, data] : parts) {
        zip_source_t* s = zip_source_buffer(za, data.constData(), data.size(), 0);
        const zip_int64_t i = zip_file_add(za, name.toUtf8().constData(), s, 0);
        zip_set_file_compression(za, i, ZIP_CM_DEFLATE, 6);
    }
    zip_close(za);
    zip_source_open(out);
    zip_source_seek(out, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(out);
    zip_source_seek(out, 0, SEEK_SET);
    QByteArray bytes(size, '\0');
    zip_source_read(out, bytes.data(), size);
    zip_source_close(out);
    zip_source_free(out);
    zip_error_fini(&ze);
    return bytes;
}

Parts excelTemplateParts() {
    Parts p;
    // Each XML part starts with Excel's declaration line.
    const auto add = [&p](const char* name, const QByteArray& xml) {
        p.append(
            {QString::fromUtf8(name), R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                                      "\r\n" +
                                          xml});
    };
    add("[Content_Types].xml",
        QByteArray(
            R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="bin" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings"/>)"
            R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
            R"(<Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
            R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
            R"(<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
            R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
            R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)"
            R"(<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/>)"
            R"(<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>)"
            R"(</Types>)"));
    add("_rels/.rels",
        QByteArray(
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
            R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
            R"(</Relationships>)"));
    add("docProps/app.xml",
        QByteArray(
            R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties" xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">)"
            R"(<Application>Microsoft Excel</Application>)"
            R"(<HeadingPairs><vt:vector size="2" baseType="variant"><vt:variant><vt:lpstr>ワークシート</vt:lpstr></vt:variant><vt:variant><vt:i4>2</vt:i4></vt:variant></vt:vector></HeadingPairs>)"
            R"(<TitlesOfParts><vt:vector size="2" baseType="lpstr"><vt:lpstr>雛型</vt:lpstr><vt:lpstr>Data</vt:lpstr></vt:vector></TitlesOfParts>)"
            R"(</Properties>)"));
    add("xl/workbook.xml",
        QByteArray(
            R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
            R"(<workbookPr codeName="ThisWorkbook"/>)"
            R"(<bookViews><workbookView xWindow="120" yWindow="60" windowWidth="15000" windowHeight="9000" activeTab="0"/></bookViews>)"
            R"(<sheets><sheet name="雛型" sheetId="3" r:id="rId1"/><sheet name="Data" sheetId="1" r:id="rId2"/></sheets>)"
            R"(<definedNames>)"
            R"(<definedName name="_xlnm.Print_Area" localSheetId="0">雛型!$A$1:$G$40</definedName>)"
            R"(<definedName name="_xlnm.Print_Titles" localSheetId="0">'雛型'!$A:$B,'雛型'!$1:$3</definedName>)"
            R"(<definedName name="_xlnm.Print_Area" localSheetId="1">Data!$A$1:$C$3</definedName>)"
            R"(<definedName name="Total">Data!$C$3</definedName>)"
            R"(</definedNames><calcPr calcId="125725"/></workbook>)"));
    add("xl/_rels/workbook.xml.rels",
        QByteArray(
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
            R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/>)"
            R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
            R"(<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
            R"(<Relationship Id="rId5" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain" Target="calcChain.xml"/>)"
            R"(</Relationships>)"));
    add("xl/worksheets/sheet1.xml",
        QByteArray(
            R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
            R"(<sheetPr codeName="Sheet1"><pageSetUpPr fitToPage="1"/></sheetPr><dimension ref="A1:D6"/>)"
            R"(<sheetViews><sheetView tabSelected="1" workbookViewId="0"/></sheetViews>)"
            R"(<sheetFormatPr defaultRowHeight="13.5"/>)"
            R"(<cols><col min="1" max="5" width="10" style="1" customWidth="1"/></cols>)"
            R"(<sheetData>)"
            R"(<row r="1" spans="1:3"><c r="A1" s="2" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)"
            R"(<row r="2" spans="1:3"><c r="C2" s="1"><f>1+1</f><v>2</v></c></row>)"
            R"(<row r="3"><c t="inlineStr"><is><t>a</t></is></c><c><v>7</v></c></row>)"
            R"(<row r="5"><c r="B5" s="2" t="inlineStr"><is><t>merged</t></is></c><c r="C5" s="2"/></row>)"
            R"(<row r="6"><c r="D6" s="3"/></row>)"
            R"(</sheetData><mergeCells count="1"><mergeCell ref="B5:C5"/></mergeCells>)"
            R"(<pageMargins left="0.5" right="0.5" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"
            R"(<pageSetup paperSize="9" orientation="landscape" fitToHeight="0" r:id="rId1"/>)"
            R"(<headerFooter><oddFooter>&amp;P / &amp;N</oddFooter></headerFooter>)"
            R"(</worksheet>)"));
    add("xl/worksheets/_rels/sheet1.xml.rels",
        QByteArray(
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/printerSettings" Target="../printerSettings/printerSettings1.bin"/>)"
            R"(</Relationships>)"));
    p.append({QStringLiteral("xl/printerSettings/printerSettings1.bin"),
              QByteArray("DEVMODE\0\1\2", 10)});
    add("xl/worksheets/sheet2.xml",
        QByteArray(
            R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
            R"(<dimension ref="A1:C3"/><sheetViews><sheetView workbookViewId="0"/></sheetViews>)"
            R"(<sheetFormatPr defaultRowHeight="13.5"/><sheetData>)"
            R"(<row r="3"><c r="C3"><v>42</v></c></row>)"
            R"(</sheetData><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"
            R"(</worksheet>)"));
    add("xl/styles.xml",
        QByteArray(
            R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
            R"(<numFmts count="1"><numFmt numFmtId="176" formatCode="#,##0_ "/></numFmts>)"
            R"(<fonts count="2"><font><sz val="11"/><name val="ＭＳ Ｐゴシック"/><family val="3"/><charset val="128"/></font>)"
            R"(<font><b/><sz val="12"/><name val="ＭＳ Ｐゴシック"/><family val="3"/><charset val="128"/></font></fonts>)"
            R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
            R"(<borders count="2"><border><left/><right/><top/><bottom/><diagonal/></border>)"
            R"(<border diagonalUp="1"><left/><right/><top/><bottom/><diagonal style="thin"><color indexed="64"/></diagonal></border></borders>)"
            R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
            R"(<cellXfs count="4"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
            R"(<xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
            R"(<xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"><alignment horizontal="center"/></xf>)"
            R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="1" xfId="0" applyBorder="1"/></cellXfs>)"
            R"(<cellStyles count="1"><cellStyle name="標準" xfId="0" builtinId="0"/></cellStyles>)"
            R"(</styleSheet>)"));
    add("xl/sharedStrings.xml",
        QByteArray(
            R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2" uniqueCount="2">)"
            R"(<si><t>仕入先名簿</t><rPh sb="0" eb="3"><t>シイレサキ</t></rPh></si>)"
            R"(<si><r><t>Rich</t></r><r><rPr><b/></rPr><t xml:space="preserve"> text</t></r></si>)"
            R"(</sst>)"));
    add("xl/calcChain.xml",
        QByteArray(
            R"(<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><c r="C2" i="3"/></calcChain>)"));
    return p;
}

QByteArray excelTemplate() {
    return zip(excelTemplateParts());
}
} // namespace fixture
