#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Data shared by the backup, restore and settings tests, in the open data file (gdbData()).

// Two suppliers, purchase and sales lines, a class and a few settings.
bool addSampleData();
// A supplier and a line that the sample does not have, to tell two states apart.
bool addMoreData();
// Every row of the suppliers, both ledgers, the class list and the settings other than the
// backup and restore times, as text, in a fixed order.
QStringList dumpData();
// datField of T_SYSTEM row `row` (invalid when missing) and the number of rows with that id.
QDateTime systemTime(int row);
int systemRowCount(int row);

QStringList filesIn(const QString& folder);
