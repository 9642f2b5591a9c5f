#pragma once

#include <QString>

class QApplication;

// Start-up: refuses a second instance, finds the program folder, opens the data file and the
// message catalogue, shows the main menu. Returns true when the menu is shown; false when the
// process is ending (second instance; a data file that cannot be used, after the one message
// that says why; or a later failure that ran the fatal sequence).
// programFolder: the folder holding sys/ and index.html, and the portable folder whose sys/db1
// is used when present; empty means the executable's (store/DataLocation.h). dataOption: the
// data file named on the command line (--db), "" when none. server: the libpq connection string
// of server mode (--server or TOVAKI_SERVER): the books on a PostgreSQL server instead of a data
// file, with no lock file beside a file; "" for the data file. A refused server offers the
// connection window; a choice saved there is tried at once.
bool Main(const QString& programFolder = {}, const QString& dataOption = {},
          const QString& server = {});

// Registers the main menu, the shutdown window and the About window with the window routines
// of the base layer (AppHooks.h). Main() does it first; tests of windows do it at start.
void gInstallAppHooks();

// Sets the program folder and the data file's path, opens the data file and the message
// catalogue, sets the application title. False (after telling the user and logging) when
// either database cannot be opened. server: as for Main (dataFile is then unused); a server
// that asks for a password not in ~/.pgpass has it asked (kept for the session only). When
// openConnectionWindow is given, a refused server's message asks whether to open the connection
// window (接続先の設定), and the answer is returned there.
bool mInitProgram(const QString& programFolder, const QString& dataFile, const QString& server = {},
                  bool* openConnectionWindow = nullptr);

// The data file for a program folder (empty: the executable's) and a --db value, in the order
// of gResolveDataFile (store/DataLocation.h); the per-user file is made at the first start.
// False after a message when it cannot be found or made.
bool gFindDataFile(const QString& programFolder, const QString& dataOption, QString* dataFile);
// Takes the lock beside the data file for the session and removes what an interrupted
// compaction or restore left beside it. False, after telling the user which computer, user and
// process have the file, when another program uses it (or the lock cannot be made at all); the
// file is then not opened. A folder that cannot take the lock file is no refusal: the file is
// opened read-only.
bool gTakeDataFile(const QString& dataFile);

// Another running instance of the program ends this process: it is asked to bring its windows
// forward (a request file beside the lock, taken by the running instance within half a second;
// this start waits up to two seconds), then, when showMessage is true, the message
// "既に起動されています" says whether it came forward or to pick it from the task bar. Returns
// true when this is the only instance (it then holds the instance lock until the process ends and
// answers such requests), false when it is ending.
bool gChkPrevInstance(bool showMessage);
// Gives up the instance lock (at the end of the process).
void gReleaseInstanceLock();
// The lock file that marks a running instance of this user: in the temporary folder, named after
// the application title and the user (tovaki_hanako.lock).
QString gInstanceLockPath();

// Application-wide look: the window icon from the program folder, Qt's own Japanese texts
// (qtbase_ja) when installed, a Japanese font when one is installed, and no automatic quit when the
// last window closes (the shutdown window ends the program).
void gPrepareApplication(QApplication& app, const QString& programFolder);
