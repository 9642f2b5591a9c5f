#include "ledger/frmCalendar.h"

#include "base/ErrorLog.h"
#include "base/HelpMenu.h"
#include "base/Services.h"
#include "base/WindowDisplay.h"
#include "ledger/LineRules.h"
#include "store/Period.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

QString gstrCalendarTitle;
QString gstrCalendarDate;
bool gblnCalendarPreset = false;
bool gblnCalendarDecided = false;

frmCalendar* frmCalendar::s_instance = nullptr;

frmCalendar* frmCalendar::instance() {
    if (!s_instance)
        s_instance = new frmCalendar;
    return s_instance;
}

frmCalendar* frmCalendar::existing() {
    return s_instance;
}

frmCalendar::frmCalendar() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmCalendar"));
    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmCalendar"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    Calendar1 = new QCalendarWidget(central);
    Calendar1->setObjectName(QStringLiteral("Calendar1"));
    Calendar1->setGridVisible(true);
    Calendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    layout->addWidget(Calendar1);
    auto* buttons = new QHBoxLayout();
    cmdDecision = new QPushButton(QStringLiteral("確　定"), central);
    cmdDecision->setObjectName(QStringLiteral("cmdDecision"));
    cmdExit = new QPushButton(QStringLiteral("戻 る"), central);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    buttons->addStretch();
    buttons->addWidget(cmdDecision);
    buttons->addWidget(cmdExit);
    layout->addLayout(buttons);
    setCentralWidget(central);

    // Load: the caption is the title handed over; decided starts cleared, so that any way of
    // closing other than the decision counts as going back.
    gblnCalendarDecided = false;
    setWindowTitle(gstrCalendarTitle.isEmpty() ? QStringLiteral("カレンダー") : gstrCalendarTitle);
    gSetFormCaption(this, 0);
    if (gblnCalendarPreset) {
        const QDate d = termDateFromText(gstrCalendarDate);
        if (d.isValid())
            Calendar1->setSelectedDate(d);
    } else {
        Calendar1->setSelectedDate(svc().clock().today());
    }

    connect(cmdDecision, &QPushButton::clicked, this, [this] {
        gblnCalendarDecided = true;
        close();
    });
    // A double click or Enter on a day picks it.
    connect(Calendar1, &QCalendarWidget::activated, this, [this](const QDate&) {
        gblnCalendarDecided = true;
        close();
    });
    connect(cmdExit, &QPushButton::clicked, this, [this] {
        gblnCalendarDecided = false;
        close();
    });
    cmdDecision->setDefault(true);
    Calendar1->setFocus();
}

frmCalendar::~frmCalendar() {
    if (s_instance == this)
        s_instance = nullptr;
}

void frmCalendar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        gblnCalendarDecided = false;
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void frmCalendar::closeEvent(QCloseEvent* event) {
    gstrCalendarDate = termDateText(Calendar1->selectedDate());
    QMainWindow::closeEvent(event);
}

bool gPickDateWithCalendar(const QString& title, QString& boxText, bool& decided) {
    decided = false;
    const QDate boxDate = parseLedgerDate(boxText.trimmed());
    if (boxDate.isValid())
        boxText = termDateText(boxDate);
    gblnCalendarPreset = true;
    gstrCalendarTitle = title;
    gstrCalendarDate = termDateText(boxDate.isValid() ? boxDate : svc().clock().today());
    gblnCalendarDecided = false;
    if (!gDspForm(frmCalendar::instance(), 0, 1)) {
        gProcError(QStringLiteral("gPickDateWithCalendar"));
        return false;
    }
    decided = gblnCalendarDecided;
    if (decided)
        boxText = gstrCalendarDate;
    return true;
}
