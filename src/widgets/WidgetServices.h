#pragma once

#include "base/Services.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

// The desktop implementations of the services: message boxes, file dialogs, the desktop's
// programs and the way the process ends.

// How a message-box style (buttons + icon + default button) looks as a QMessageBox.
struct PromptLayout {
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
};
PromptLayout promptLayoutFor(int style);
// The MsgResult value of a pressed button (OK 1 ... No 7); 0 for a button outside that set.
// The caption of a message-box button: はい／いいえ, キャンセル ….
QString gPromptButtonText(QMessageBox::StandardButton button);
int promptResultFor(QMessageBox::StandardButton button);

class WidgetPrompt : public PromptService {
public:
    // An empty title shows the application title.
    int show(const QString& text, const QString& title, int style) override;
};

class WidgetDialogs : public DialogService {
public:
    QString chooseFolder(const QString& caption, const QString& startDir) override;
    QString askPassword(const QString& text) override;
    QString chooseOpenFile(const QString& caption, const QString& startDir,
                           const QString& filter) override;
};

// The address handed to the desktop: an address with a scheme (http:, file:, mailto:) as it
// is, anything else as a local file path.
QUrl shellUrlFor(const QString& pathOrUrl);

class DesktopShell : public ShellService {
public:
    bool open(const QString& pathOrUrl) override;
    bool startDetached(const QString& program, const QStringList& args) override;
};

// Ends the process by leaving every running event loop with the exit code. When no loop runs
// yet (a failure during start-up), main() reads the request through desktopEndRequested().
class DesktopProcess : public ProcessService {
public:
    void terminate(int exitCode) override;
};
// True once the desktop process service was asked to end the process; code is the exit code.
bool desktopEndRequested(int& exitCode);

// The first calculator program found on the search path (or in `searchPaths` when given):
// gnome-calculator, kcalc, galculator, mate-calc, xcalc; calc.exe on Windows. The program's
// full path, or empty when none is installed.
QString findCalculatorProgram(const QStringList& searchPaths = {});

// Installs the desktop prompt, dialogs, shell and process services (the clock stays the real
// one).
void installWidgetServices();
