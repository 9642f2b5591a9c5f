#pragma once

#include <QString>
#include <functional>

class QWidget;

// What the window routines of this layer show without owning it. The program registers its
// main menu, shutdown window and About window at start-up (gInstallAppHooks); the message
// catalogue registers itself when it is opened (gMsgInit). A window hook returns the window's
// single instance; an unset one fails like a window that cannot be made.
struct AppHooks {
    std::function<QWidget*()> menuWindow;       // shown by gShowMenu
    std::function<QWidget*()> endProgramWindow; // shown by gProcEndProgram
    std::function<QWidget*()> aboutWindow;      // shown by the help menu's About item
    // Shows catalogue message `code` (gDispMsg); the help openers' message 14.
    std::function<int(int code, const QString& addText, int position)> dispMsg;
};

AppHooks& gAppHooks();
