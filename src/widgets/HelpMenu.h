#pragma once

#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The help menu every function window carries: "ヘルプ(&H)" with "目次(&C)" (opens the help
// page) and "このソフトについて(&A)" (the About window). A failure to open either goes to the
// fatal error routine as formName + "_mnuContents_Click" / "_mnuAbout_Click".
struct HelpMenu {
    QMenu* mnuHelp = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr; // null when the menu was made without it
};
HelpMenu gAddHelpMenu(QMenuBar* bar, const QString& formName, bool withAbout = true);

// The menu items' work, for windows that build their own menu.
void gMenuShowContents(const QString& formName);
void gMenuShowAbout(const QString& formName);

// Opens the error log with the desktop's program for text files.
bool gDspErrLog();
// Opens gAddBackSlash(svc().paths().app) + file (every caller passes "index.html"); on failure
// message 14 naming the file and a log entry under "gDspHelp".
bool gDspHelp(const QString& file);
// Opens the maker's web page (the bundled help page when the build names none); on failure
// message 14 with the address and a log entry under "gDspHP".
bool gDspHP();
