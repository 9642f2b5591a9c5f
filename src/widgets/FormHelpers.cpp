#include "widgets/FormHelpers.h"

#include "base/Services.h"
#include "base/TextWidth.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QToolTip>
#include <QValidator>

namespace {

bool isEnter(const QKeyEvent* e) {
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

bool isMultiLine(const QWidget* w) {
    return qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w);
}

// A line edit inside a combo box belongs to the combo.
bool isComboPart(const QWidget* w) {
    return qobject_cast<const QComboBox*>(w->parentWidget()) != nullptr;
}

class MoveFocusFilter : public QObject {
public:
    MoveFocusFilter(QWidget* box, bool swallow) : QObject(box), m_box(box), m_swallow(swallow) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* ke = static_cast<QKeyEvent*>(event);
        if (isEnter(ke) && isMultiLine(m_box) &&
            (ke->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
            // A memo still takes new lines: Ctrl+Enter or Shift+Enter.
            if (auto* pe = qobject_cast<QPlainTextEdit*>(m_box))
                pe->insertPlainText(QStringLiteral("\n"));
            else if (auto* te = qobject_cast<QTextEdit*>(m_box))
                te->insertPlainText(QStringLiteral("\n"));
            return true;
        }
        return gMoveFocusByKey(m_box, ke, m_swallow);
    }

private:
    QWidget* m_box;
    bool m_swallow;
};

// Keeps a line edit within a byte width. The text before the change is remembered, so the
// inserted part alone is shortened (typing in the middle of a full box changes nothing).
// A cut input is never silent: a beep, a short note at the box, which the box also keeps
// (property "cutNotice") until the next cut, and a warning mark in the box until it changes.
void tellCut(QLineEdit* edit, int maxBytes) {
    const QString note = QStringLiteral("入力できるのは%1です。超えた分は入りません。")
                             .arg(gSjisLimitText(maxBytes));
    edit->setProperty("cutNotice", note);
    QApplication::beep();
    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), note, edit);
    // The tooltip goes with the next click, focus change or window switch; a mark at the end of
    // the box stays until its text changes again.
    auto* mark = edit->findChild<QAction*>(QStringLiteral("cutMark"));
    if (!mark) {
        mark = edit->addAction(edit->style()->standardIcon(QStyle::SP_MessageBoxWarning),
                               QLineEdit::TrailingPosition);
        mark->setObjectName(QStringLiteral("cutMark"));
        QObject::connect(edit, &QLineEdit::textChanged, mark, [mark] { mark->setVisible(false); });
    }
    mark->setToolTip(note);
    mark->setVisible(true);
}

class SjisLimitValidator : public QValidator {
public:
    SjisLimitValidator(QLineEdit* edit, int maxBytes)
        : QValidator(edit), m_edit(edit), m_maxBytes(maxBytes), m_last(edit->text()) {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { m_last = t; });
    }

    State validate(QString& input, int& pos) const override {
        if (sjisByteWidth(input) <= m_maxBytes)
            return Acceptable;
        // Text set by the program (setText clears the undo history) is shown as it is: the
        // limit applies to what the user types or pastes.
        if (!m_edit->isUndoAvailable())
            return Acceptable;
        const QString& old = m_last;
        qsizetype prefix = 0;
        const qsizetype common = qMin(old.size(), input.size());
        while (prefix < common && old.at(prefix) == input.at(prefix))
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < common - prefix &&
               old.at(old.size() - 1 - suffix) == input.at(input.size() - 1 - suffix))
            ++suffix;
        const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
        const QString kept = input.left(prefix) + input.right(suffix);
        const int room = m_maxBytes - sjisByteWidth(kept);
        const QString fitted = room > 0 ? truncateToSjisBytes(inserted, room) : QString();
        const QString result = input.left(prefix) + fitted + input.right(suffix);
        // A text loaded wider than the limit may still shrink, but never grow.
        if (sjisByteWidth(result) > m_maxBytes && sjisByteWidth(result) > sjisByteWidth(old))
            return Invalid;
        input = result;
        pos = static_cast<int>(prefix + fitted.size());
        if (fitted != inserted)
            QMetaObject::invokeMethod(
                m_edit, [edit = m_edit, max = m_maxBytes] { tellCut(edit, max); },
                Qt::QueuedConnection);
        return Acceptable;
    }

private:
    QLineEdit* m_edit;
    int m_maxBytes;
    QString m_last;
};

bool isTextControl(const QWidget* w) {
    return (qobject_cast<const QLineEdit*>(w) && !isComboPart(w)) || isMultiLine(w) ||
           qobject_cast<const QComboBox*>(w);
}

QString trimHalfWidthSpaces(const QString& s) {
    qsizetype start = 0;
    qsizetype end = s.size();
    while (start < end && s.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.mid(start, end - start);
}

// Enter on a focused push button presses it, as on the desktop the shop knows (Qt leaves that to
// Space outside dialogs).
class EnterClicksButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->isEnabled() || !button->hasFocus() || !button->isVisible())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void gMoveFocusNext(QWidget* box) {
    QWidget* window = box->window();
    QWidget* w = box->nextInFocusChain();
    while (w && w != box) {
        const bool inside = box->isAncestorOf(w);
        if (!inside && w->window() == window && w->isEnabled() && w->isVisibleTo(window) &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
        w = w->nextInFocusChain();
    }
}

bool gMoveFocusByKey(QWidget* box, QKeyEvent* event, bool swallow) {
    if (!box || !event)
        return false;
    if (isEnter(event)) {
        gMoveFocusNext(box);
        svc().process().processEvents();
        return true;
    }
    if (!swallow || event->text().isEmpty())
        return false;
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return false;
    default:
        return true;
    }
}

void gSetMoveFocusByKey(QWidget* box, bool swallow) {
    auto* filter = new MoveFocusFilter(box, swallow);
    box->installEventFilter(filter);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(filter);
}

void gSetSelectionColour(QComboBox* combo) {
    QPalette p = combo->palette();
    const QColor yellow(0xFF, 0xFF, 0xC0);
    p.setColor(QPalette::Base, yellow);
    p.setColor(QPalette::Button, yellow);
    combo->setPalette(p);
}

bool gSetComboDropDownRows(QComboBox* combo, int rows) {
    if (!combo)
        return false;
    // The style opens a list box's list over the whole height of the screen, whatever the rows
    // asked for, unless the box uses a plain list; that one needs its scroll bar turned on.
    if (!combo->styleSheet().contains(QStringLiteral("combobox-popup")))
        combo->setStyleSheet(combo->styleSheet() +
                             QStringLiteral(" QComboBox { combobox-popup: 0; }"));
    combo->setMaxVisibleItems(rows < 1 ? qMax(1, combo->count()) : rows);
    combo->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return true;
}

QString gSjisLimitText(int maxBytes) {
    return QStringLiteral("全角%1文字・半角%2文字まで").arg(maxBytes / 2).arg(maxBytes);
}

void gSetMaxSjisBytes(QLineEdit* edit, int maxBytes) {
    edit->setValidator(new SjisLimitValidator(edit, maxBytes));
    if (edit->toolTip().isEmpty())
        edit->setToolTip(gSjisLimitText(maxBytes));
}

void gSetTag(QWidget* control, const QString& tag) {
    control->setProperty(kTagProperty, tag);
}

bool gTagContains(const QWidget* control, const QString& word) {
    const QString tag = control->property(kTagProperty).toString();
    return !tag.isEmpty() && tag.contains(word);
}

void gTrimControlsByTag(QWidget* window, const QString& word) {
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!isTextControl(w) || !gTagContains(w, word))
            continue;
        if (auto* le = qobject_cast<QLineEdit*>(w)) {
            const QString t = trimHalfWidthSpaces(le->text());
            if (t != le->text())
                le->setText(t);
        } else if (auto* pe = qobject_cast<QPlainTextEdit*>(w)) {
            const QString t = trimHalfWidthSpaces(pe->toPlainText());
            if (t != pe->toPlainText())
                pe->setPlainText(t);
        } else if (auto* te = qobject_cast<QTextEdit*>(w)) {
            const QString t = trimHalfWidthSpaces(te->toPlainText());
            if (t != te->toPlainText())
                te->setPlainText(t);
        } else if (auto* cb = qobject_cast<QComboBox*>(w); cb && cb->isEditable()) {
            const QString t = trimHalfWidthSpaces(cb->currentText());
            if (t != cb->currentText())
                cb->setEditText(t);
        }
    }
}

void gClearControls(QWidget* window) {
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!isTextControl(w) || gTagContains(w, QStringLiteral("NOTCLEAR")))
            continue;
        if (auto* le = qobject_cast<QLineEdit*>(w))
            le->clear();
        else if (auto* pe = qobject_cast<QPlainTextEdit*>(w))
            pe->clear();
        else if (auto* te = qobject_cast<QTextEdit*>(w))
            te->clear();
        else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            cb->setCurrentIndex(-1);
            if (cb->isEditable())
                cb->clearEditText();
        }
    }
}

void gLockControlsByTag(QWidget* window, bool lock, const QString& word) {
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        const bool lockable =
            isTextControl(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w);
        if (lockable && gTagContains(w, word))
            w->setEnabled(!lock);
    }
}

void gInstallEnterClicksButtons(QCoreApplication* app) {
    static EnterClicksButton* filter = nullptr;
    if (filter || !app)
        return;
    filter = new EnterClicksButton(app);
    app->installEventFilter(filter);
}
