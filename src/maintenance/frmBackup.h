#pragma once

#include <QMainWindow>

class QGroupBox;
class QLabel;
class QPushButton;

// Backup and restore of the data file. One instance, created when first shown and released
// when closed; closing it shows the main menu again.
class frmBackup : public QMainWindow {
    Q_OBJECT
public:
    // The single instance, created on first use.
    static frmBackup* instance();
    static frmBackup* existing(); // the window when one is open, else nullptr
    ~frmBackup() override;

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    frmBackup();
    void cmdBackup_Click();
    void cmdRestore_Click();

    static frmBackup* s_instance;
};
