#include "util/FileHelpers.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <limits>

namespace {

bool isSeparator(QChar c) {
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// Index of the first character of the last path component.
qsizetype lastComponentStart(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (isSeparator(path.at(i)))
            return i + 1;
    return 0;
}

// Index of the "." that starts the extension, or -1.
qsizetype extensionDot(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= lastComponentStart(name) ? dot : -1;
}

// A name is free when nothing at all is there: no file, no folder, not even a dangling link.
bool nameIsFree(const QString& path) {
    const QFileInfo fi(path);
    return !fi.exists() && !fi.isSymLink();
}

const QString kOrganisation = QStringLiteral("Quillo-soft");
const QString kApplication = QStringLiteral("tovaki");

} // namespace

bool gGetDesktopPath(QString& path) {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty() || !QFileInfo(desktop).isDir())
        desktop = QDir::homePath();
    if (desktop.isEmpty() || !QFileInfo(desktop).isDir()) {
        gProcError(QStringLiteral("gGetDesktopPath"), desktop);
        return false;
    }
    path = gGetLongFileName(desktop);
    return true;
}

QString gSavedPlaceText(const QString& folder) {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const bool hasDesktop = !desktop.isEmpty() && QFileInfo(desktop).isDir();
    const QString here = gGetLongFileName(folder);
    if (hasDesktop && here == gGetLongFileName(desktop))
        return QStringLiteral("デスクトップに");
    if (!hasDesktop && here == gGetLongFileName(QDir::homePath()))
        return QStringLiteral("ホームフォルダに（デスクトップのフォルダがないため）");
    return QStringLiteral("保存先に");
}

QString gGetLongFileName(const QString& path) {
    if (path.trimmed().isEmpty())
        return {};
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(fi.absoluteFilePath()) : canonical;
}

QString gRemoveBackSlash(const QString& path) {
    if (!path.isEmpty() && isSeparator(path.back()))
        return path.left(path.size() - 1);
    return path;
}

QString gGetFileExtension(const QString& name) {
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString gGetFileTitle(const QString& name) {
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

QString gGetWeekJapanese(const QDate& date) {
    static const char16_t* const names[] = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"};
    const int day = date.dayOfWeek(); // 1 Monday .. 7 Sunday, 0 for an invalid date
    if (day < 1 || day > 7) {
        gProcError(QStringLiteral("gGetWeekJapanese"), date.toString(Qt::ISODate));
        return {};
    }
    return QString::fromUtf16(names[day - 1]) + QStringLiteral("曜日");
}

bool gDateToFileName(const QString& dateTimeText, QString& out) {
    const QString t = dateTimeText.trimmed();
    static const char* const dateTimeForms[] = {"yyyy/MM/dd HH:mm:ss", "yyyy/M/d H:mm:ss",
                                                "yyyy/MM/dd HH:mm",    "yyyy/M/d H:mm",
                                                "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss"};
    static const char* const dateForms[] = {"yyyy/MM/dd", "yyyy/M/d", "yyyy-MM-dd"};
    QDateTime dt;
    for (const char* form : dateTimeForms) {
        dt = QDateTime::fromString(t, QString::fromLatin1(form));
        if (dt.isValid())
            break;
    }
    if (!dt.isValid()) {
        for (const char* form : dateForms) {
            const QDate d = QDate::fromString(t, QString::fromLatin1(form));
            if (d.isValid()) {
                dt = QDateTime(d, QTime(0, 0));
                break;
            }
        }
    }
    if (!dt.isValid())
        return false;
    const QString week = gGetWeekJapanese(dt.date());
    if (week.isEmpty())
        return false;
    out = dt.toString(QStringLiteral("yyyy年MM月dd日")) + QLatin1Char(' ') + week +
          QLatin1Char(' ') + dt.toString(QStringLiteral("HH時mm分"));
    return true;
}

bool gGetUniqueFName(const QString& folder, const QString& fileName, QString& out) {
    const QString proc = QStringLiteral("gGetUniqueFName");
    if (!gChkFolderExist(folder)) {
        gProcError(proc, QStringLiteral("ディレクトリが存在しませんでした。"));
        return false;
    }
    const QString name = fileName.mid(lastComponentStart(fileName));
    if (name.trimmed().isEmpty()) {
        gProcError(proc, QStringLiteral("fileName=") + fileName);
        return false;
    }
    const QString base = gAddBackSlash(folder);
    const QString title = gGetFileTitle(name);
    const QString suffix =
        extensionDot(name) < 0 ? QString() : QLatin1Char('.') + gGetFileExtension(name);
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1 ? name : title + QStringLiteral("(%1)").arg(n) + suffix;
        if (nameIsFree(base + candidate)) {
            out = candidate;
            return true;
        }
    }
    gProcError(proc, QStringLiteral("no free name for ") + name);
    return false;
}

bool gChkFileExist(const QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    const qsizetype start = lastComponentStart(path);
    const QString last = path.mid(start);
    if (last.contains(QLatin1Char('*')) || last.contains(QLatin1Char('?'))) {
        const QString folder = start > 0 ? path.left(start) : QStringLiteral(".");
        return !QDir(folder).entryList({last}, QDir::Files | QDir::Hidden).isEmpty();
    }
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    f.close();
    return true;
}

bool gChkFolderExist(const QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    const QString p = gRemoveBackSlash(path);
    if (p.isEmpty()) // the root folder itself
        return QFileInfo(path).isDir();
    if (p.endsWith(QLatin1Char(':'))) { // a bare drive: there and ready
        const QStorageInfo drive(p + QLatin1Char('/'));
        return drive.isValid() && drive.isReady();
    }
    return QFileInfo(p).isDir();
}

bool gGetDriveFreeSpace(const QString& path, double& bytes) {
    const QStorageInfo volume(path.trimmed().isEmpty() ? QString() : path);
    if (path.trimmed().isEmpty() || !volume.isValid() || !volume.isReady()) {
        gProcError(QStringLiteral("gGetDriveFreeSpace"), path);
        return false;
    }
    bytes = static_cast<double>(volume.bytesAvailable());
    return true;
}

bool gChkDriveSpace(const QString& path, double needed, bool& enough) {
    double free = 0;
    if (!gGetDriveFreeSpace(path, free))
        return false;
    enough = needed <= free;
    return true;
}

bool gCopyFile(const QString& source, const QString& target) {
    const QString proc = QStringLiteral("gCopyFile");
    const QString from = gRemoveBackSlash(source);
    QFile in(from);
    if (!QFileInfo(from).isFile() || !in.open(QIODevice::ReadOnly)) {
        gSetLastError(0, QStringLiteral("QFile"), in.errorString());
        gProcError(proc, from + QStringLiteral(" -> ") + target);
        return false;
    }
    // The copy is written beside the target under a temporary name and renamed over it at the
    // end, so the target is either the old file or the whole new one.
    CheckedFileWriter out(target);
    bool ok = out.open();
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty()) {
            out.cancel(in.errorString());
            ok = false;
        } else {
            ok = out.write(chunk);
        }
    }
    if (ok && in.error() != QFileDevice::NoError) {
        out.cancel(in.errorString());
        ok = false;
    }
    if (ok)
        ok = out.commit();
    if (!ok) {
        gSetLastError(0, QStringLiteral("QFile"), out.errorString());
        gProcError(proc, from + QStringLiteral(" -> ") + target);
        return false;
    }
    QFile::setPermissions(target, in.permissions());
    return true;
}

QString gBrowseForFolder(const QString& caption, const QString& startDir) {
    return svc().dialogs().chooseFolder(caption, startDir);
}

QString gGetOpenFileName(const QString& caption, const QString& filter, const QString& startDir) {
    const QString f = filter.isEmpty() ? QStringLiteral("全てのﾌｧｲﾙ (*);;ﾋﾞｯﾄﾏｯﾌﾟ (*.BMP *.bmp);;"
                                                        "ﾃｷｽﾄﾌｧｲﾙ (*.TXT *.txt)")
                                       : filter;
    const QString dir = startDir.isEmpty() ? QDir::currentPath() : startDir;
    return svc().dialogs().chooseOpenFile(caption, dir, f);
}

bool gShellOpen(const QString& pathOrUrl) {
    if (pathOrUrl.trimmed().isEmpty())
        return false;
    return svc().shell().open(pathOrUrl);
}

bool gProcTune(int ms) {
    if (ms < 0) {
        gProcError(QStringLiteral("gProcTune"), QStringLiteral("ms=%1").arg(ms));
        return false;
    }
    svc().process().processEvents();
    svc().process().pause(ms);
    return true;
}

bool gRegWrite(const QString& valueName, int kind, const QVariant& value) {
    const QString proc = QStringLiteral("gRegWrite");
    if (valueName.trimmed().isEmpty()) {
        gProcError(proc, QStringLiteral("no value name"));
        return false;
    }
    QSettings settings(kOrganisation, kApplication);
    if (kind == 1) {
        const QString text = value.isNull() ? QString() : value.toString();
        settings.setValue(valueName, text.trimmed().isEmpty() ? QStringLiteral(" ") : text);
    } else if (kind == 4) {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<qint32>::min() ||
            n > std::numeric_limits<qint32>::max()) {
            gProcError(proc, valueName + QStringLiteral("=") + value.toString());
            return false;
        }
        settings.setValue(valueName, static_cast<int>(n));
    } else {
        gProcError(proc, QStringLiteral("kind=%1").arg(kind));
        return false;
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        gProcError(proc, settings.fileName());
        return false;
    }
    return true;
}

QVariant gRegRead(const QString& valueName, int kind, const QVariant& defaultValue) {
    if (kind != 1 && kind != 4) {
        gProcError(QStringLiteral("gRegRead"), QStringLiteral("kind=%1").arg(kind));
        return defaultValue;
    }
    QSettings settings(kOrganisation, kApplication);
    if (valueName.trimmed().isEmpty() || !settings.contains(valueName))
        return defaultValue;
    const QVariant v = settings.value(valueName);
    if (kind == 1) {
        QString text = v.toString();
        const qsizetype nul = text.indexOf(QChar(0));
        if (nul >= 0)
            text.truncate(nul);
        return text.trimmed().isEmpty() ? QString() : text;
    }
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? QVariant(n) : defaultValue;
}
