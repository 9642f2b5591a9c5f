#include "app/HelpMenu.h"

#include "app/ErrorLog.h"
#include "app/WindowDisplay.h"
#include "app/frmAbout.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void gMenuShowContents(const QString& formName) {
    if (!gDspHelp(QStringLiteral("index.html")))
        gProcFatalError(formName + QStringLiteral("_mnuContents_Click"));
}

void gMenuShowAbout(const QString& formName) {
    if (!gDspForm(frmAbout::instance(), 0, 1))
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
