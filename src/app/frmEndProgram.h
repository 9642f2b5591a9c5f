#pragma once

#include "base/SingleInstance.h"

#include <QDialog>

class QLabel;

// "終了処理": shown modally at the end. When first shown it waits two seconds so the user sees
// it, closes and compacts the data file, closes itself and ends the process. The user cannot
// close it before that work is done.
class frmEndProgram : public QDialog, public SingleInstance<frmEndProgram> {
    Q_OBJECT
public:
    QLabel* imgIcon = nullptr;
    QLabel* lblMessage1 = nullptr;
    QLabel* lblMessage2 = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmEndProgram();
    void mRunShutdown();

    bool m_blnStarted = false;
    bool m_blnDone = false;
    friend class SingleInstance<frmEndProgram>;
};

// Closes the data file, compacts it and writes its automatic backup (the shutdown window's
// work). A backup that fails is told; the shutdown goes on.
bool gTermDataBase();
