#include "store/ShownRow.h"

#include "store/Database.h"

bool ShownRow::read(Database& db, const QString& table, const QString& keyColumn,
                    const QVariant& key, const QString& proc) {
    clear();
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") +
                              keyColumn + QStringLiteral(" = ?"),
                          {key}, proc))
        return false;
    if (rs.recordCount() == 0)
        return true;
    rs.moveFirst();
    for (int i = 0; i < rs.fieldCount(); ++i)
        set(rs.fieldName(i), rs.value(i));
    return true;
}

namespace {

qsizetype columnIndex(const QStringList& columns, const QString& column) {
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

void ShownRow::set(const QString& column, const QVariant& value) {
    const qsizetype i = columnIndex(m_columns, column);
    if (i >= 0) {
        m_values[i] = value;
        return;
    }
    m_columns << column;
    m_values << value;
}

void ShownRow::clear() {
    m_columns.clear();
    m_values.clear();
}

QVariant ShownRow::value(const QString& column) const {
    const qsizetype i = columnIndex(m_columns, column);
    return i >= 0 ? m_values.at(i) : QVariant();
}

void ShownRow::appendCondition(QString& sql, QVariantList& params) const {
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        params << m_values.at(i);
        const QString& c = m_columns.at(i);
        const QString n = QStringLiteral("?") + QString::number(params.size());
        sql += QStringLiteral(" AND (") + c + QStringLiteral(" = ") + n + QStringLiteral(" OR (") +
               c + QStringLiteral(" IS NULL AND ") + n + QStringLiteral(" IS NULL))");
    }
}

QString gRowChangedElsewhereText() {
    return QStringLiteral("この行はほかのパソコンで変更されたため、保存しませんでした。\r\n"
                          "最新の内容を表示しました。必要ならもう一度入力してください。");
}
