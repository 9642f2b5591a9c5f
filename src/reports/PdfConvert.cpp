#include "reports/PdfConvert.h"

#include "base/ErrorLog.h"
#include "base/SystemFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

constexpr int kDefaultTimeLimitSeconds = 180;

const QString kWorkbookKept = QStringLiteral("エクセルファイルは作成されています。");

int timeLimitMs() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("TOVAKI_PDF_TIME_LIMIT", &ok);
    return (ok && seconds > 0 ? seconds : kDefaultTimeLimitSeconds) * 1000;
}

} // namespace

QString gFindPdfConverter() {
    const QString chosen = qEnvironmentVariable("TOVAKI_PDF_CONVERTER");
    if (!chosen.isEmpty())
        return QFileInfo(chosen).isExecutable() ? chosen : QString();
    for (const QString& name : {QStringLiteral("soffice"), QStringLiteral("libreoffice")}) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    QStringList places;
#ifdef Q_OS_WIN
    // Where LibreOffice's installer records itself, then the program folders of this PC (which
    // need not be on drive C).
    for (const QString& key :
         {QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\LibreOffice\\UNO\\InstallPath"),
          QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\LibreOffice\\UNO\\InstallPath")}) {
        const QString folder =
            QSettings(key, QSettings::NativeFormat).value(QStringLiteral("Default")).toString();
        if (!folder.isEmpty())
            places << QDir::fromNativeSeparators(folder) + QStringLiteral("/soffice.exe");
    }
    for (const char* env : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
        const QString folder = qEnvironmentVariable(env);
        if (!folder.isEmpty())
            places << QDir::fromNativeSeparators(folder) +
                          QStringLiteral("/LibreOffice/program/soffice.exe");
    }
#endif
    places += {QStringLiteral("/usr/lib/libreoffice/program/soffice"),
               QStringLiteral("/usr/local/lib/libreoffice/program/soffice"),
               QStringLiteral("/snap/bin/libreoffice"),
               QStringLiteral("/Applications/LibreOffice.app/Contents/MacOS/soffice"),
               QStringLiteral("C:/Program Files/LibreOffice/program/soffice.exe"),
               QStringLiteral("C:/Program Files (x86)/LibreOffice/program/soffice.exe")};
    for (const QString& dir :
         QDir(QStringLiteral("/opt"))
             .entryList({QStringLiteral("libreoffice*")}, QDir::Dirs | QDir::NoDotAndDotDot))
        places << QStringLiteral("/opt/") + dir + QStringLiteral("/program/soffice");
    for (const QString& p : std::as_const(places))
        if (QFileInfo(p).isExecutable())
            return p;
    return {};
}

QString gPdfPathFor(const QString& workbook) {
    const QFileInfo info(workbook);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

PdfResult gConvertToPdf(const QString& workbook, const std::function<void()>& tick) {
    PdfResult r;
    const QString program = gFindPdfConverter();
    if (program.isEmpty()) {
        r.outcome = PdfOutcome::NoConverter;
        r.message =
            QStringLiteral("PDF の作成には LibreOffice が必要ですが、見つかりません。\r\n"
                           "LibreOffice をインストールしてから、もう一度作成してください。\r\n") +
            kWorkbookKept;
        return r;
    }
    const QString pdf = gPdfPathFor(workbook);
    QFile::remove(pdf);
    QTemporaryDir profile(QDir(gGetTempFolder()).filePath(QStringLiteral("tovaki-pdf-XXXXXX")));
    QProcess conv;
    conv.setProcessChannelMode(QProcess::MergedChannels);
    // The PDF carries the books as the workbook does: the converter's files are owner-only from
    // their creation.
    gMakeChildFilesOwnerOnly(conv);
    conv.start(program, {QStringLiteral("-env:UserInstallation=") +
                             QUrl::fromLocalFile(profile.path()).toString(),
                         QStringLiteral("--headless"), QStringLiteral("--norestore"),
                         QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                         QStringLiteral("--outdir"), QFileInfo(workbook).absolutePath(), workbook});
    const auto failed = [&](PdfOutcome outcome, const QString& what) {
        r.outcome = outcome;
        r.message = what + QStringLiteral("\r\n") + kWorkbookKept;
        gSetLastError(conv.exitCode(), QStringLiteral("PDF"),
                      program + QStringLiteral(": ") +
                          QString::fromLocal8Bit(conv.readAll()).trimmed().left(500));
        gProcError(QStringLiteral("gConvertToPdf"), workbook);
        QFile::remove(pdf);
        return r;
    };
    if (!conv.waitForStarted(30000))
        return failed(
            PdfOutcome::Failed,
            QStringLiteral("PDF 変換プログラムを起動できませんでした（%1）。").arg(program));
    const int limit = timeLimitMs();
    QElapsedTimer clock;
    clock.start();
    while (!conv.waitForFinished(100)) {
        if (conv.state() == QProcess::NotRunning)
            break;
        if (tick)
            tick();
        if (clock.elapsed() > limit) {
            conv.kill();
            conv.waitForFinished(5000);
            return failed(
                PdfOutcome::TimedOut,
                QStringLiteral("PDF への変換が %1 秒以内に終わらなかったため、中止しました。")
                    .arg(limit / 1000));
        }
    }
    if (conv.exitStatus() != QProcess::NormalExit || conv.exitCode() != 0 ||
        !QFileInfo::exists(pdf))
        return failed(
            PdfOutcome::Failed,
            QStringLiteral("PDF への変換に失敗しました（終了コード %1）。").arg(conv.exitCode()));
    // Owner-only whatever mode the converter chose.
    QFile::setPermissions(pdf, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    r.outcome = PdfOutcome::Written;
    r.pdfPath = pdf;
    return r;
}
