#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

// Message-box styles: the sum of a button set, an icon and a default button, as stored in the
// message catalogue's DLGFLG column.
namespace MsgStyle {
constexpr int OKOnly = 0;
constexpr int OKCancel = 1;
constexpr int AbortRetryIgnore = 2;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int RetryCancel = 5;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
constexpr int DefaultButton3 = 512;
// With YesNoCancel: the buttons read "開く" (Yes), "フォルダを開く" (No) and "閉じる" (Cancel),
// for the question that follows a saved file.
constexpr int FileButtons = 0x1000;
} // namespace MsgStyle

// Buttons a message box returns.
namespace MsgResult {
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgResult

// Shows a message box and returns the button pressed (MsgResult). An empty title means the
// application title.
class PromptService {
public:
    virtual ~PromptService() = default;
    virtual int show(const QString& text, const QString& title, int style) = 0;
};

// Folder and file choosers. An empty result means the user cancelled.
class DialogService {
public:
    virtual ~DialogService() = default;
    virtual QString chooseFolder(const QString& caption, const QString& startDir) = 0;
    // filter in Qt form, e.g. "バックアップファイル (*.tvk)"
    virtual QString chooseOpenFile(const QString& caption, const QString& startDir,
                                   const QString& filter) = 0;
    // Asks for a password (the typed characters hidden); "" when cancelled. Nothing keeps it.
    virtual QString askPassword(const QString&) { return {}; }
};

class ClockService {
public:
    virtual ~ClockService() = default;
    virtual QDate today() const { return QDate::currentDate(); }
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

// Opens documents and addresses with the desktop's programs and starts other programs.
class ShellService {
public:
    virtual ~ShellService() = default;
    // A local path or an address (http:, file:). True when the desktop accepted it.
    virtual bool open(const QString& pathOrUrl) = 0;
    // Starts a program detached from this process. True when it started.
    virtual bool startDetached(const QString& program, const QStringList& args) = 0;
};

// The deliberate waits (shutdown window, processing cover) and how the process ends.
class ProcessService {
public:
    virtual ~ProcessService() = default;
    // Waits ms milliseconds while window events keep running.
    virtual void pause(int ms);
    // Lets pending window events run once.
    virtual void processEvents();
    // Ends the process. Tests replace it with a recorder; callers must not rely on it
    // never returning.
    virtual void terminate(int exitCode);
};

// The program's folders and its data file.
struct ProgramPaths {
    QString app;         // the program folder, without a trailing separator
    QString db;          // the data file
    QString excelFormat; // the report templates: gAddBackSlash(app) + "sys/excel_format/"
};

// The one process-wide set of services. Start-up installs the desktop implementations; tests
// install scripted ones. Every member is always set (defaults refuse prompts and dialogs).
class Services {
public:
    PromptService& prompt() { return *m_prompt; }
    DialogService& dialogs() { return *m_dialogs; }
    ClockService& clock() { return *m_clock; }
    ShellService& shell() { return *m_shell; }
    ProcessService& process() { return *m_process; }

    void setPrompt(std::unique_ptr<PromptService> p);
    void setDialogs(std::unique_ptr<DialogService> d);
    void setClock(std::unique_ptr<ClockService> c);
    void setShell(std::unique_ptr<ShellService> s);
    void setProcess(std::unique_ptr<ProcessService> p);

    // Where the program runs, set at start-up.
    const ProgramPaths& paths() const { return m_paths; }
    void setPaths(ProgramPaths paths) { m_paths = std::move(paths); }
    // The program folder app with the data file dataFile (app + "/sys/db1" when empty) and the
    // report templates in app.
    void setProgramFolder(const QString& app, const QString& dataFile = QString());

    static Services& instance();

private:
    Services();
    std::unique_ptr<PromptService> m_prompt;
    std::unique_ptr<DialogService> m_dialogs;
    std::unique_ptr<ClockService> m_clock;
    std::unique_ptr<ShellService> m_shell;
    std::unique_ptr<ProcessService> m_process;
    ProgramPaths m_paths;
};

inline Services& svc() {
    return Services::instance();
}
