#pragma once

#include "base/Services.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>

// Scripted services for offscreen tests. install() puts a fresh set in place and returns
// pointers to them; the Services object owns them.

struct ShownPrompt {
    QString text;
    QString title;
    int style = 0;
};

class ScriptedPrompt : public PromptService {
public:
    // Answers are taken in order; when none is left, OK (or No for a Yes/No box) is returned.
    QQueue<int> answers;
    QList<ShownPrompt> shown;
    // Called for each prompt before it is answered (e.g. to inspect windows).
    std::function<void(const ShownPrompt&)> onShow;
    int show(const QString& text, const QString& title, int style) override;
    QStringList texts() const;
};

class ScriptedDialogs : public DialogService {
public:
    QQueue<QString> folders; // empty string = cancelled
    QQueue<QString> files;
    QStringList captions;      // what each dialog was asked
    QStringList openFrom;      // each file dialog's start folder and filter, "folder|filter"
    QQueue<QString> passwords; // empty string = cancelled
    QStringList passwordPrompts;
    QString askPassword(const QString& text) override;
    QString chooseFolder(const QString& caption, const QString& startDir) override;
    QString chooseOpenFile(const QString& caption, const QString& startDir,
                           const QString& filter) override;
};

class FixedClock : public ClockService {
public:
    QDateTime fixed = QDateTime(QDate(2024, 3, 5), QTime(10, 15, 0));
    QDate today() const override { return fixed.date(); }
    QDateTime now() const override { return fixed; }
};

class RecordingShell : public ShellService {
public:
    QStringList opened;
    bool result = true;
    bool open(const QString& pathOrUrl) override;
    bool startDetached(const QString& program, const QStringList& args) override;
};

class RecordingProcess : public ProcessService {
public:
    QList<int> pauses;
    QList<int> terminations;
    void pause(int ms) override { pauses << ms; }
    void terminate(int exitCode) override { terminations << exitCode; }
};

struct TestServices {
    ScriptedPrompt* prompt;
    ScriptedDialogs* dialogs;
    FixedClock* clock;
    RecordingShell* shell;
    RecordingProcess* process;

    static TestServices install();
};

// True when the tests run as Windows programs under Wine (whose process table and registry are
// its own, not a Windows installation's).
bool runsUnderWine();
