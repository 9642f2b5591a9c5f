#pragma once

#include <QString>

class QWidget;

// Window display. Position 0 centred, 1 upper third, 9 as designed. Modal 1 shows the window
// modally (returns when it closes); otherwise modeless and positioned.
bool gDspForm(QWidget* window, int position, int modal);
bool gDspWindowPosition(QWidget* window, int position);
// Moves a window to position 0 or 1 at once, without letting events run: for windows that
// place themselves while being shown (modal windows designed to open centred).
bool gPlaceWindow(QWidget* window, int position);
bool gDspWindowSize(QWidget* window, double ratio);
bool gGetScreenSize(int& width, int& height); // pixels of the primary screen
// Mode 0: caption + five spaces + title; mode 1: title + five spaces + caption.
void gSetFormCaption(QWidget* window, int mode);

// Twips (1/1440 inch) to pixels with the screen's logical DPI.
int twipsToPixelsX(int twips);
int twipsToPixelsY(int twips);

// Shows the main menu again (called by a function window when it closes). The menu, the
// shutdown window and the About window belong to the program; it registers them (AppHooks.h).
void gShowMenu();

// Shows the shutdown window, which closes and compacts the data file and ends the process.
bool gProcEndProgram();
// Tells the user, logs, shows the log, runs the shutdown and ends the process.
void gProcFatalError(const QString& procName, const QString& text = {});
// Waits ms while events run; a negative value does nothing and returns false.
bool gSleep(int ms);
