#include "store/FileCopy.h"

#include <QFile>
#include <cerrno>
#include <memory>
#include <windows.h>

namespace {

const wchar_t* wide(const QString& path) {
    return reinterpret_cast<const wchar_t*>(path.utf16());
}

int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    default:
        return EIO;
    }
}

} // namespace

// The copy lives in the user's own profile folder, whose access list keeps it private; the file
// is written without sharing, so nobody removes it while it is being written.
int gCopyFileDurably(const QString& source, const QString& part) {
    const HANDLE in = CreateFileW(wide(source), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return errnoOf(GetLastError());
    const HANDLE out = CreateFileW(wide(part), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        const int err = errnoOf(GetLastError());
        CloseHandle(in);
        return err;
    }
    std::unique_ptr<char[]> buf(new char[1 << 20]);
    int err = 0;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(in, buf.get(), 1 << 20, &n, nullptr)) {
            err = errnoOf(GetLastError());
            break;
        }
        if (n == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(out, buf.get(), n, &written, nullptr) || written != n) {
            err = errnoOf(GetLastError());
            break;
        }
    }
    if (!err && !FlushFileBuffers(out))
        err = errnoOf(GetLastError());
    if (!CloseHandle(out) && !err)
        err = errnoOf(GetLastError());
    CloseHandle(in);
    return err;
}

// A copy another process is still writing cannot be removed (it is open without sharing).
void gRemoveUnlessBeingWritten(const QString& path) {
    QFile::remove(path);
}

bool gCanReplaceOpenFile() {
    return false;
}
