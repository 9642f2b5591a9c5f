#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// Paths and names
bool gGetDesktopPath(QString& path); // desktop, or the home folder when none
// Where a file saved in folder is, as a message begins: 「デスクトップに」 for the desktop,
// 「ホームフォルダに（デスクトップのフォルダがないため）」 for the home folder that gGetDesktopPath
// gives when there is no desktop folder, else 「保存先に」.
QString gSavedPlaceText(const QString& folder);
// The absolute, canonical form when the path exists, else the absolute, cleaned form.
QString gGetLongFileName(const QString& path);
QString gRemoveBackSlash(const QString& path);  // one trailing separator removed
QString gGetFileExtension(const QString& name); // after the last "."; "" when none
QString gGetFileTitle(const QString& name);     // the name without "." and extension
// "yyyy年MM月dd日 <weekday> HH時mm分" (24-hour clock; 00時00分 for a date alone); false when text
// is not a date/time ("yyyy/MM/dd HH:mm:ss", "yyyy/M/d H:mm", "yyyy-MM-dd", ...).
bool gDateToFileName(const QString& dateTimeText, QString& out);
QString gGetWeekJapanese(const QDate& date); // "月曜日"; "" and logged for an invalid date
// A name (title + extension of fileName) under which no file exists yet in folder: the name
// itself when free, else title + "(2)", "(3)" ... + extension. Fails (logged
// "gGetUniqueFName", "ディレクトリが存在しませんでした。") when the folder is missing. Only the
// last component of fileName is used. The name returned is never that of anything existing in the
// folder (file, folder or dangling link).
bool gGetUniqueFName(const QString& folder, const QString& fileName, QString& out);

// Existence and space
// False for a blank path. "folder/*" (a last component with the wildcards "*" or "?", such as
// "*.tvk"): true when a file of the folder matches. Otherwise true when path is a file that
// opens for reading.
bool gChkFileExist(const QString& path);
// True when path (one trailing separator ignored) is an existing folder; a bare drive "A:" when
// that drive is ready. A file is not a folder.
bool gChkFolderExist(const QString& path);
// The bytes available to this user on the volume holding path (an existing path). Failure
// (no such path, volume not ready) logged "gGetDriveFreeSpace".
bool gGetDriveFreeSpace(const QString& path, double& bytes);
// enough = needed <= the free bytes (equal is enough).
bool gChkDriveSpace(const QString& path, double needed, bool& enough);

// Files, dialogs and the shell (dialogs and shell go through the services)
// Copies the file source (one trailing separator ignored) to the path target: written under a
// temporary name in the target's folder and renamed, so an existing target is replaced whole or
// stays as it was, and nothing is left behind on failure. The copy gets the source's
// permissions. Failure logged "gCopyFile" with the system's reason ("No space left on device").
bool gCopyFile(const QString& source, const QString& target);
// The chosen folder, "" when cancelled.
QString gBrowseForFolder(const QString& caption, const QString& startDir = {});
// The chosen file, "" when cancelled. An empty filter offers all files, bitmaps and text files;
// an empty startDir starts in the current folder.
QString gGetOpenFileName(const QString& caption, const QString& filter,
                         const QString& startDir = {});
// Opens a document or address with the desktop's program; false when the desktop refuses it or
// the path is blank.
bool gShellOpen(const QString& pathOrUrl);
bool gProcTune(int ms); // lets events run, then waits ms; negative ms logged "gProcTune", false

// Small machine-wide values (QSettings, organisation "Quillo-soft", application "tovaki").
// kind 1 text, 4 32-bit number. A blank text is written as one space; a blank text read back
// is returned as "". A missing value, or a number that is not one, reads as the default. A
// failed write, another kind or a number outside 32 bits is logged "gRegWrite" / "gRegRead".
bool gRegWrite(const QString& valueName, int kind, const QVariant& value);
QVariant gRegRead(const QString& valueName, int kind, const QVariant& defaultValue);
