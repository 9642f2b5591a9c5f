#pragma once

#include <QString>

// Where the program's files and the data file are.
//
// The program folder holds what the build ships: sys/msg, sys/db1.empty, sys/icon.ico,
// sys/excel_format/ and index.html. It is the executable's folder, or ../share/tovaki beside it
// when the program is installed (bin/ and share/tovaki/ under one prefix).
//
// The data file is found in this order, the same for every program:
//  1. the file named on the command line (--db FILE), else the environment variable TOVAKI_DB;
//  2. sys/db1 in the portable folder (the executable's folder, or the folder a program was
//     told to use), when it exists;
//  3. db1 in the per-user data folder (QStandardPaths::AppDataLocation for organisation
//     "Quillo-soft", application "tovaki"), made from sys/db1.empty at the first start,
//     owner-only.
// The data file's lock, its backups and temporary copies live beside it.

// The program folder of an executable in executableFolder.
QString gProgramFolder(const QString& executableFolder);

// The per-user data folder (it may not exist yet).
QString gUserDataFolder();

// Resolves the data file as described above. dataOption: the --db value ("" when not given).
// portableFolder: the folder whose sys/db1 is used when present. programFolder: where
// sys/db1.empty is. On success *dataFile is the file to open; when the shipped empty file is
// missing it names the data file that does not exist, so that opening it fails as for any
// missing data file. False, after a message (through the prompt service) naming the file or the
// folder, when --db / TOVAKI_DB names a missing file or the data folder cannot be created or
// written; nothing is created then.
bool gResolveDataFile(const QString& dataOption, const QString& portableFolder,
                      const QString& programFolder, QString* dataFile);

// The data location chosen in the connection window, kept per user outside the books (QSettings
// of organisation "Quillo-soft", application "tovaki", in the user's scope, group "Server"): the
// data file (the default), or the books on a server. It is used at the start when neither
// --server nor TOVAKI_SERVER names a server and neither --db nor TOVAKI_DB names a data file.
// No password is kept: it comes from the user's ~/.pgpass (read by the client library) or is
// asked for when connecting.
struct ServerChoice {
    bool useServer = false;
    QString host; // a name, an address or a socket folder; "" for the client library's default
    int port = kDefaultServerPort;
    QString database;
    QString user; // "" for the login name

    static constexpr int kDefaultServerPort = 5432;
    bool operator==(const ServerChoice&) const = default;
};

ServerChoice gReadServerChoice();
// False (logged "gWriteServerChoice") when the user's settings cannot be written.
bool gWriteServerChoice(const ServerChoice& choice);
// The connection string of a choice ("host='…' port='…' dbname='…' user='…'", the values quoted
// for the client library); "" for the data file.
QString gServerChoiceConnInfo(const ServerChoice& choice);
// The server the program opens at the start: serverOption (--server, else TOVAKI_SERVER) when
// given; "" (the data file) when dataOption (--db) or TOVAKI_DB names one; else the chosen one.
QString gStartupServer(const QString& serverOption, const QString& dataOption);
