#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Packages for the workbook tests, written part by part as Excel writes them (shared strings,
// a calculation chain, printer settings, sheet titles in app.xml, a code name, a selected tab),
// so that the module is tested on input it did not produce itself.
namespace fixture {

using Parts = QList<QPair<QString, QByteArray>>;

// Zips parts in order (deflated).
QByteArray zip(const Parts& parts);

// A template with the sheets "雛型" (print area A1:G40, print titles columns A:B and rows 1:3,
// printer settings, a merge B5:C5, a shared string in A1, a formula in C2, cells without
// references in row 3, a diagonal border in D6, columns A:E at width 10 with style 1) and
// "Data" (its own print area; a workbook-wide name "Total" points into it).
Parts excelTemplateParts();
QByteArray excelTemplate();

} // namespace fixture
