#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Reads a saved workbook package on its own (libzip and pugixml directly, not through the
// workbook module) so that tests check what a spreadsheet program will see.
class XlsxPackage {
public:
    bool load(const QString& path);
    bool loadData(const QByteArray& data);
    QString error() const { return m_error; }
    QStringList partNames() const { return m_parts.keys(); }
    bool has(const QString& name) const { return m_parts.contains(name); }
    QByteArray part(const QString& name) const { return m_parts.value(name); }

    // The problems that make Excel repair or refuse a file: stored entries, dangling
    // relationships, parts without a content type, bad or duplicate sheet names, stale
    // defined names, tab selection, rows and cells out of order, worksheet elements out of schema
    // order, cell styles beyond their list, malformed inline strings. Empty when sound.
    QStringList problems() const;

    // Sheet names in workbook order, and the worksheet part of each.
    QStringList sheetNames() const;
    QString sheetPart(const QString& sheetName) const;
    // Defined names as "name|localSheetId|formula" (localSheetId empty for global names).
    QStringList definedNames() const;
    int activeTab() const;
    QString workbookPart() const;

private:
    QMap<QString, QByteArray> m_parts;
    QString m_error;
    bool m_allDeflated = true;
};
