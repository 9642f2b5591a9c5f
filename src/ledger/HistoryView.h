#pragma once

#include "store/History.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// The change history as the history window shows it and exports it: one row per changed column,
// every cell already in words.
namespace HistoryCol {
constexpr int When = 0;     // 日時
constexpr int Book = 1;     // 帳簿 (仕入帳, 売上帳, 仕入先)
constexpr int Supplier = 2; // 仕入先
constexpr int Date = 3;     // the line's date
constexpr int Item = 4;     // the line's item
constexpr int Column = 5;   // 項目
constexpr int Before = 6;   // 変更前
constexpr int After = 7;    // 変更後
constexpr int Action = 8;   // 操作 (追加, 変更, 削除)
constexpr int Origin = 9;   // 方法 (入力, 計算, ...)
constexpr int User = 10;    // 利用者 (the login name)
constexpr int Host = 11;    // パソコン (the host name)
constexpr int Count = 12;
} // namespace HistoryCol

// What the rows need beyond the changes themselves: the ledger words and captions and the
// suppliers' names, read once.
class HistoryWords {
public:
    bool load(Database& db);
    // One cell of a change in words: ledger columns named by the ledger's captions and shown as
    // the grid shows them (dates in full), master columns by their names.
    QString cell(const HistoryChange& change, int column) const;
    // Whether the change is one the user can see: its value before and after read differently
    // (a check mark reset from nothing to 0 shows the same empty cell, an added supplier's empty
    // box is no value).
    bool shows(const HistoryChange& change) const;

private:
    struct Ledger {
        QString book;                // "仕入帳"
        QHash<QString, int> columns; // field name -> grid column
        QHash<int, QString> titles;  // grid column -> caption
    };
    Ledger m_ledgers[2];
    QHash<qint64, QString> m_names;
    QHash<QString, QString> m_masterTitles; // master column -> caption of the supplier window
};

// The column titles.
const QStringList& gHistoryHeaders();

// Writes the headers and a row per change as CSV (UTF-8 with a byte order mark, CRLF, every field
// quoted) through the checked file writer: the file appears only when complete. Logged under
// "gWriteHistoryCsv".
bool gWriteHistoryCsv(const QString& path, const std::vector<HistoryChange>& changes,
                      const HistoryWords& words);
