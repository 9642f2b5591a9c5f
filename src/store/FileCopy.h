#pragma once

#include <QString>

// Copying a data file and recognising a copy still being written, one implementation per
// platform (FileCopyPosix.cpp, FileCopyWindows.cpp).

// Copies source to part, a new file (an existing one is not replaced) that is owner-only from
// its creation and marked as being written until it is complete; its data is made durable
// before this returns. 0, or the system's error number (the partial file may remain).
int gCopyFileDurably(const QString& source, const QString& part);

// Removes the file at path unless another process is still writing it (a copy in progress).
void gRemoveUnlessBeingWritten(const QString& path);

// Whether a file can be renamed over, or replaced, while a program has it open (POSIX: yes;
// Windows: no).
bool gCanReplaceOpenFile();
