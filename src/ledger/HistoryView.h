#pragma once

#include "store/History.h"

#include <QString>
#include <QStringList>
#include <array>
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
constexpr int Count = 10;
} // namespace HistoryCol

struct HistoryRow {
    std::array<QString, HistoryCol::Count> cells;
    qint64 entryID = 0;
};

// The column titles.
const QStringList& gHistoryHeaders();

// The rows of the changes that meet the filter, in the order they were made. Ledger columns are
// named by the ledger's captions and their values shown as the grid shows them (dates in full).
bool gReadHistoryRows(const HistoryFilter& filter, std::vector<HistoryRow>& rows);

// Writes the headers and rows as CSV (UTF-8 with a byte order mark, CRLF, every field quoted)
// through the checked file writer: the file appears only when complete. Logged under
// "gWriteHistoryCsv".
bool gWriteHistoryCsv(const QString& path, const std::vector<HistoryRow>& rows);
