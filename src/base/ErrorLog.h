#pragma once

#include <QString>

// The one failure policy: a routine that fails calls gProcError with its own name (window
// routines prefix the window's name, "frmData_mChangeView") and returns false. gProcError
// appends an entry to the error log and shows nothing.

// Describes the failure that the next gProcError call reports (number, source, description).
// Routines that catch an engine or system error set it just before reporting; gProcError
// clears it. Without it the entry shows number 0 and empty texts.
void gSetLastError(int number, const QString& source, const QString& description);

void gProcError(const QString& procName, const QString& text = {});

// The log's full path: the temporary folder + application title + "_ErrLog_" + the user's login
// name (the user number when the name is unusable in a file name) + ".txt", e.g.
// /tmp/tovaki_ErrLog_hanako.txt. Each user has a log of their own, owner-only (0600).
bool gGetErrLogPath(QString& path);

// The user as a part of a file name in the shared temporary folder (the error log, the
// single-instance lock): the login name, or the user number when the name is unknown or holds
// characters other than letters, digits, ".", "_" and "-".
QString gUserFileTag();

// The temporary folder: env "temp", then "tmp", then the system temporary folder, then the
// program folder; the first that exists.
QString gGetTempFolder();

// The composed text of one entry (lines joined by CR LF, no framing empty lines).
QString gComposeErrorText(const QString& procName, const QString& text, int number,
                          const QString& source, const QString& description);
