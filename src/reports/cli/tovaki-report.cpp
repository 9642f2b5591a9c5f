// tovaki-report: the monthly reports without the windows. Writes one report (supplier list,
// balance list, profit table, ledger print or tax summary) of a data folder into a folder, prints
// the path of the file it wrote and exits 0. The report builders are the ones the report window
// runs (src/reports/ReportRegistry.h names each report with its options); the messages the window
// would show are printed on the standard error instead. `--help` explains the options.
#include "reports/cli/Console.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LineRules.h"
#include "master/SupplierRecords.h"
#include "reports/CsvExchange.h"
#include "reports/PdfConvert.h"
#include "reports/ReportRegistry.h"
#include "store/DataFile.h"
#include "store/DataLocation.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <optional>

namespace {

// Exit codes.
constexpr int kExitWritten = 0;
constexpr int kExitRefused = 1; // the window's message: wrong input or nothing to report
constexpr int kExitUsage = 2;   // the command line itself is wrong
constexpr int kExitFailed = 3;  // the report failed or the data folder could not be opened

void printErr(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", t.toUtf8().constData());
}

// Messages go to the standard error. Nobody is there to answer a question, so the question
// whether to open the workbook is answered No, and any other question Cancel or No.
class ConsolePrompt : public PromptService {
public:
    int show(const QString& text, const QString&, int style) override {
        const int buttons = style & 7;
        // The question after a saved file: the command line opens neither file nor folder.
        if (style & MsgStyle::FileButtons)
            return MsgResult::Cancel;
        if (buttons == MsgStyle::YesNo || buttons == MsgStyle::YesNoCancel)
            return MsgResult::No;
        if (buttons == MsgStyle::OKCancel || buttons == MsgStyle::RetryCancel)
            return MsgResult::Cancel;
        printErr(text);
        return MsgResult::OK;
    }
};

const char* const kHelp = R"(使い方 / Usage:
  tovaki-report REPORT [OPTIONS]
  tovaki-report export suppliers|ledger [OPTIONS]
  tovaki-report import suppliers|ledger FILE [OPTIONS]

帳票を作成し、作成したファイルのパスを表示します。帳票の内容と既定値は
「各種帳票の作成」画面と同じです。
Writes one report, prints the path of the file written. The reports and their defaults
are those of the report window.

REPORT:
  suppliers   仕入先名簿（住所録） / supplier address list
  balances    仕入先名簿（支払残確認用） / supplier balance list
  profit      利益管理表 / profit management table
  ledger      仕入帳 / purchase ledger print
  tax         消費税集計表 / consumption tax summary
  journal     仕訳（会計ソフト用） / journal entries for accounting software

共通 / Common:
  -d, --data DIR        プログラムのフォルダ（sys/msg, sys/excel_format を含む。
                        sys/db1 があればそれをデータファイルとする）。
                        既定はこのプログラムのフォルダ。
                        Program folder holding sys/msg and sys/excel_format (and
                        sys/db1, used as the data file when present); default: the
                        folder of this program.
  --db FILE             データファイル。既定は環境変数 TOVAKI_DB、次に
                        sys/db1、次に利用者のデータフォルダの db1。
                        Data file; default: TOVAKI_DB, then sys/db1, then db1 in
                        the user's data folder.
  --server CONNINFO     サーバーモード：PostgreSQL の帳簿に接続する（"host=… dbname=…
                        user=…"）。既定は環境変数 TOVAKI_SERVER。パスワードは ~/.pgpass。
                        Server mode: the books on a PostgreSQL server (a libpq
                        connection string); default: TOVAKI_SERVER.
  -o, --out DIR         作成したファイルを置くフォルダ。既定は現在のフォルダ。
                        Folder the workbook is written to; default: the current folder.
  --suppliers LIST      対象の仕入先番号（例 1,3,5-9）。既定は有効な全仕入先。
                        Supplier numbers to include (e.g. 1,3,5-9); default: every valid
                        supplier.
  --pdf                 エクセルファイルの横に PDF も作成する（LibreOffice が必要）。
                        Also writes a PDF beside the workbook (needs LibreOffice).
  -h, --help            この説明を表示する。 / Shows this text.

CSV 出力・取込み / CSV export and import:
  export suppliers      仕入先を CSV に書き出す。 / Writes the suppliers as CSV.
  export ledger         仕入帳（--kind sales で売上帳）の行を CSV に書き出す。
                        --from, --to, --suppliers で絞り込める。
                        Writes the ledger lines; --from, --to, --suppliers narrow them.
  import suppliers FILE, import ledger FILE
                        CSV の行を画面と同じ規則で確認し、すべて正しいときだけ
                        まとめて取り込む（取り込む前にデータファイルの控え
                        "<データファイル>.before-import" を作る。サーバーでは作らない）。
                        Checks every row with the windows' rules and stores them all
                        only when none is refused (after a copy of the data file,
                        "<data file>.before-import"; none on a server).
  --kind purchase|sales 仕入帳（既定）または売上帳。 / Purchase (default) or sales ledger.
  --encoding cp932|utf-8
                        文字コード。書き出しの既定は cp932（Shift_JIS）で、UTF-8 は
                        BOM 付きで書き出す。取込みでは指定がなければファイルから判定
                        する（BOM があれば UTF-8、すべて UTF-8 として正しければ UTF-8、
                        そうでなければ cp932）。BOM のあるファイルは常に UTF-8。
                        Character code; export: cp932 (Shift_JIS) by default, UTF-8 is
                        written with a BOM. Import: found from the file unless given (a
                        BOM or valid UTF-8: UTF-8, else cp932); a BOM always means UTF-8.
  --check               取り込まずに確認だけする。 / Only checks, stores nothing.
  --update              import suppliers: 番号が登録済みの仕入先はその仕入先を更新する
                        （変わる欄を前→後で表示し、変更のない行は飛ばす。すべて一つの
                        トランザクションで、履歴には「取り込み」と記録）。
                        Rows of an existing supplier number update that supplier (each
                        changed column shown before → after; unchanged rows skipped; one
                        transaction, recorded in the history as imported).
  --keep-duplicates     登録済みの行やファイルの中で繰り返された行と同じ仕入帳・
                        売上帳の行も取り込む（既定は一覧にして取り込まない）。
                        Also imports ledger rows the same as a stored line or an
                        earlier row of the file (by default they are listed and skipped).

期間 / Range (profit, ledger, tax, journal):
  --from DATE           開始日 yyyy/mm/dd（yyyy-mm-dd も可）。既定は画面と同じ
                        （仕入帳・消費税集計表は今期の開始日、利益管理表はその3か月前）。
                        Start date; default as in the window (ledger and tax summary: the
                        current term's start, profit table: three months before it).
  --to DATE             終了日。既定は今期の締め日。 / End date; default: the current
                        term's end.

残高 / Balances:
  --date DATE           残高の基準日。既定は今期の締め日。
                        Date of the balances; default: the current term's end.
  --kind purchase|sales 仕入側（既定）または売上側の残高。
                        Purchase side (default) or sales side balances.

消費税集計表 / Tax summary:
  --kind purchase|sales 仕入帳（既定、控除対象仕入税額）または売上帳（売上税額）。
                        Purchase ledger (default, deductible input tax) or sales ledger
                        (output tax).
  --csv                 エクセルファイルの代わりに CSV（UTF-8、BOM 付き）を書く。
                        Writes CSV (UTF-8 with BOM) instead of the workbook.

仕訳 / Journal:
  --format yayoi|generic
                        弥生インポート形式（既定、Shift_JIS）または汎用 CSV（UTF-8、
                        BOM 付き）。
                        The Yayoi import format (default, Shift_JIS) or a generic CSV
                        (UTF-8 with BOM).

仕入帳 / Ledger (既定は「各設定」「調整」で保存された値 / defaults: the stored settings):
  --form plain|ri103|ri101
                        白紙（StockBook）、コクヨ リ-103、コクヨ リ-101。
                        Plain pages, Kokuyo form リ-103 or リ-101.
  --lines 29|30|31      １ページに書き込む行数。 / Lines per page.
  --interval 1-4        差引残高を書く間隔（N 行おき）。 / Balance every N lines.
  --note-in-balance on|off
                        差引残高欄に備考を入力する。 / Notes in the balance column.
  --omit-month on|off   「月」の記入を部分省略する。 / Leave out a repeated month.
  --omit-day on|off     「日」の記入を部分省略する。 / Leave out a repeated day.
  --close-day-blank 0-4 締日データの後ろに空ける行数（0 は空けない）。
                        Blank rows after a close day's last line (0: none).
  --offset-vertical -10..10
                        印刷位置（縦）。＋で下へ。 / Vertical print position, + moves down.
  --offset-horizontal -10..10
                        印刷位置（横）。＋で右へ。 / Horizontal print position, + moves right.
  --start-row NUMBER=ROW
                        仕入先 NUMBER の最初のページの書込み行（1～29）。繰り返し可。
                        First row on the first page of supplier NUMBER (1 to 29);
                        may be repeated.

利益管理表 / Profit (既定は画面に保存された値 / defaults: the window's stored choices):
  --class1 0-3, --item1 TEXT, --class2 0-3, --item2 TEXT
                        抽出分類（分類番号、0 はなし）とその値。
                        Line filter: class number (0 none) and value.
  --join and|or         ２つの抽出分類を「かつ」「または」で結ぶ。 / How the two combine.
  --purchase-group 0-3, --sale-group 0-3
                        仕入分類・売上分類の内訳（0 はなし）。 / Class breakdowns.
  --sum-only on|off     累計のみ。 / Cumulative columns only.
  --ranking on|off      ランキングシート。 / Ranking sheet.
  --sort margin|rate    並べ替え（粗利・利益率）。 / Ranking order.

終了コード / Exit codes:
  0  作成した / written
  1  入力の誤り、対象データなし、または合計が扱える範囲を超えた（画面と同じメッセージ）、
     取り込めない行がある（標準出力に行番号と理由を表示）
     wrong input, nothing to report, or a total beyond the range of amounts (the window's
     message); rows refused by an import (listed with line numbers on the standard output)
  2  コマンドラインの誤り / command line error
  3  作成に失敗した（エラーログに記録） / the report failed (see the error log)
)";

// The command line, checked before any file is opened. Options left out take the stored
// settings (or the window's defaults) when the report runs.
struct ReportOptions {
    const ReportEntry* report = nullptr;
    QString data;     // --data: the program folder, "" for this program's own
    QString dataFile; // --db
    bool pdf = false;
    ReportArgs args; // the output folder, the suppliers and the report's own options
};

const QStringList kExchangeOptions = {QStringLiteral("encoding"), QStringLiteral("check"),
                                      QStringLiteral("keep-duplicates"), QStringLiteral("update")};
const QStringList kRangeOptions = {QStringLiteral("from"), QStringLiteral("to")};

// "a, b, c" and "a, b or c": the report names as the messages list them.
QString reportNames(const QString& lastJoin) {
    QStringList names;
    for (const ReportEntry& e : gReports())
        names << e.name;
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + lastJoin + last;
}

// "on"/"off" (also yes/no, 1/0).
std::optional<bool> onOff(const QString& v) {
    const QString t = v.trimmed().toLower();
    if (t == QStringLiteral("on") || t == QStringLiteral("yes") || t == QStringLiteral("1"))
        return true;
    if (t == QStringLiteral("off") || t == QStringLiteral("no") || t == QStringLiteral("0"))
        return false;
    return std::nullopt;
}

std::optional<int> intIn(const QString& v, int low, int high) {
    bool ok = false;
    const int n = v.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

// "1,3,5-9" → the numbers.
std::optional<QSet<qint32>> supplierSet(const QString& v) {
    QSet<qint32> set;
    for (const QString& part : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList range = part.trimmed().split(QLatin1Char('-'));
        bool ok1 = false, ok2 = true;
        const int first = range.value(0).toInt(&ok1);
        const int last = range.size() == 2 ? range[1].toInt(&ok2) : first;
        if (range.size() > 2 || !ok1 || !ok2 || first < 1 || last < first ||
            last > kMaxSupplierNumber)
            return std::nullopt;
        for (int n = first; n <= last; ++n)
            set.insert(n);
    }
    if (set.isEmpty())
        return std::nullopt;
    return set;
}

class OptionReader {
public:
    OptionReader(const QCommandLineParser& p, QString& error) : m_p(p), m_error(error) {}

    std::optional<QString> text(const QString& name) const {
        if (!m_p.isSet(name))
            return std::nullopt;
        return m_p.value(name);
    }
    bool number(const QString& name, int low, int high, std::optional<int>& target) {
        const auto v = text(name);
        if (!v)
            return true;
        target = intIn(*v, low, high);
        return target || fail(QStringLiteral("--%1 は %2 から %3 の整数です"
                                             " / --%1 takes a whole number from %2 to %3")
                                  .arg(name)
                                  .arg(low)
                                  .arg(high));
    }
    bool flag(const QString& name, std::optional<bool>& target) {
        const auto v = text(name);
        if (!v)
            return true;
        target = onOff(*v);
        return target ||
               fail(QStringLiteral("--%1 は on か off です / --%1 takes on or off").arg(name));
    }
    // One of the words; target becomes its position.
    bool choice(const QString& name, const QStringList& words, std::optional<int>& target) {
        const auto v = text(name);
        if (!v)
            return true;
        const qsizetype i = words.indexOf(v->trimmed());
        if (i >= 0)
            target = static_cast<int>(i);
        return i >= 0 || fail(QStringLiteral("--%1 は %2 のいずれかです / --%1 takes %2")
                                  .arg(name, words.join(QStringLiteral(", "))));
    }
    // Options that belong to other reports are refused rather than ignored.
    bool refuse(const QStringList& names, const QString& report) {
        for (const QString& n : names)
            if (m_p.isSet(n))
                return fail(QStringLiteral("--%1 は %2 では使えません / --%1 does not apply to %2")
                                .arg(n, report));
        return true;
    }
    bool fail(const QString& text) {
        m_error = text;
        return false;
    }

private:
    const QCommandLineParser& m_p;
    QString& m_error;
};

// One option of the report, checked against its kind, into args.
bool readOption(const QCommandLineParser& p, OptionReader& r, const ReportOption& option,
                ReportArgs& args) {
    const QString& name = option.name;
    std::optional<int> number;
    std::optional<bool> flag;
    switch (option.kind) {
    case ReportOptionKind::Switch:
        if (p.isSet(name))
            args.values.insert(name, true);
        return true;
    case ReportOptionKind::Flag:
        if (!r.flag(name, flag))
            return false;
        if (flag)
            args.values.insert(name, *flag);
        return true;
    case ReportOptionKind::Number:
    case ReportOptionKind::Choice:
        if (option.kind == ReportOptionKind::Number
                ? !r.number(name, option.low, option.high, number)
                : !r.choice(name, option.words, number))
            return false;
        if (number)
            args.values.insert(name, *number);
        return true;
    case ReportOptionKind::Text:
        if (const auto v = r.text(name))
            args.values.insert(name, *v);
        return true;
    case ReportOptionKind::Pairs: {
        const QStringList entries = p.values(name);
        for (const QString& entry : entries) {
            const qsizetype eq = entry.indexOf(QLatin1Char('='));
            bool ok = false;
            entry.left(eq).trimmed().toInt(&ok);
            if (eq < 0 || !ok)
                return r.fail(QStringLiteral("--%1 は 番号=行 です（例 3=10）"
                                             " / --%1 takes NUMBER=ROW, e.g. 3=10")
                                  .arg(name));
        }
        if (!entries.isEmpty())
            args.values.insert(name, entries);
        return true;
    }
    }
    return true;
}

bool readOptions(const QCommandLineParser& p, ReportOptions& o, QString& error) {
    OptionReader r(p, error);
    const QStringList args = p.positionalArguments();
    if (args.size() != 1)
        return r.fail(
            QStringLiteral("帳票の種類を一つ指定してください（%1） / name one report: %2")
                .arg(reportNames(QStringLiteral(", ")), reportNames(QStringLiteral(" or "))));
    const QString report = args[0];
    o.pdf = p.isSet(QStringLiteral("pdf"));
    o.args.callbacks.makePdf = o.pdf; // no window: only whether a PDF is wanted too
    if (!r.refuse(kExchangeOptions, report))
        return false;
    o.report = gFindReport(report);
    if (!o.report)
        return r.fail(QStringLiteral("帳票の種類が正しくありません: %1 / unknown report: %1 (%2)")
                          .arg(report, reportNames(QStringLiteral(", "))));
    o.args.outputFolder =
        QDir(r.text(QStringLiteral("out")).value_or(QDir::currentPath())).absolutePath();
    if (!QFileInfo(o.args.outputFolder).isDir())
        return r.fail(QStringLiteral("出力先のフォルダがありません / the output folder does not "
                                     "exist: ") +
                      o.args.outputFolder);
    o.data = r.text(QStringLiteral("data")).value_or(QString());
    o.dataFile = r.text(QStringLiteral("db")).value_or(QString());
    if (const auto list = r.text(QStringLiteral("suppliers"))) {
        o.args.only = supplierSet(*list);
        if (!o.args.only)
            return r.fail(QStringLiteral("--suppliers の値が正しくありません（例 1,3,5-9）"
                                         " / --suppliers takes numbers such as 1,3,5-9"));
    }
    // A switch of another report names the reports it applies to.
    for (const ReportOption& option : gReportOptions()) {
        if (option.kind != ReportOptionKind::Switch || !p.isSet(option.name) ||
            o.report->takes(option.name))
            continue;
        QStringList takers;
        for (const ReportEntry& e : gReports())
            if (e.takes(option.name))
                takers << e.name;
        return r.fail(QStringLiteral("--%1 は %2 だけで使えます / --%1 applies to %2 only")
                          .arg(option.name, takers.join(QStringLiteral(", "))));
    }
    QStringList others;
    for (const ReportOption& option : gReportOptions())
        if (!o.report->takes(option.name))
            others << option.name;
    if (!r.refuse(others, report))
        return false;
    for (const QString& name : o.report->options)
        if (!readOption(p, r, *gFindReportOption(name), o.args))
            return false;
    return true;
}

// The workbook's path, then the PDF's when one was made (a failed conversion was told on the
// standard error; the workbook counts as written).
void printWritten(const ReportOptions& o, const QString& workbook) {
    std::printf("%s\n", workbook.toUtf8().constData());
    const QString pdf = gPdfPathFor(workbook);
    if (o.pdf && QFileInfo::exists(pdf))
        std::printf("%s\n", pdf.toUtf8().constData());
}

// Runs the report's entry on the open data file.
int runReport(const ReportOptions& o) {
    const ReportResult result = o.report->run(o.args, gdbData());
    switch (result.outcome) {
    case ReportOutcome::Written:
        printWritten(o, result.path);
        return kExitWritten;
    case ReportOutcome::Refused:
        if (!result.message.isEmpty())
            printErr(result.message);
        return kExitRefused;
    case ReportOutcome::Failed:
        break;
    }
    return kExitFailed;
}

// ---- CSV export and import ------------------------------------------------------------------

struct ExchangeOptions {
    bool import = false;
    CsvTable table = CsvTable::Suppliers;
    QString file;                          // import: the CSV file
    std::optional<CsvEncoding> encoding{}; // export: code page 932 when absent; import: detected
    bool checkOnly = false;
    bool keepDuplicates = false;
    bool update = false;
    QString out;
    std::optional<QDate> from, to;
    std::optional<QSet<qint32>> only;
    QString data, dataFile;
};

bool readExchangeOptions(const QCommandLineParser& p, ExchangeOptions& o, QString& error) {
    OptionReader r(p, error);
    const QStringList args = p.positionalArguments();
    o.import = args[0] == QStringLiteral("import");
    const QString verb = args[0];
    if (args.size() != (o.import ? 3 : 2))
        return r.fail(o.import ? QStringLiteral("import suppliers FILE または import ledger FILE "
                                                "の形で指定してください / use import suppliers|"
                                                "ledger FILE")
                               : QStringLiteral("export suppliers または export ledger の形で"
                                                "指定してください / use export suppliers|ledger"));
    std::optional<int> kind;
    if (!r.choice(QStringLiteral("kind"), {QStringLiteral("purchase"), QStringLiteral("sales")},
                  kind))
        return false;
    if (!gCsvTableFromWords(args[1], kind.value_or(0) + 1, o.table))
        return r.fail(QStringLiteral("データの種類は suppliers か ledger です / %1 takes "
                                     "suppliers or ledger")
                          .arg(verb));
    const bool ledger = o.table != CsvTable::Suppliers;
    if (!r.refuse(gReportOwnOptions(QStringLiteral("ledger")) +
                      gReportOwnOptions(QStringLiteral("profit")) +
                      QStringList{QStringLiteral("date"), QStringLiteral("pdf")},
                  verb) ||
        (!ledger &&
         !r.refuse({QStringLiteral("kind"), QStringLiteral("from"), QStringLiteral("to")},
                   verb + QStringLiteral(" suppliers"))))
        return false;
    if (o.import &&
        !r.refuse({QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("suppliers")},
                  verb))
        return false;
    if (!o.import && !r.refuse({QStringLiteral("check"), QStringLiteral("keep-duplicates")}, verb))
        return false;
    if (const auto e = r.text(QStringLiteral("encoding"))) {
        const QString t = e->trimmed().toLower();
        if (t == QStringLiteral("cp932") || t == QStringLiteral("shift_jis") ||
            t == QStringLiteral("sjis"))
            o.encoding = CsvEncoding::Cp932;
        else if (t == QStringLiteral("utf-8") || t == QStringLiteral("utf8"))
            o.encoding = CsvEncoding::Utf8;
        else
            return r.fail(QStringLiteral("--encoding は cp932 か utf-8 です / --encoding takes "
                                         "cp932 or utf-8"));
    }
    o.checkOnly = p.isSet(QStringLiteral("check"));
    o.keepDuplicates = p.isSet(QStringLiteral("keep-duplicates"));
    o.update = p.isSet(QStringLiteral("update"));
    if (o.update && o.table != CsvTable::Suppliers)
        return r.fail(QStringLiteral("--update は import suppliers だけに使えます / --update is "
                                     "for import suppliers only"));
    if (o.import) {
        o.file = QFileInfo(args[2]).absoluteFilePath();
        if (!QFileInfo(o.file).isFile())
            return r.fail(QStringLiteral("ファイルがありません / no such file: ") + args[2]);
    } else {
        o.out = QDir(r.text(QStringLiteral("out")).value_or(QDir::currentPath())).absolutePath();
        if (!QFileInfo(o.out).isDir())
            return r.fail(QStringLiteral("出力先のフォルダがありません / the output folder does "
                                         "not exist: ") +
                          o.out);
    }
    for (const QString& name : kRangeOptions) {
        const auto v = r.text(name);
        if (!v)
            continue;
        const QDate d = parseLedgerDate(gReportDateText(*v));
        if (!d.isValid())
            return r.fail(
                QStringLiteral("--%1 の日付が正しくありません / --%1 is not a date").arg(name));
        (name == QStringLiteral("from") ? o.from : o.to) = d;
    }
    if (const auto list = r.text(QStringLiteral("suppliers"))) {
        o.only = supplierSet(*list);
        if (!o.only)
            return r.fail(QStringLiteral("--suppliers の値が正しくありません（例 1,3,5-9）"
                                         " / --suppliers takes numbers such as 1,3,5-9"));
    }
    o.data = r.text(QStringLiteral("data")).value_or(QString());
    o.dataFile = r.text(QStringLiteral("db")).value_or(QString());
    return true;
}

// Progress on a terminal: "NN%" on one line of the standard error.
CsvCallbacks terminalProgress(const QString& what) {
    CsvCallbacks cb;
    if (!gIsTerminal(stderr))
        return cb;
    cb.progress = [what, last = -1](qint64 value, qint64 maximum) mutable {
        const int percent = int(value * 100 / std::max<qint64>(maximum, 1));
        if (percent == last)
            return;
        last = percent;
        std::fprintf(stderr, "\r%s %3d%%", what.toUtf8().constData(), percent);
        if (percent >= 100)
            std::fputs("\n", stderr);
    };
    return cb;
}

// What an export or import ends with: the lines for the standard output, then those for the
// standard error, and the exit code.
struct Ending {
    int code = kExitFailed;
    QStringList out;
    QStringList err;
};

Ending exportEnding(const CsvExportResult& result) {
    switch (result.outcome) {
    case CsvExportOutcome::Written:
        return {kExitWritten, {result.path}, {}};
    case CsvExportOutcome::NothingToExport:
    case CsvExportOutcome::NotEncodable:
        return {kExitRefused, {}, {result.message}};
    case CsvExportOutcome::Failed:
        break;
    }
    // When the file could not be written: an empty line, the cause and the file.
    return {kExitFailed,
            {},
            {QStringLiteral("CSV ファイルを作成できませんでした（エラーログを参照） / the CSV "
                            "file could not be written (see the error log)") +
             (result.message.isEmpty() ? QString() : QStringLiteral("\n\n") + result.message)}};
}

// The line-rule findings, then the duplicate ledger lines and what becomes of them.
QStringList duplicateLines(const CsvImportResult& result, bool keep) {
    QStringList lines;
    for (const QString& w : gCsvWarningLines(result))
        lines << QStringLiteral("注意 / warning: ") + w;
    for (const QString& c : gCsvChangeLines(result))
        lines << QStringLiteral("更新 / update: ") + c;
    if (result.unchangedCount > 0)
        lines << QStringLiteral("変更のない %1 件の仕入先は飛ばします / %1 unchanged suppliers "
                                "skipped")
                     .arg(result.unchangedCount);
    if (result.duplicateCount == 0)
        return lines;
    lines << gCsvDuplicateLines(result);
    lines << (keep ? QStringLiteral("重複する %1 行も取り込みます / the %1 duplicate rows are "
                                    "imported too (--keep-duplicates)")
                   : QStringLiteral("重複する %1 行は取り込みません（取り込むには "
                                    "--keep-duplicates） / the %1 duplicate rows are skipped "
                                    "(--keep-duplicates imports them)"))
                 .arg(result.duplicateCount);
    return lines;
}

Ending importEnding(const CsvImportResult& result, bool keep) {
    switch (result.outcome) {
    case CsvImportOutcome::Imported:
        return {
            kExitWritten,
            duplicateLines(result, keep)
                << (result.backupPath.isEmpty() // a server keeps no copy
                        ? QStringLiteral("%1 行を取り込みました / %1 rows imported")
                              .arg(result.storedRows)
                        : QStringLiteral("%1 行を取り込みました / %1 rows imported（控え / copy "
                                         "before: %2）")
                              .arg(result.storedRows)
                              .arg(result.backupPath))
                << gCsvEncodingText(result),
            {}};
    case CsvImportOutcome::Checked:
        return {kExitWritten,
                duplicateLines(result, keep)
                    << (result.storedRows == result.rows
                            ? QStringLiteral("%1 行すべて取り込めます / all %1 rows can be "
                                             "imported")
                                  .arg(result.rows)
                            : QStringLiteral("%1 行のうち %2 行を取り込めます / %2 of %1 rows "
                                             "can be imported")
                                  .arg(result.rows)
                                  .arg(result.storedRows))
                    << gCsvEncodingText(result),
                {}};
    case CsvImportOutcome::Refused:
        return {kExitRefused,
                gCsvRefusalLines(result),
                {QStringLiteral("%1 行のうち %2 行を取り込めません。何も取り込んでいません / %2 of "
                                "%1 rows refused; nothing was imported")
                     .arg(result.rows)
                     .arg(result.refusedCount),
                 gCsvEncodingText(result)}};
    case CsvImportOutcome::BadFile:
        return {kExitRefused,
                {},
                {result.message, QStringLiteral("何も取り込んでいません / nothing was imported"),
                 gCsvEncodingText(result)}};
    case CsvImportOutcome::Failed:
        break;
    }
    return {kExitFailed,
            {},
            {QStringLiteral("取り込みに失敗しました。データは取り込む前のままです（エラーログを"
                            "参照） / the import failed and stored nothing (see the error log)")}};
}

// The export or the import of the command line, with progress on a terminal.
int runExchange(const ExchangeOptions& o) {
    Ending ending;
    if (o.import) {
        CsvImportResult result;
        gImportCsv({.table = o.table,
                    .path = o.file,
                    .encoding = o.encoding,
                    .checkOnly = o.checkOnly,
                    .keepDuplicates = o.keepDuplicates,
                    .updateSuppliers = o.update},
                   terminalProgress(QStringLiteral("確認・取込み / reading")), result);
        ending = importEnding(result, o.keepDuplicates);
    } else {
        CsvExportResult result;
        gExportCsv({.table = o.table,
                    .encoding = o.encoding.value_or(CsvEncoding::Cp932),
                    .outputFolder = o.out,
                    .from = o.from,
                    .to = o.to,
                    .only = o.only},
                   terminalProgress(QStringLiteral("書き出し / writing")), result);
        ending = exportEnding(result);
    }
    for (const QString& line : std::as_const(ending.out))
        std::printf("%s\n", line.toUtf8().constData());
    for (const QString& line : std::as_const(ending.err))
        printErr(line);
    return ending.code;
}

// The server of server mode (--server, else TOVAKI_SERVER); "" for the data file.
QString& serverConnection() {
    static QString conninfo;
    return conninfo;
}

// Connects to the books on the server and opens the program files (server mode).
bool openServer(const QString& app) {
    svc().setProgramFolder(app);
    gstrAppTitle = appTitle();
    // No lock file: the server keeps its own concurrency.
    if (!DbInitServer(gdbData(), serverConnection())) {
        printErr(QStringLiteral("サーバーの帳簿に接続できません。\n") + DbInitRefusal());
        gProcError(QStringLiteral("tovaki-report"), QStringLiteral("server"));
        return false;
    }
    if (!gMsgInit(gAddBackSlash(svc().paths().app) + QStringLiteral("sys/msg"))) {
        printErr(QStringLiteral("必要とするメッセージデータベースが開けません"));
        gProcError(QStringLiteral("tovaki-report"), svc().paths().app);
        return false;
    }
    return true;
}

// Finds and opens the data file and the program files as the program's start-up does.
bool openDataFolder(const QString& folder, const QString& dataOption) {
    const QString portable = folder.isEmpty()
                                 ? QCoreApplication::applicationDirPath()
                                 : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString app = folder.isEmpty() ? gProgramFolder(portable) : portable;
    if (!serverConnection().isEmpty())
        return openServer(app);
    svc().setProgramFolder(app); // the error log's second folder while the data file is sought
    QString dataFile;
    if (!gResolveDataFile(dataOption, portable, app, &dataFile))
        return false;
    svc().setProgramFolder(app, dataFile);
    gstrAppTitle = appTitle();
    // The same lock as the program's: a report never reads a file while another program
    // holds it (nor while the file is being compacted or restored).
    if (QFileInfo::exists(svc().paths().db)) {
        DataLockHolder holder;
        switch (gLockDataFile(svc().paths().db, &holder)) {
        case DataLockResult::Locked:
        case DataLockResult::FolderReadOnly:
            break;
        case DataLockResult::InUse:
            printErr(gDataInUseText(svc().paths().db, holder));
            return false;
        case DataLockResult::Failed:
            printErr(QStringLiteral("データファイルのロックファイルを作成できません。 (") +
                     gDataLockPath(svc().paths().db) + QLatin1Char(')'));
            return false;
        }
    }
    if (!DbInit(svc().paths().db, false)) {
        const QString why = DbInitRefusal();
        printErr(QStringLiteral("必要とするデータ保存用データベースが開けません。") +
                 (why.isEmpty() ? QStringLiteral(" (") + svc().paths().db + QLatin1Char(')')
                                : QStringLiteral("\n") + why));
        gProcError(QStringLiteral("tovaki-report"), svc().paths().db);
        return false;
    }
    // A damaged file is told as the window tells it, before anything is read from it; a damaged
    // page met later is told through the damage handler.
    if (!gQuickCheckDataFile(svc().paths().db)) {
        printErr(gDataFileDamagedText(svc().paths().db));
        DbClose();
        return false;
    }
    gSetDataFileDamageHandler([]() { printErr(gDataFileDamagedText(gdbData().path())); });
    if (!gMsgInit(gAddBackSlash(svc().paths().app) + QStringLiteral("sys/msg"))) {
        printErr(QStringLiteral("必要とするメッセージデータベースが開けません"));
        gProcError(QStringLiteral("tovaki-report"), svc().paths().app);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    gPrepareConsole();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("tovaki-report"));
    svc().setPrompt(std::make_unique<ConsolePrompt>());

    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto add = [&p](const QStringList& names, const QString& valueName = {}) {
        p.addOption(QCommandLineOption(names, QString(), valueName));
    };
    add({QStringLiteral("h"), QStringLiteral("help")});
    add({QStringLiteral("d"), QStringLiteral("data")}, QStringLiteral("DIR"));
    add({QStringLiteral("db")}, QStringLiteral("FILE"));
    add({QStringLiteral("server")}, QStringLiteral("CONNINFO"));
    add({QStringLiteral("o"), QStringLiteral("out")}, QStringLiteral("DIR"));
    add({QStringLiteral("pdf")});
    add({QStringLiteral("check")});
    add({QStringLiteral("keep-duplicates")});
    add({QStringLiteral("update")});
    add({QStringLiteral("encoding")}, QStringLiteral("NAME"));
    for (const ReportOption& option : gReportOptions())
        add({option.name},
            option.kind == ReportOptionKind::Switch ? QString() : QStringLiteral("VALUE"));
    add({QStringLiteral("suppliers")}, QStringLiteral("VALUE"));
    p.addPositionalArgument(QStringLiteral("report"), QString());

    const QString seeHelp =
        QStringLiteral("tovaki-report --help で使い方を表示します / see tovaki-report --help");
    if (!p.parse(app.arguments())) {
        printErr(QStringLiteral("コマンドラインの誤り / command line error: ") + p.errorText());
        printErr(seeHelp);
        return kExitUsage;
    }
    if (p.isSet(QStringLiteral("help"))) {
        std::fputs(kHelp, stdout);
        return kExitWritten;
    }
    serverConnection() = p.isSet(QStringLiteral("server")) ? p.value(QStringLiteral("server"))
                                                           : qEnvironmentVariable("TOVAKI_SERVER");
    QString error;
    const QStringList positional = p.positionalArguments();
    if (!positional.isEmpty() &&
        (positional[0] == QStringLiteral("export") || positional[0] == QStringLiteral("import"))) {
        ExchangeOptions exchange;
        if (!readExchangeOptions(p, exchange, error)) {
            printErr(error);
            printErr(seeHelp);
            return kExitUsage;
        }
        if (!openDataFolder(exchange.data, exchange.dataFile))
            return kExitFailed;
        int code = runExchange(exchange);
        if (gDataFileDamaged())
            code = kExitFailed;
        DbClose();
        gMsgClose();
        return code;
    }
    ReportOptions options;
    if (!readOptions(p, options, error)) {
        printErr(error);
        printErr(seeHelp);
        return kExitUsage;
    }
    if (!openDataFolder(options.data, options.dataFile))
        return kExitFailed;
    int code = runReport(options);
    if (gDataFileDamaged())
        code = kExitFailed;
    DbClose();
    gMsgClose();
    return code;
}
