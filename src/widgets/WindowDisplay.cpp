#include "widgets/WindowDisplay.h"

#include "base/AppHooks.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "base/WindowGeometry.h"
#include "widgets/HelpMenu.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {

QScreen* primaryScreen() {
    return QGuiApplication::primaryScreen();
}

void setNormalState(QWidget* window) {
    window->setWindowState(window->windowState() &
                           ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

// Ends a local event loop when the watched window is hidden (closing hides it).
class HideWatcher : public QObject {
public:
    explicit HideWatcher(QEventLoop& loop) : m_loop(loop) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide)
            m_loop.quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop& m_loop;
};

// A dialog opens over the window that opened it (the active one), on the opener's screen;
// with no opener, centred on the primary screen.
void placeOverOpener(QWidget* window) {
    QWidget* opener = QApplication::activeWindow();
    if (!opener || opener == window || !opener->isVisible()) {
        gPlaceWindow(window, 0);
        return;
    }
    QScreen* screen = opener->screen() ? opener->screen() : primaryScreen();
    if (!screen)
        return;
    window->ensurePolished();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    const QSize frame = window->frameGeometry().size();
    window->move(windowOverOpener(opener->frameGeometry(), frame, screen->availableGeometry()));
}

// Shows a window modally and returns when it is hidden or released.
void showModal(QWidget* window) {
    if (!window->isVisible())
        placeOverOpener(window);
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->exec();
        return;
    }
    QPointer<QWidget> guard(window);
    QEventLoop loop;
    HideWatcher watcher(loop);
    window->installEventFilter(&watcher);
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    if (guard && guard->isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (guard)
        guard->removeEventFilter(&watcher);
}

} // namespace

bool gGetScreenSize(int& width, int& height) {
    QScreen* screen = primaryScreen();
    if (!screen) {
        gSetLastError(0, QStringLiteral("QGuiApplication"), QStringLiteral("no screen"));
        gProcError(QStringLiteral("gGetScreenSize"));
        return false;
    }
    width = screen->geometry().width();
    height = screen->geometry().height();
    return true;
}

bool gPlaceWindow(QWidget* window, int position) {
    QScreen* screen = primaryScreen();
    if (!window || !screen)
        return false;
    const QRect area = screen->geometry();
    const QSize frame = window->frameGeometry().size();
    int left = 0;
    int top = 0;
    if (!windowOffsetFor(area.width(), area.height(), frame.width(), frame.height(), position, left,
                         top))
        return false;
    window->move(area.x() + left, area.y() + top);
    return true;
}

bool gDspWindowPosition(QWidget* window, int position) {
    if (!window || !primaryScreen() || (position != 0 && position != 1)) {
        gSetLastError(0, QStringLiteral("gDspWindowPosition"),
                      QStringLiteral("position %1").arg(position));
        gProcError(QStringLiteral("gDspWindowPosition"));
        return false;
    }
    setNormalState(window);
    gPlaceWindow(window, position);
    svc().process().processEvents();
    return true;
}

bool gDspWindowSize(QWidget* window, double ratio) {
    int screenWidth = 0;
    int screenHeight = 0;
    if (!window || !gGetScreenSize(screenWidth, screenHeight)) {
        gProcError(QStringLiteral("gDspWindowSize"));
        return false;
    }
    setNormalState(window);
    int width = 0;
    int height = 0;
    windowSizeFor(screenWidth, screenHeight, ratio, width, height);
    // The size covers the frame, as the screen share is meant for the whole window.
    const QSize margins = window->frameGeometry().size() - window->geometry().size();
    window->resize(qMax(1, width - margins.width()), qMax(1, height - margins.height()));
    svc().process().processEvents();
    return true;
}

bool gDspForm(QWidget* window, int position, int modal) {
    if (!window) {
        gSetLastError(0, QStringLiteral("gDspForm"), QStringLiteral("no window"));
        gProcError(QStringLiteral("gDspForm"));
        return false;
    }
    if (modal == 1) {
        showModal(window);
        return true;
    }
    if (!window->isVisible() && position != 9) {
        // Placed before it appears, so it does not jump; placed again once the frame is known.
        window->ensurePolished();
        if (!window->testAttribute(Qt::WA_Resized))
            window->adjustSize();
        gPlaceWindow(window, position);
    }
    window->show();
    if (position != 9 && !gDspWindowPosition(window, position)) {
        gProcError(QStringLiteral("gDspForm"));
        return false;
    }
    window->raise();
    window->activateWindow();
    return true;
}

void gSetFormCaption(QWidget* window, int mode) {
    if (!window)
        return;
    const QString title = gstrAppTitle.isEmpty() ? appTitle() : gstrAppTitle;
    const QString spaces = QStringLiteral("     ");
    const QString caption = window->windowTitle();
    if (mode == 0) {
        if (!caption.endsWith(spaces + title))
            window->setWindowTitle(caption + spaces + title);
    } else if (mode == 1) {
        if (!caption.startsWith(title + spaces))
            window->setWindowTitle(title + spaces + caption);
    }
}

int twipsToPixelsX(int twips) {
    QScreen* screen = primaryScreen();
    return twipsToPixels(twips, screen ? screen->logicalDotsPerInchX() : 96.0);
}

int twipsToPixelsY(int twips) {
    QScreen* screen = primaryScreen();
    return twipsToPixels(twips, screen ? screen->logicalDotsPerInchY() : 96.0);
}

void gShowMenu() {
    if (!gDspForm(gAppHooks().menuWindow ? gAppHooks().menuWindow() : nullptr, 0, 0))
        gProcFatalError(QStringLiteral("gShowMenu"));
}

bool gProcEndProgram() {
    // The shutdown window runs once; a failure reported during it does not start it again.
    static bool running = false;
    if (running)
        return true;
    running = true;
    QWidget* window = gAppHooks().endProgramWindow ? gAppHooks().endProgramWindow() : nullptr;
    const bool shown = gDspForm(window, 0, 1);
    running = false;
    if (!shown) {
        gProcError(QStringLiteral("gProcEndProgram"));
        svc().process().terminate(1);
        return false;
    }
    return true;
}

void gProcFatalError(const QString& procName, const QString& text) {
    // A failure inside the fatal sequence itself is only logged: the sequence goes on.
    static bool running = false;
    if (running) {
        gProcError(procName, text);
        return;
    }
    running = true;
    svc().prompt().show(QStringLiteral("致命的エラーが発生しました。\r\n"
                                       "このアプリケーションを終了します。"),
                        QString(), MsgStyle::OKOnly | MsgStyle::Critical);
    gProcError(procName, text);
    if (gDspErrLog())
        svc().prompt().show(QStringLiteral("エラーログに関するお問い合わせ・ご報告は\r\n"
                                           "説明書に記載しております。"),
                            QString(), MsgStyle::OKOnly | MsgStyle::Information);
    else
        svc().prompt().show(QStringLiteral("エラーログが表示できませんでした。"), QString(),
                            MsgStyle::OKOnly | MsgStyle::Information);
    gProcEndProgram();
    running = false;
    svc().process().terminate(1);
}

bool gSleep(int ms) {
    if (ms < 0)
        return false;
    svc().process().pause(ms);
    return true;
}
