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
