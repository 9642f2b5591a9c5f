#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
struct ServerChoice;

// 接続先の設定: where the books are, the data file (the default) or a PostgreSQL server (host,
// port, database, user), kept per user outside the books (gWriteServerChoice,
// store/DataLocation.h) and used from the next start. No password is asked for or kept here:
// it comes from ~/.pgpass or is asked when connecting (接続テスト and the start). Opened from
// the start-up refusal of a server and from the system window.
class frmConnection : public QDialog {
    Q_OBJECT
public:
    explicit frmConnection(QWidget* parent = nullptr);

    QRadioButton* optDataFile;
    QRadioButton* optServer;
    QGroupBox* fraServer;
    QLineEdit* txtHost;
    QSpinBox* spnPort;
    QLineEdit* txtDatabase;
    QLineEdit* txtUser;
    QLabel* lblPassword;
    QLabel* lblNextStart;
    QPushButton* cmdTest;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;

private:
    ServerChoice choice() const;
    void cmdTest_Click();
    void cmdSave_Click();
};

// Shows the window modally: true when the user saved a choice. nextStart: the choice takes
// effect at the next start (from the system window), which the window then says.
bool gShowConnectionWindow(QWidget* parent, bool nextStart);
