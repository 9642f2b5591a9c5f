#pragma once

#include "base/SingleInstance.h"

#include <QDate>
#include <QMainWindow>
#include <optional>

class QAction;
class QCalendarWidget;
class QPushButton;

// The calendar window ("カレンダー"): a month calendar and the buttons "確　定" and "戻 る".
// Closing it in any other way (the close box, Esc) counts as going back.
class frmCalendar : public QMainWindow, public SingleInstance<frmCalendar> {
    Q_OBJECT

public:
    // Opens the calendar modally with the title as its caption, showing initial (today when
    // initial is not a date). The chosen date, or nullopt when the user went back.
    static std::optional<QDate> pickDate(const QString& title, const QDate& initial);

    QCalendarWidget* Calendar1 = nullptr;
    QPushButton* cmdDecision = nullptr;
    QPushButton* cmdExit = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    frmCalendar();
    void decide(bool decided);

    std::optional<QDate>* m_chosen = nullptr; // where the decision goes, while picking

    friend class SingleInstance<frmCalendar>;
};

// The caller's side for a date box: opens the calendar on the box's date (today when the box
// holds no date). boxText is rewritten as "yyyy/MM/dd" when it held a date and becomes the chosen
// date when the user decided; going back leaves it otherwise as it was. Whether the user decided.
bool gPickDateWithCalendar(const QString& title, QString& boxText);
