#include "reports/CsvFrame.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/InitCboTargetDate.h"
#include "ledger/LineRules.h"
#include "store/DataFile.h"
#include "store/MsgCatalogue.h"
#include "widgets/FormHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kImportFailed =
    QStringLiteral("CSV ファイルを取り込めませんでした。データは取り込む前のままです。\r\n"
                   "管理者に問い合わせてください");

} // namespace

CsvFrame::CsvFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(QStringLiteral("CSV出力"), host, parent) {
    setObjectName(QStringLiteral("FrameCsv"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);

    const auto box = [this](const QString& name, const QStringList& items) {
        auto* b = new QComboBox(this);
        b->setObjectName(name);
        b->addItems(items);
        gSetSelectionColour(b);
        return b;
    };
    cboCsvTable = box(QStringLiteral("cboCsvTable"),
                      {gCsvTableName(CsvTable::Suppliers), gCsvTableName(CsvTable::Purchases),
                       gCsvTableName(CsvTable::Sales)});
    cboCsvEncoding = box(QStringLiteral("cboCsvEncoding"),
                         {QStringLiteral("Shift_JIS"), QStringLiteral("UTF-8（BOM付き）")});
    cboCsvEncoding->setToolTip(QStringLiteral("表計算ソフトで開くときは Shift_JIS、"
                                              "Shift_JIS で書けない文字があるときは UTF-8"
                                              "（取込みではファイルから判定します）"));
    cboCsvStartDate = box(QStringLiteral("cboCsvStartDate"), {});
    cboCsvEndDate = box(QStringLiteral("cboCsvEndDate"), {});
    for (QComboBox* d : {cboCsvStartDate, cboCsvEndDate}) {
        d->setEditable(true);
        d->setMinimumContentsLength(10);
        d->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        d->setToolTip(QStringLiteral("仕入帳・売上帳の出力期間"));
    }
    chkCsvAllLines = new QCheckBox(QStringLiteral("全期間（日付のない行も）"), this);
    chkCsvAllLines->setObjectName(QStringLiteral("chkCsvAllLines"));
    chkCsvAllLines->setToolTip(QStringLiteral("仕入帳・売上帳のすべての行を、日付のない行も含めて"
                                              "出力します（期間は使いません）"));
    chkCsvUpdate = new QCheckBox(QStringLiteral("登録済みの仕入先は更新"), this);
    chkCsvUpdate->setObjectName(QStringLiteral("chkCsvUpdate"));
    chkCsvUpdate->setToolTip(QStringLiteral("取込みで、番号が登録済みの仕入先をファイルの内容に"
                                            "更新します（変更のない行は飛ばします）"));
    cmdCsvExport = new QPushButton(QStringLiteral("出 力"), this);
    cmdCsvExport->setObjectName(QStringLiteral("cmdCsvExport"));
    cmdCsvExport->setToolTip(QStringLiteral("CSV ファイルに書き出します"));
    cmdCsvImport = new QPushButton(QStringLiteral("取込み..."), this);
    cmdCsvImport->setObjectName(QStringLiteral("cmdCsvImport"));
    cmdCsvImport->setToolTip(QStringLiteral("CSV ファイルの行を確認してから取り込みます"
                                            "（期間は使いません）"));
    for (QPushButton* b : {cmdCsvExport, cmdCsvImport}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }

    // Two label-box pairs per row, so that the boxes of a column line up.
    grid->addWidget(new QLabel(QStringLiteral("データ"), this), 0, 0);
    grid->addWidget(cboCsvTable, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("文字コード"), this), 0, 2, Qt::AlignRight);
    grid->addWidget(cboCsvEncoding, 0, 3);
    grid->addWidget(chkCsvUpdate, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("開始日"), this), 1, 0);
    grid->addWidget(cboCsvStartDate, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("～ 終了日"), this), 1, 2, Qt::AlignRight);
    grid->addWidget(cboCsvEndDate, 1, 3);
    grid->addWidget(chkCsvAllLines, 1, 4);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cmdCsvImport);
    buttons->addWidget(cmdCsvExport);
    grid->addLayout(buttons, 2, 0, 1, 5);
    grid->setColumnStretch(5, 1);

    connect(cboCsvTable, &QComboBox::currentIndexChanged, this, [this]() { mSetDateBoxes(); });
    connect(chkCsvAllLines, &QCheckBox::toggled, this, [this]() { mSetDateBoxes(); });
    connect(cmdCsvExport, &QPushButton::clicked, this, [this]() { cmdCsvExportClick(); });
    connect(cmdCsvImport, &QPushButton::clicked, this, [this]() { cmdCsvImportClick(); });
}

bool CsvFrame::formLoad() {
    if (!gInitCboTargetDate(cboCsvStartDate, cboCsvEndDate))
        return false;
    mSetDateBoxes();
    // A data file opened read-only takes nothing in.
    cmdCsvImport->setEnabled(!gDataFileReadOnly());
    return true;
}

CsvTable CsvFrame::table() const {
    return static_cast<CsvTable>(std::clamp(cboCsvTable->currentIndex(), 0, 2));
}

CsvEncoding CsvFrame::encoding() const {
    return cboCsvEncoding->currentIndex() == 1 ? CsvEncoding::Utf8 : CsvEncoding::Cp932;
}

void CsvFrame::mSetDateBoxes() {
    const bool ledger = table() != CsvTable::Suppliers;
    chkCsvAllLines->setEnabled(ledger);
    chkCsvUpdate->setEnabled(!ledger);
    cboCsvStartDate->setEnabled(ledger && !chkCsvAllLines->isChecked());
    cboCsvEndDate->setEnabled(ledger && !chkCsvAllLines->isChecked());
}

void CsvFrame::cmdCsvExportClick() {
    if (host().isBusy())
        return;
    CsvExportParams p;
    p.table = table();
    p.encoding = encoding();
    p.outputFolder = host().outputFolder();
    // Every line, undated ones included, has no range (a cleared date box is refilled).
    if (p.table != CsvTable::Suppliers && !chkCsvAllLines->isChecked()) {
        const QDate from = parseLedgerDate(cboCsvStartDate->currentText());
        const QDate to = parseLedgerDate(cboCsvEndDate->currentText());
        if (!from.isValid() || !to.isValid()) {
            gDispMsg(4);
            (from.isValid() ? cboCsvEndDate : cboCsvStartDate)->setFocus();
            return;
        }
        if (from > to) {
            svc().prompt().show(QStringLiteral("開始日は終了日より前の日付にしてください"),
                                gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
            cboCsvStartDate->setFocus();
            return;
        }
        p.from = from;
        p.to = to;
    }
    const ExcelReportRun::Callbacks ui = host().reportCallbacks();
    host().setBusy(true);
    if (ui.status)
        ui.status(QStringLiteral("CSV ファイルを作成しています。\nしばらくお待ちください。"));
    CsvCallbacks cb;
    cb.progress = [&ui](qint64 value, qint64 maximum) {
        if (ui.progress)
            ui.progress(int(value * 1000 / std::max<qint64>(maximum, 1)), 1000);
        svc().process().processEvents();
    };
    CsvExportResult result;
    gExportCsv(p, cb, result);
    host().setBusy(false);
    if (ui.status)
        ui.status(QStringLiteral("エクセルファイルを作成しています。\nしばらくお待ちください。"));
    switch (result.outcome) {
    case CsvExportOutcome::Written:
        svc().prompt().show(QStringLiteral("%1 行を書き出しました。\r\n\r\n").arg(result.rows) +
                                QDir::toNativeSeparators(result.path),
                            gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        break;
    case CsvExportOutcome::NothingToExport:
        svc().prompt().show(result.message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        break;
    case CsvExportOutcome::NotEncodable:
        svc().prompt().show(result.message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
        cboCsvEncoding->setFocus();
        break;
    case CsvExportOutcome::Failed:
        svc().prompt().show(result.message.isEmpty()
                                ? kCsvFileReportFailed
                                : kCsvFileReportFailed + QStringLiteral("\r\n\r\n") +
                                      result.message,
                            gstrAppTitle, MsgStyle::OKOnly);
        break;
    }
}

bool CsvFrame::runImport(const CsvImportParams& p, CsvImportResult& result) {
    const ExcelReportRun::Callbacks ui = host().reportCallbacks();
    host().setBusy(true);
    if (ui.status)
        ui.status(p.checkOnly ? QStringLiteral("CSV ファイルの行を確認しています。")
                              : QStringLiteral("CSV ファイルを取り込んでいます。"));
    CsvCallbacks cb;
    cb.progress = [&ui](qint64 value, qint64 maximum) {
        if (ui.progress)
            ui.progress(int(value * 1000 / std::max<qint64>(maximum, 1)), 1000);
        svc().process().processEvents();
    };
    const bool ok = gImportCsv(p, cb, result);
    host().setBusy(false);
    if (ui.status)
        ui.status(QStringLiteral("エクセルファイルを作成しています。\nしばらくお待ちください。"));
    return ok;
}

void CsvFrame::cmdCsvImportClick() {
    if (host().isBusy())
        return;
    QString start = host().outputFolder();
    if (start.isEmpty())
        start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString file = svc().dialogs().chooseOpenFile(
        QStringLiteral("取り込む CSV ファイル（%1）").arg(gCsvTableName(table())), start,
        QStringLiteral("CSV ファイル (*.csv);;すべてのファイル (*)"));
    if (file.isEmpty())
        return;
    CsvImportParams p;
    p.table = table();
    p.path = file; // the encoding is found from the file
    p.checkOnly = true;
    p.updateSuppliers = p.table == CsvTable::Suppliers && chkCsvUpdate->isChecked();
    CsvImportResult check;
    runImport(p, check);
    switch (check.outcome) {
    case CsvImportOutcome::Checked:
        break;
    case CsvImportOutcome::Refused:
        showRefusals(check, file);
        return;
    case CsvImportOutcome::BadFile:
        svc().prompt().show(check.message +
                                QStringLiteral("\r\n\r\n何も取り込まれていません。"
                                               "\r\n") +
                                gCsvEncodingText(check),
                            gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
        return;
    default:
        svc().prompt().show(kImportFailed, gstrAppTitle, MsgStyle::OKOnly);
        return;
    }
    if (!askImport(check, p))
        return;
    p.checkOnly = false;
    CsvImportResult result;
    runImport(p, result);
    if (result.outcome == CsvImportOutcome::Imported) {
        // A server keeps no copy of the books before the import.
        const QString text = result.backupPath.isEmpty()
                                 ? QStringLiteral("%1 行を取り込みました。").arg(result.storedRows)
                                 : QStringLiteral("%1 行を取り込みました。\r\n\r\n"
                                                  "取り込む前のデータファイルの控え:\r\n%2")
                                       .arg(result.storedRows)
                                       .arg(QDir::toNativeSeparators(result.backupPath));
        svc().prompt().show(text, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
    } else if (result.outcome == CsvImportOutcome::Refused) {
        showRefusals(result, file);
    } else if (result.outcome == CsvImportOutcome::BadFile) {
        svc().prompt().show(result.message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
    } else {
        svc().prompt().show(kImportFailed, gstrAppTitle, MsgStyle::OKOnly);
    }
}

bool CsvFrame::askImport(const CsvImportResult& check, CsvImportParams& p) {
    const QString table = gCsvTableName(p.table);
    // The first few of a list, and how many more there are.
    const auto shortList = [](QStringList lines, qint64 count) {
        constexpr int kShown = 10;
        if (lines.size() > kShown) {
            lines = lines.mid(0, kShown);
            lines << QStringLiteral("ほかに %1 行").arg(count - kShown);
        }
        return lines.join(QStringLiteral("\r\n"));
    };
    QString tail;
    if (check.warningCount > 0)
        tail += QStringLiteral("\r\n\r\n次の %1 行は行の規則に合いませんが、仕入帳・売上帳の"
                               "画面と同じように取り込みます（計算実行で確かめてください）:\r\n")
                    .arg(check.warningCount) +
                shortList(gCsvWarningLines(check), check.warningCount);
    if (check.changedCount > 0)
        tail +=
            QStringLiteral("\r\n\r\n次の %1 件の仕入先を更新します:\r\n").arg(check.changedCount) +
            shortList(gCsvChangeLines(check), check.changedCount);
    if (check.unchangedCount > 0)
        tail += QStringLiteral("\r\n\r\n変更のない %1 件の仕入先は飛ばします。")
                    .arg(check.unchangedCount);
    tail += QStringLiteral("\r\n\r\n取り込む前に、データファイルの控えを作ります。\r\n") +
            gCsvEncodingText(check);
    if (check.duplicateCount == 0)
        return svc().prompt().show(QStringLiteral("%1 行を%2に取り込みます。よろしいですか？")
                                           .arg(check.storedRows)
                                           .arg(table) +
                                       tail,
                                   gstrAppTitle,
                                   MsgStyle::YesNo | MsgStyle::Question) == MsgResult::Yes;
    // The duplicates are listed and skipped unless the user asks for them.
    const QString found =
        QStringLiteral("%1 行のうち %2 行は、%3にある行か、ファイルの中のほかの行と同じです"
                       "（重複）。\r\n\r\n")
            .arg(check.rows)
            .arg(check.duplicateCount)
            .arg(table) +
        shortList(gCsvDuplicateLines(check), check.duplicateCount);
    if (check.storedRows == 0) {
        p.keepDuplicates =
            svc().prompt().show(found +
                                    QStringLiteral("\r\n\r\n重複する行しかありません。"
                                                   "それでも %1 行を取り込みますか？")
                                        .arg(check.rows) +
                                    tail,
                                gstrAppTitle,
                                MsgStyle::YesNo | MsgStyle::Question | MsgStyle::DefaultButton2) ==
            MsgResult::Yes;
        return p.keepDuplicates;
    }
    const int answer = svc().prompt().show(
        found +
            QStringLiteral("\r\n\r\nはい: 重複する行を除いて %1 行を取り込みます。\r\n"
                           "いいえ: 重複する行も含めて %2 行を取り込みます。\r\n"
                           "キャンセル: 何も取り込みません。")
                .arg(check.storedRows)
                .arg(check.rows) +
            tail,
        gstrAppTitle, MsgStyle::YesNoCancel | MsgStyle::Question);
    p.keepDuplicates = answer == MsgResult::No;
    return answer == MsgResult::Yes || answer == MsgResult::No;
}

void CsvFrame::showRefusals(const CsvImportResult& result, const QString& file) {
    auto* preview = new frmCsvPreview(result, file, window());
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->open();
}

frmCsvPreview::frmCsvPreview(const CsvImportResult& result, const QString& file, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmCsvPreview"));
    setWindowTitle(QStringLiteral("取り込めない行"));
    auto* outer = new QVBoxLayout(this);
    lblCsvPreview = new QLabel(
        QStringLiteral("%1\r\n%2 行のうち %3 行を取り込めません。何も取り込まれていません。\r\n"
                       "ファイルを直して、もう一度取り込んでください。\r\n%4")
            .arg(QFileInfo(file).fileName())
            .arg(result.rows)
            .arg(result.refusedCount)
            .arg(gCsvEncodingText(result)),
        this);
    lblCsvPreview->setObjectName(QStringLiteral("lblCsvPreview"));
    lblCsvPreview->setWordWrap(true);
    outer->addWidget(lblCsvPreview);

    grdCsvRefused = new QTableWidget(int(result.refusals.size()), 2, this);
    grdCsvRefused->setObjectName(QStringLiteral("grdCsvRefused"));
    grdCsvRefused->setHorizontalHeaderLabels({QStringLiteral("行"), QStringLiteral("理由")});
    grdCsvRefused->verticalHeader()->setVisible(false);
    grdCsvRefused->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCsvRefused->horizontalHeader()->setStretchLastSection(true);
    for (int i = 0; i < int(result.refusals.size()); ++i) {
        auto* line = new QTableWidgetItem(QString::number(result.refusals[std::size_t(i)].line));
        line->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grdCsvRefused->setItem(i, 0, line);
        grdCsvRefused->setItem(i, 1, new QTableWidgetItem(result.refusals[std::size_t(i)].reason));
    }
    grdCsvRefused->setColumnWidth(0, 70);
    outer->addWidget(grdCsvRefused, 1);
    const qint64 unlisted = result.refusedCount - qint64(result.refusals.size());
    if (unlisted > 0)
        outer->addWidget(new QLabel(QStringLiteral("ほかに %1 行あります").arg(unlisted), this));

    cmdCsvPreviewClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdCsvPreviewClose->setObjectName(QStringLiteral("cmdCsvPreviewClose"));
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cmdCsvPreviewClose);
    outer->addLayout(buttons);
    connect(cmdCsvPreviewClose, &QPushButton::clicked, this, &QDialog::accept);
    resize(640, 420);
}
