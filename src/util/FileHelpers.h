#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// Paths and names
bool gGetDesktopPath(QString& path);            // desktop, or the home folder when none
QString gGetLongFileName(const QString& path);  // the absolute, canonical form when it exists
QString gRemoveBackSlash(const QString& path);  // one trailing separator removed
QString gGetFileExtension(const QString& name); // after the last "."; "" when none
QString gGetFileTitle(const QString& name);     // the name without "." and extension
// "yyyy年MM月dd日 <weekday> hh時mm分"; false when text is not a date/time.
bool gDateToFileName(const QString& dateTimeText, QString& out);
QString gGetWeekJapanese(const QDate& date); // "月曜日"
// A name (title + extension of fileName) under which no file exists yet in folder: the name
// itself when free, else title + "(2)", "(3)" ... + extension. Fails (logged
// "gGetUniqueFName", "ディレクトリが存在しませんでした。") when the folder is missing.
bool gGetUniqueFName(const QString& folder, const QString& fileName, QString& out);

// Existence and space
bool gChkFileExist(const QString& path);
bool gChkFolderExist(const QString& path);
bool gGetDriveFreeSpace(const QString& path, double& bytes); // the volume holding path
bool gChkDriveSpace(const QString& path, double needed, bool& enough);

// Files, dialogs and the shell (dialogs and shell go through the services)
bool gCopyFile(const QString& source, const QString& target); // via a temporary name + rename
QString gBrowseForFolder(const QString& caption, const QString& startDir = {});
QString gGetOpenFileName(const QString& caption, const QString& filter,
                         const QString& startDir = {});
bool gShellOpen(const QString& pathOrUrl);
bool gProcTune(int ms); // lets events run, then waits ms

// Small machine-wide values (QSettings, organisation "Quillo-soft", application "tovaki").
// kind 1 text, 4 32-bit number. A blank text is written as one space; a blank text read back
// is returned as "".
bool gRegWrite(const QString& valueName, int kind, const QVariant& value);
QVariant gRegRead(const QString& valueName, int kind, const QVariant& defaultValue);
