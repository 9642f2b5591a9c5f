// Builds a realistic, large data file for the benchmarks:
//   tovaki-bench-gen OUT [LINES_PER_LEDGER]
// 999 suppliers; each ledger holds LINES_PER_LEDGER lines (default 1 000 000), entered day by
// day over ten years with the suppliers interleaved as a shop would type them. Supplier 1 (the
// big one) holds a tenth of the lines: 100 000 per ledger by default. Lines are purchases or
// sales with item, classes, quantity, prices and ratio, a monthly consumption-tax line per
// supplier, and payments. Everything is inserted in one transaction with prepared statements.
#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSuppliers = 999;
constexpr int kBigSupplier = 1;
constexpr int kDays = 3653; // 2015-01-01 .. 2024-12-31
constexpr long long kScale = 10000;

bool exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "tovaki-bench-gen: %s\n", err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        return false;
    }
    return true;
}

// Days since 2015-01-01 as "YYYY-MM-DD".
std::string dateText(int day) {
    static const int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int y = 2015;
    for (;;) {
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        const int len = leap ? 366 : 365;
        if (day < len)
            break;
        day -= len;
        ++y;
    }
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    int m = 0;
    for (; m < 12; ++m) {
        const int len = monthDays[m] + (m == 1 && leap ? 1 : 0);
        if (day < len)
            break;
        day -= len;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m + 1, day + 1);
    return buf;
}

const std::array<const char*, 12> kItems = {"ボールペン 黒",    "ノート A4",      "封筒 長3",
                                            "コピー用紙 A4",    "クリアファイル", "ホッチキス",
                                            "付箋 75mm",        "油性マーカー",   "電卓",
                                            "ファイルボックス", "はさみ",         "修正テープ"};
const std::array<const char*, 4> kClass1 = {"文具", "紙製品", "事務機器", "雑貨"};
const std::array<const char*, 3> kClass2 = {"定番", "季節", "特注"};
const std::array<const char*, 3> kClass3 = {"店頭", "配達", "通販"};

struct Inserter {
    sqlite3_stmt* st = nullptr;
    std::mt19937_64 rng;
    long long count = 0;

    bool line(int supplier, const std::string& date, int kindOfLine) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        sqlite3_bind_int(st, 1, supplier);
        sqlite3_bind_text(st, 2, date.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, int(rng() % 5) + 1);
        if (kindOfLine == 0) { // goods
            const char* item = kItems[rng() % kItems.size()];
            sqlite3_bind_text(st, 4, item, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 5, kClass1[rng() % kClass1.size()], -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 6, kClass2[rng() % kClass2.size()], -1, SQLITE_STATIC);
            if (rng() % 3 == 0)
                sqlite3_bind_text(st, 7, kClass3[rng() % kClass3.size()], -1, SQLITE_STATIC);
            const long long q = 1 + static_cast<long long>(rng() % 20);
            const long long regular = 100 * (1 + static_cast<long long>(rng() % 50));
            const long long ratio = 50 + static_cast<long long>(rng() % 40);
            const long long unit = regular * ratio / 100;
            sqlite3_bind_int64(st, 8, q * kScale);
            if (rng() % 2)
                sqlite3_bind_int64(st, 9, unit * kScale);
            sqlite3_bind_int64(st, 10, regular * kScale);
            if (rng() % 4)
                sqlite3_bind_int64(st, 11, ratio * kScale);
            sqlite3_bind_int64(st, 12, q * unit * kScale);
        } else if (kindOfLine == 1) { // monthly tax line
            sqlite3_bind_text(st, 4, "消費税", -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 12, (1000 + static_cast<long long>(rng() % 9000)) * kScale);
        } else { // payment
            sqlite3_bind_text(st, 4, "振込", -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 13, (10000 + static_cast<long long>(rng() % 200000)) * kScale);
        }
        sqlite3_bind_int64(st, 14, rng() % 10 == 0 ? kScale : 0);
        if (rng() % 20 == 0)
            sqlite3_bind_text(st, 15, "納品書確認済", -1, SQLITE_STATIC);
        sqlite3_bind_int(st, 16, 0);
        if (sqlite3_step(st) != SQLITE_DONE)
            return false;
        ++count;
        return true;
    }
};

bool fillLedger(sqlite3* db, int kind, long long total) {
    const std::string sql =
        "INSERT INTO T_DATA" + std::to_string(kind) +
        " (lngMasterID,date1,lngSort,strItem,strClass1,strClass2,strClass3,curQuantity,"
        "curUnitPrice,curRegularPrice,curRatio,curCost,curPayment,curCheck,strNote,blnChange)"
        " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    Inserter ins;
    ins.rng.seed(20240305u + unsigned(kind));
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &ins.st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "tovaki-bench-gen: %s\n", sqlite3_errmsg(db));
        return false;
    }
    // Per day: the goods lines spread over the suppliers; on the 20th (the close day) each
    // supplier seen that month gets a tax line and a payment.
    const long long perDay = total / kDays;
    long long extra = total - perDay * kDays;
    // 0: no goods line this month yet, 1: goods seen (tax line due), 2: tax written (payment due)
    std::vector<int> seenThisMonth(kSuppliers + 1, 0);
    bool ok = true;
    for (int day = 0; day < kDays && ok; ++day) {
        const std::string date = dateText(day);
        long long n = perDay + (extra > 0 ? 1 : 0);
        if (extra > 0)
            --extra;
        const bool closeDay = date.compare(8, 2, "20") == 0;
        for (long long i = 0; i < n && ok; ++i) {
            // Every tenth line belongs to the big supplier.
            const int supplier =
                ins.count % 10 == 0 ? kBigSupplier : 2 + int(ins.rng() % (kSuppliers - 1));
            int lineKind = 0;
            if (closeDay && seenThisMonth[supplier] == 1) {
                lineKind = 1;
                seenThisMonth[supplier] = 2;
            } else if (closeDay && seenThisMonth[supplier] == 2) {
                lineKind = 2;
                seenThisMonth[supplier] = 0;
            } else if (seenThisMonth[supplier] == 0) {
                seenThisMonth[supplier] = 1;
            }
            ok = ins.line(supplier, date, lineKind);
        }
    }
    if (!ok)
        std::fprintf(stderr, "tovaki-bench-gen: %s\n", sqlite3_errmsg(db));
    sqlite3_finalize(ins.st);
    return ok;
}

bool fillSuppliers(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "INSERT INTO T_MASTER (lngMasterID,lngSupplier,blnValid,curRegularSupplyRatio,"
        "curRegularSaleRatio,curStartSupplyCarry,curStartSaleCarry,strSupplierName,"
        "strSupplierShortName,strKana,lngChargePerson,lngBankAccount,datLastUpdate)"
        " VALUES (?,?,1,?,?,?,?,?,?,?,1,1,'2024-01-01 09:00:00')";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        return false;
    for (int id = 1; id <= kSuppliers; ++id) {
        sqlite3_reset(st);
        sqlite3_bind_int(st, 1, id);
        sqlite3_bind_int(st, 2, id);
        sqlite3_bind_int64(st, 3, (id % 3 == 0 ? 0 : 60 + id % 30) * kScale);
        sqlite3_bind_int64(st, 4, (id % 3 == 0 ? 0 : 80 + id % 15) * kScale);
        sqlite3_bind_int64(st, 5, (id * 1000LL) * kScale);
        sqlite3_bind_int64(st, 6, (id * 500LL) * kScale);
        const std::string name = "株式会社サンプル商会" + std::to_string(id);
        const std::string shortName = "商会" + std::to_string(id);
        const std::string kana = "ｼｮｳｶｲ" + std::to_string(id);
        sqlite3_bind_text(st, 7, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 8, shortName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 9, kana.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE) {
            sqlite3_finalize(st);
            return false;
        }
    }
    sqlite3_finalize(st);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tovaki-bench-gen OUT [LINES_PER_LEDGER]\n");
        return 2;
    }
    const fs::path out = argv[1];
    const long long lines = argc == 3 ? std::atoll(argv[2]) : 1000000LL;
    if (lines < kDays) {
        std::fprintf(stderr, "tovaki-bench-gen: at least %d lines per ledger\n", kDays);
        return 2;
    }
    std::ifstream in(TOVAKI_SCHEMA_SQL, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tovaki-bench-gen: cannot read %s\n", TOVAKI_SCHEMA_SQL);
        return 1;
    }
    std::stringstream schema;
    schema << in.rdbuf();
    const auto t0 = std::chrono::steady_clock::now();
    if (!out.parent_path().empty())
        fs::create_directories(out.parent_path());
    fs::remove(out);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(out.string().c_str(), &db) == SQLITE_OK &&
              exec(db, schema.str().c_str()) && exec(db, "BEGIN");
    ok = ok && fillSuppliers(db) && fillLedger(db, 1, lines) && fillLedger(db, 2, lines) &&
         exec(db, "COMMIT");
    sqlite3_close(db);
    if (!ok) {
        fs::remove(out);
        return 1;
    }
    std::error_code ec;
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write, ec);
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s: %d suppliers, %lld lines per ledger (supplier %d about a tenth), %.1f s\n",
                out.string().c_str(), kSuppliers, lines, kBigSupplier, secs);
    return 0;
}
