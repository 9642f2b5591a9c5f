#pragma once

#include <QString>
#include <filesystem>

class QByteArray;
class QProcess;
class QFileInfo;

// What files and their owner look like on this system: one implementation per platform
// (SystemFilesPosix.cpp, SystemFilesWindows.cpp). On POSIX systems owner-only files get mode
// 0600 and are made under the mask 0077; on Windows the files live in the user's own profile
// folders (%APPDATA%, %LOCALAPPDATA%, the user's Temp and Desktop), whose access list already
// keeps other users out, so nothing more is set.

// While one lives, the files and folders this process makes are owner-only from their creation
// (POSIX: the process's mask 0077, restored afterwards; Windows: nothing).
class OwnerOnlyCreation {
public:
    OwnerOnlyCreation();
    ~OwnerOnlyCreation();
    OwnerOnlyCreation(const OwnerOnlyCreation&) = delete;
    OwnerOnlyCreation& operator=(const OwnerOnlyCreation&) = delete;

private:
    unsigned m_saved = 0;
};

// Makes the file's written data durable. 0 when done or when the file system cannot do it at
// all; else the system's error number.
int gSyncFileHandle(int handle);

// The user's login name as the system knows it ("" when it cannot tell).
QString gSystemLoginName();
// A name for the user made only of digits or letters (POSIX: the user number; Windows: "user").
QString gSystemUserId();

// Appends bytes to a file that is this user's alone: a new one is made owner-only, and nothing
// is written to a name taken by a link, a pipe or another user's file.
void gAppendToOwnFile(const QString& path, const QByteArray& bytes);

// Whether the system cannot use a path this long (Windows: 260 characters and more).
bool gPathTooLong(const QString& path);

// A path for the C++ library's file functions (std::filesystem).
std::filesystem::path gFsPath(const QString& path);
// A file name as the C libraries this program uses take it: the system's bytes on POSIX, UTF-8 on
// Windows (SQLite's file names).
QByteArray gNativeFileBytes(const QString& path);
// Whether this user owns the file or folder and has made it read-only (POSIX: no owner write
// bit; the superuser could write it anyway, but it is meant to stay as it is). Windows: the
// read-only attribute is already part of QFileInfo::isWritable.
bool gOwnerMadeReadOnly(const QFileInfo& info);

// Whether the path lies on another computer: a network share (\\server\share) or a drive
// letter mapped to one (Windows). POSIX: false (network mounts are not told apart).
bool gOnNetworkDrive(const QString& path);

// Makes the files a child process creates owner-only from their creation (POSIX: the child runs
// under the mask 0077; Windows: nothing, as above).
void gMakeChildFilesOwnerOnly(QProcess& process);
