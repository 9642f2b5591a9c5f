#pragma once

#include "base/SingleInstance.h"

#include <QMainWindow>

class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;

// Backup and restore of the data file: a backup into a chosen folder, a restore from a chosen
// file or from one of the automatic backups (listed with their time, size and numbers of
// suppliers and lines). One instance, created when first shown and released when closed;
// closing it shows the main menu again.
class frmBackup : public QMainWindow, public SingleInstance<frmBackup> {
    Q_OBJECT
public:
    QGroupBox* fraBackup;
    QLabel* imgBackup;
    QLabel* lblBackupMsg;
    QLabel* lblBackupMsg2;
    QPushButton* cmdBackup;
    QGroupBox* fraRestore;
    QLabel* imgRestore;
    QLabel* lblRestoreMsg;
    QLabel* lblRestoreMsg2;
    QPushButton* cmdRestore;
    QGroupBox* fraAutoBackup;
    QTableWidget* lstAutoBackup;
    QPushButton* cmdRestoreAuto;
    QPushButton* cmdRestoreBefore = nullptr; // db1.before-restore, when there is one

    // Fills the list of automatic backups (newest first).
    bool mListAutoBackups();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    frmBackup();
    void cmdBackup_Click();
    void cmdRestore_Click();
    void cmdRestoreAuto_Click();
    // Asks, then restores the data from file.
    void mRestoreFrom(const QString& file);

    friend class SingleInstance<frmBackup>;
};
