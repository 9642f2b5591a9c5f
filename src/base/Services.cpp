#include "base/Services.h"

#include "base/Globals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <cstdlib>

namespace {

// Used until start-up or a test installs real services: nothing is shown, nothing is chosen.
class SilentPrompt : public PromptService {
public:
    int show(const QString&, const QString&, int style) override {
        const int buttons = style & 7;
        return (buttons == MsgStyle::YesNo || buttons == MsgStyle::YesNoCancel) ? MsgResult::No
                                                                                : MsgResult::OK;
    }
};

class NoDialogs : public DialogService {
public:
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString chooseOpenFile(const QString&, const QString&, const QString&) override { return {}; }
};

class NoShell : public ShellService {
public:
    bool open(const QString&) override { return false; }
    bool startDetached(const QString&, const QStringList&) override { return false; }
};

} // namespace

void ProcessService::pause(int ms) {
    if (ms <= 0)
        return;
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(10, deadline.remainingTime())));
    }
}

void ProcessService::processEvents() {
    QCoreApplication::processEvents();
}

void ProcessService::terminate(int exitCode) {
    std::exit(exitCode);
}

Services::Services()
    : m_prompt(std::make_unique<SilentPrompt>()), m_dialogs(std::make_unique<NoDialogs>()),
      m_clock(std::make_unique<ClockService>()), m_shell(std::make_unique<NoShell>()),
      m_process(std::make_unique<ProcessService>()) {}

Services& Services::instance() {
    static Services s;
    return s;
}

void Services::setPrompt(std::unique_ptr<PromptService> p) {
    m_prompt = std::move(p);
}
void Services::setDialogs(std::unique_ptr<DialogService> d) {
    m_dialogs = std::move(d);
}
void Services::setClock(std::unique_ptr<ClockService> c) {
    m_clock = std::move(c);
}
void Services::setShell(std::unique_ptr<ShellService> s) {
    m_shell = std::move(s);
}
void Services::setProcess(std::unique_ptr<ProcessService> p) {
    m_process = std::move(p);
}

void Services::setProgramFolder(const QString& app, const QString& dataFile) {
    m_paths.app = app;
    m_paths.db = dataFile.isEmpty() ? app + QStringLiteral("/sys/db1") : dataFile;
    m_paths.excelFormat = gAddBackSlash(app) + QStringLiteral("sys/excel_format/");
}
