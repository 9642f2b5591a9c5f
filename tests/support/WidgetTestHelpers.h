#pragma once

// Helpers for offscreen window tests: typing text and acting inside modal windows.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <functional>
#include <memory>

// Types text character by character: ASCII with its own key, anything else (Japanese,
// full-width) as a key event carrying the character, which QTest::keyClicks cannot send.
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
        }
    }
}

// Runs `act` once `find` returns a visible window, i.e. once a modal window's own event loop
// runs. Gives up after about three seconds.
inline void whenVisible(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [find, act, tries, poll]() {
        QWidget* w = find();
        if (w && w->isVisible()) {
            act(w);
            return;
        }
        if (++*tries < 300)
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// The same for a window class with a static existing() accessor.
template <class W> void whenOpen(std::function<void(W*)> act) {
    whenVisible([] { return static_cast<QWidget*>(W::existing()); },
                [act](QWidget* w) { act(static_cast<W*>(w)); });
}

// The same for the first top-level window with the given objectName.
inline void whenWindowOpens(const QString& name, std::function<void(QWidget*)> act) {
    whenVisible(
        [name]() -> QWidget* {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == name && w->isVisible())
                    return w;
            return nullptr;
        },
        act);
}
