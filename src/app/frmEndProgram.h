#pragma once

#include "base/SingleInstance.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;

// "終了処理": shown modally at the end. When first shown it waits two seconds so the user sees
// it, closes and compacts the data file and writes the automatic backup, showing each step
// (lblStep, prgStep), closes itself and ends the process. The user cannot close it before that
// work is done.
class frmEndProgram : public QDialog, public SingleInstance<frmEndProgram> {
    Q_OBJECT
public:
    QLabel* imgIcon = nullptr;
    QLabel* lblMessage1 = nullptr;
    QLabel* lblMessage2 = nullptr;
    QLabel* lblStep = nullptr;
    QProgressBar* prgStep = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmEndProgram();
    void mRunShutdown();
    void mShowStep(int step, const QString& text);

    bool m_blnStarted = false;
    bool m_blnDone = false;
    friend class SingleInstance<frmEndProgram>;
};

// The steps of the shutdown that take time, in their order.
enum class ShutdownStep { Compacting, BackingUp };

// Closes the data file, compacts it (when due) and writes its automatic backup (the shutdown
// window's work). onStep is called as each step starts, for the steps that run. A backup that
// fails is told; the shutdown goes on.
bool gTermDataBase(const std::function<void(ShutdownStep)>& onStep = {});
