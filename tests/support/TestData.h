#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A throw-away program folder: sys/db1 (fresh, from the schema script), sys/msg, sys/icon.ico,
// sys/excel_format/ with the built templates, and index.html, copied from the build. The
// temporary folder (env "temp"/"tmp") points into it, so error logs land there too.
// open() sets gstrAppPath, gstrDbPath, gstrExcelFormatPath, gstrAppTitle and opens both
// databases; the destructor closes them.
class TestProgramFolder {
public:
    TestProgramFolder();
    ~TestProgramFolder();
    bool isValid() const { return m_ok; }
    QString path() const;         // the program folder
    QString dbPath() const;       // sys/db1
    QString tempPath() const;     // the temporary folder used for the error log
    QString errorLogPath() const; // tempPath + "/tovaki_ErrLog.txt"
    QString errorLog() const;     // its contents ("" when absent)
    int errorLogEntries() const;  // number of entries in it
    // The procedure named by each entry, in the order written ("DbInit", "Main", ...).
    QStringList errorLogProcedures() const;
    bool open(); // DbInit + gMsgInit
    void close();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_ok = false;
};
