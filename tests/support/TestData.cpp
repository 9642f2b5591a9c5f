#include "TestData.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        const QString dst = to + QLatin1Char('/') + rel;
        if (QFileInfo(src).isDir()) {
            QDir().mkpath(dst);
        } else if (!QFile::copy(src, dst)) {
            return false;
        } else {
            QFile::setPermissions(dst, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
    return true;
}

} // namespace

TestProgramFolder::TestProgramFolder() : m_dir(std::make_unique<QTemporaryDir>()) {
    const QString app = QStringLiteral(TOVAKI_APP_DIR);
    const QString fresh = QStringLiteral(TOVAKI_FRESH_DIR);
    const QString root = m_dir->path();
    m_ok =
        m_dir->isValid() && QDir().mkpath(root + QStringLiteral("/app/sys/excel_format")) &&
        QDir().mkpath(root + QStringLiteral("/temp")) &&
        QFile::copy(fresh + QStringLiteral("/db1"), dbPath()) &&
        QFile::copy(app + QStringLiteral("/sys/msg"), path() + QStringLiteral("/sys/msg")) &&
        QFile::copy(app + QStringLiteral("/sys/icon.ico"),
                    path() + QStringLiteral("/sys/icon.ico")) &&
        QFile::copy(app + QStringLiteral("/index.html"), path() + QStringLiteral("/index.html")) &&
        copyTree(app + QStringLiteral("/sys/excel_format"),
                 path() + QStringLiteral("/sys/excel_format"));
    QFile::setPermissions(dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("temp", tempPath().toLocal8Bit());
    qputenv("tmp", tempPath().toLocal8Bit());
    gstrAppPath = path();
    gstrDbPath = dbPath();
    gstrExcelFormatPath = gAddBackSlash(path()) + QStringLiteral("sys/excel_format/");
    gstrAppTitle = appTitle();
}

TestProgramFolder::~TestProgramFolder() {
    close();
}

QString TestProgramFolder::path() const {
    return m_dir->path() + QStringLiteral("/app");
}
QString TestProgramFolder::dbPath() const {
    return path() + QStringLiteral("/sys/db1");
}
QString TestProgramFolder::tempPath() const {
    return m_dir->path() + QStringLiteral("/temp");
}
QString TestProgramFolder::errorLogPath() const {
    return tempPath() + QLatin1Char('/') + appTitle() + QStringLiteral("_ErrLog.txt");
}

QString TestProgramFolder::errorLog() const {
    QFile f(errorLogPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

int TestProgramFolder::errorLogEntries() const {
    return static_cast<int>(errorLog().count(QStringLiteral("アプリケーション名：")));
}

QStringList TestProgramFolder::errorLogProcedures() const {
    static const QRegularExpression line(
        QStringLiteral("^(\\S+) \\(.*\\)でエラーが発生しました。\r$"),
        QRegularExpression::MultilineOption);
    QStringList names;
    auto it = line.globalMatch(errorLog());
    while (it.hasNext())
        names << it.next().captured(1);
    return names;
}

bool TestProgramFolder::open() {
    return DbInit(dbPath()) && gMsgInit(path() + QStringLiteral("/sys/msg"));
}

void TestProgramFolder::close() {
    DbClose();
    gMsgClose();
}
