#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QCalendarWidget;
class QPushButton;

// The hand-over between a date box and the calendar window. The caller sets the title, the
// initial date ("yyyy/MM/dd") and the preset flag before opening the calendar modally; the
// calendar sets decided and, when it closes, the date it shows.
extern QString gstrCalendarTitle;
extern QString gstrCalendarDate;
extern bool gblnCalendarPreset;
extern bool gblnCalendarDecided;

// The calendar window ("カレンダー"): a month calendar and the buttons "確　定" and "戻 る".
// Closing it in any other way (the close box, Esc) counts as going back.
class frmCalendar : public QMainWindow {
    Q_OBJECT

public:
    static frmCalendar* instance();
    static frmCalendar* existing();

    QCalendarWidget* Calendar1 = nullptr;
    QPushButton* cmdDecision = nullptr;
    QPushButton* cmdExit = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    frmCalendar();
    ~frmCalendar() override;

    static frmCalendar* s_instance;
};

// The caller's side for a date box: hands over the title and the box's date (today's when the
// box holds no date), opens the calendar modally and reads the result. boxText is rewritten as
// "yyyy/MM/dd" when it held a date, and becomes the chosen date when the user decided (decided
// true); going back leaves it otherwise as it was. False when the window could not be shown
// (reported under "gPickDateWithCalendar").
bool gPickDateWithCalendar(const QString& title, QString& boxText, bool& decided);
