#include "widgets/HelpMenu.h"

#include "base/AppHooks.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "widgets/WindowDisplay.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

void gMenuShowContents(const QString& formName) {
    // A page that cannot be opened has been told (message 14) and logged; the user stays where
    // they were: it is no reason to end the program.
    if (!gDspHelp(QStringLiteral("index.html")))
        gProcError(formName + QStringLiteral("_mnuContents_Click"));
}

void gMenuShowAbout(const QString& formName) {
    if (!gDspForm(gAppHooks().aboutWindow ? gAppHooks().aboutWindow() : nullptr, 0, 1))
        gProcFatalError(formName + QStringLiteral("_mnuAbout_Click"));
}

HelpMenu gAddHelpMenu(QMenuBar* bar, const QString& formName, bool withAbout) {
    HelpMenu m;
    m.mnuHelp = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    m.mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    m.mnuContents = m.mnuHelp->addAction(QStringLiteral("目次(&C)"));
    m.mnuContents->setObjectName(QStringLiteral("mnuContents"));
    QObject::connect(m.mnuContents, &QAction::triggered, bar,
                     [formName] { gMenuShowContents(formName); });
    if (withAbout) {
        m.mnuAbout = m.mnuHelp->addAction(QStringLiteral("このソフトについて(&A)"));
        m.mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
        QObject::connect(m.mnuAbout, &QAction::triggered, bar,
                         [formName] { gMenuShowAbout(formName); });
    }
    return m;
}

namespace {

// Message 14 (the page could not be opened), through the catalogue when one is registered.
void showOpenFailure(const QString& addText) {
    if (gAppHooks().dispMsg)
        gAppHooks().dispMsg(14, addText, 0);
}

} // namespace

bool gDspErrLog() {
    QString path;
    if (!gGetErrLogPath(path) || !QFileInfo::exists(path))
        return false;
    return svc().shell().open(path);
}

bool gDspHelp(const QString& file) {
    const QString path = gAddBackSlash(svc().paths().app) + file;
    if (QFileInfo::exists(path) && svc().shell().open(path))
        return true;
    showOpenFailure(QStringLiteral("ヘルプファイル：\r\n") + path);
    gSetLastError(0, QStringLiteral("Shell"), QStringLiteral("cannot open ") + path);
    gProcError(QStringLiteral("gDspHelp"));
    return false;
}

bool gDspHP() {
    QString address = appHomepage();
    if (address.isEmpty())
        address = gAddBackSlash(svc().paths().app) + QStringLiteral("index.html");
    if (svc().shell().open(address))
        return true;
    showOpenFailure(QStringLiteral("HPアドレス：\r\n") + address);
    gSetLastError(0, QStringLiteral("Shell"), QStringLiteral("cannot open ") + address);
    gProcError(QStringLiteral("gDspHP"));
    return false;
}
