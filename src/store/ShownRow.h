#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

class Database;

// The values of one row as a window read and showed them. A write that carries them in its
// condition (appendCondition) changes nothing when another program changed or removed the row
// since: the caller sees no row written (Database::changes() is 0), tells the user and reads the
// row again. The data file, with its one writer, takes the same path; there the condition always
// holds.
class ShownRow {
public:
    // Reads every column of the row of table whose keyColumn holds key, as stored. False
    // (reported under proc) when the read failed; found() tells whether the row exists.
    bool read(Database& db, const QString& table, const QString& keyColumn, const QVariant& key,
              const QString& proc);
    // Sets the shown value of one column (for rows whose values a model already holds).
    void set(const QString& column, const QVariant& value);
    void clear();
    bool found() const { return !m_columns.isEmpty(); }
    QVariant value(const QString& column) const;

    // Appends to sql " AND (c = ?N OR (c IS NULL AND ?N IS NULL))" for every column, numbering
    // the placeholders after the values already in params and appending the values to them. The
    // statement numbers its own placeholders (?1, ?2 ...).
    void appendCondition(QString& sql, QVariantList& params) const;

private:
    QStringList m_columns;
    QVariantList m_values;
};

// What the user is told when a row was not written because another program changed it since it
// was shown (the row is shown again as stored).
QString gRowChangedElsewhereText();
