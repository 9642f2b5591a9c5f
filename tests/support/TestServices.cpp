#include "TestServices.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

int ScriptedPrompt::show(const QString& text, const QString& title, int style) {
    const ShownPrompt p{text, title, style};
    shown << p;
    if (onShow)
        onShow(p);
    if (!answers.isEmpty())
        return answers.dequeue();
    const int buttons = style & 7;
    if (style & MsgStyle::FileButtons)
        return MsgResult::Cancel; // the file question: closed
    return (buttons == MsgStyle::YesNo || buttons == MsgStyle::YesNoCancel) ? MsgResult::No
                                                                            : MsgResult::OK;
}

QStringList ScriptedPrompt::texts() const {
    QStringList t;
    for (const ShownPrompt& p : shown)
        t << p.text;
    return t;
}

QString ScriptedDialogs::askPassword(const QString& text) {
    passwordPrompts << text;
    return passwords.isEmpty() ? QString() : passwords.dequeue();
}

QString ScriptedDialogs::chooseFolder(const QString& caption, const QString&) {
    captions << caption;
    return folders.isEmpty() ? QString() : folders.dequeue();
}

QString ScriptedDialogs::chooseOpenFile(const QString& caption, const QString& startDir,
                                        const QString& filter) {
    captions << caption;
    openFrom << startDir + QLatin1Char('|') + filter;
    return files.isEmpty() ? QString() : files.dequeue();
}

bool RecordingShell::open(const QString& pathOrUrl) {
    opened << pathOrUrl;
    return result;
}

bool RecordingShell::startDetached(const QString&, const QStringList&) {
    return result;
}

TestServices TestServices::install() {
    TestServices t{new ScriptedPrompt, new ScriptedDialogs, new FixedClock, new RecordingShell,
                   new RecordingProcess};
    Services& s = svc();
    s.setPrompt(std::unique_ptr<PromptService>(t.prompt));
    s.setDialogs(std::unique_ptr<DialogService>(t.dialogs));
    s.setClock(std::unique_ptr<ClockService>(t.clock));
    s.setShell(std::unique_ptr<ShellService>(t.shell));
    s.setProcess(std::unique_ptr<ProcessService>(t.process));
    return t;
}

bool runsUnderWine() {
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}
