#pragma once

#include "base/SingleInstance.h"

#include <QMainWindow>
#include <array>
#include <functional>

class QAction;
class QPushButton;

// The main menu: seven buttons (Command1_0 ... Command1_6) open the function windows or end
// the program. Opening a window closes the menu (the switching flag keeps that from ending the
// program); closing the menu otherwise runs the shutdown.
class frmMenu : public QMainWindow, public SingleInstance<frmMenu> {
    Q_OBJECT
public:
    // The function windows the menu opens.
    enum class Target { Master, Ledger, Print, System, Backup };
    // Returns the window's single instance (created on demand), ready to be shown, or nullptr
    // when it cannot be made. The menu shows it modeless at its position (the report window in
    // the upper third, the others centred) and then closes itself.
    using Opener = std::function<QWidget*()>;

    // Registers how a window is opened; an empty opener removes it. A button whose window has
    // no opener stays disabled (the ledger buttons stay enabled: they first check that
    // suppliers exist). Takes effect on an open menu at once.
    static void setOpener(Target target, Opener opener);
    static bool hasOpener(Target target);

    std::array<QPushButton*, 7> Command1{};
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    frmMenu();
    void Command1_Click(int index);
    void mOpenWindow(Target target);
    bool mGetSupplierCount(int& count);
    void mUpdateButtons();

    bool m_blnSwitching = false;
    friend class SingleInstance<frmMenu>;
};

// Registers the openers of the windows built so far; called once, before the first opener is
// looked up. Each window's subsystem adds its line in MenuWiring.cpp.
void gWireMenuWindows();
