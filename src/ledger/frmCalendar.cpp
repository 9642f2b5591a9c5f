#include "ledger/frmCalendar.h"

#include "base/Services.h"
#include "ledger/LineRules.h"
#include "store/Period.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QBoxLayout>
#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCharFormat>
#include <QVBoxLayout>

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
    // Month names, weekdays and the week starting on Sunday as in Japan, whatever the system
    // locale.
    Calendar1->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    Calendar1->setFirstDayOfWeek(Qt::Sunday);
    QTextCharFormat saturday = Calendar1->weekdayTextFormat(Qt::Saturday);
    saturday.setForeground(QColor(0x00, 0x40, 0xC0));
    Calendar1->setWeekdayTextFormat(Qt::Saturday, saturday);
    // The year before the month, "2024年 2月", as a Japanese calendar heads its page (the bar's
    // parts are found by the names Qt gives them; without them the bar stays as Qt lays it out).
    auto* bar = Calendar1->findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"));
    auto* month = Calendar1->findChild<QWidget*>(QStringLiteral("qt_calendar_monthbutton"));
    auto* year = Calendar1->findChild<QWidget*>(QStringLiteral("qt_calendar_yearbutton"));
    if (auto* yearEdit = Calendar1->findChild<QSpinBox*>(QStringLiteral("qt_calendar_yearedit")))
        yearEdit->setSuffix(QStringLiteral("年"));
    if (auto* barLayout = bar ? qobject_cast<QBoxLayout*>(bar->layout()) : nullptr;
        barLayout && month && year && barLayout->indexOf(month) >= 0 &&
        barLayout->indexOf(year) > barLayout->indexOf(month)) {
        barLayout->removeWidget(month);
        barLayout->insertWidget(barLayout->indexOf(year) + 1, month);
    }
    // The year's text follows the suffix at once.
    Calendar1->setCurrentPage(Calendar1->yearShown(), Calendar1->monthShown());
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

    connect(cmdDecision, &QPushButton::clicked, this, [this] { decide(true); });
    // A double click or Enter on a day picks it.
    connect(Calendar1, &QCalendarWidget::activated, this, [this](const QDate&) { decide(true); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { decide(false); });
    cmdDecision->setDefault(true);
    Calendar1->setFocus();
}

void frmCalendar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        decide(false);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void frmCalendar::decide(bool decided) {
    if (decided && m_chosen)
        *m_chosen = Calendar1->selectedDate();
    close();
}

std::optional<QDate> frmCalendar::pickDate(const QString& title, const QDate& initial) {
    std::optional<QDate> chosen;
    const QPointer<frmCalendar> w = instance();
    w->setWindowTitle(title.isEmpty() ? QStringLiteral("カレンダー") : title);
    gSetFormCaption(w, 0);
    w->Calendar1->setSelectedDate(initial.isValid() ? initial : svc().clock().today());
    w->m_chosen = &chosen;
    const bool shown = gDspForm(w, 0, 1); // a failure is reported there and counts as going back
    if (w)
        w->m_chosen = nullptr;
    return shown ? chosen : std::nullopt;
}

bool gPickDateWithCalendar(const QString& title, QString& boxText) {
    const QDate boxDate = parseLedgerDate(boxText.trimmed());
    if (boxDate.isValid())
        boxText = termDateText(boxDate);
    const std::optional<QDate> chosen = frmCalendar::pickDate(title, boxDate);
    if (chosen)
        boxText = termDateText(*chosen);
    return chosen.has_value();
}
