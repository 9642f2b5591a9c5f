#pragma once

#include <QString>

// Process-wide values set at start-up and by the menu.
// The program's folders are the services' (svc().paths()).
extern QString gstrAppTitle;    // set at the end of a successful start-up
extern int glngDataKind;        // 1 purchase ledger, 2 sales ledger, 0 none opened yet
extern bool gblnMasterFromData; // the supplier master was opened from the ledger window

// The application title and version, from the build.
QString appTitle();
int appVersionMajor();
int appVersionMinor();
int appVersionRevision();
QString appVersionText(); // "major.minor.revision"
// The maker's web address, or empty when the build names none.
QString appHomepage();

// The path with exactly one trailing separator added when it has none. Paths use "/" on every
// platform (Qt converts for the system); a trailing "\" is accepted as a separator as well.
QString gAddBackSlash(const QString& path);
