#include "widgets/WidgetServices.h"

#include "base/Globals.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <memory>

namespace {

bool s_endRequested = false;
int s_exitCode = 0;

QWidget* dialogParent() {
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

} // namespace

PromptLayout promptLayoutFor(int style) {
    using B = QMessageBox;
    PromptLayout l;
    // The buttons in the order they stand in the box; the default-button bits pick among them.
    QList<QMessageBox::StandardButton> order;
    switch (style & 7) {
    case MsgStyle::OKCancel:
        order = {B::Ok, B::Cancel};
        l.escapeButton = B::Cancel;
        break;
    case MsgStyle::AbortRetryIgnore:
        order = {B::Abort, B::Retry, B::Ignore};
        break;
    case MsgStyle::YesNoCancel:
        order = {B::Yes, B::No, B::Cancel};
        l.escapeButton = B::Cancel;
        break;
    case MsgStyle::YesNo:
        order = {B::Yes, B::No};
        l.escapeButton = B::No;
        break;
    case MsgStyle::RetryCancel:
        order = {B::Retry, B::Cancel};
        l.escapeButton = B::Cancel;
        break;
    default:
        order = {B::Ok};
        l.escapeButton = B::Ok;
        break;
    }
    for (QMessageBox::StandardButton b : order)
        l.buttons |= b;

    switch (style & 0x70) {
    case MsgStyle::Critical:
        l.icon = B::Critical;
        break;
    case MsgStyle::Question:
        l.icon = B::Question;
        break;
    case MsgStyle::Exclamation:
        l.icon = B::Warning;
        break;
    case MsgStyle::Information:
        l.icon = B::Information;
        break;
    default:
        l.icon = B::NoIcon;
        break;
    }

    int index = 0;
    if ((style & 0x300) == MsgStyle::DefaultButton2)
        index = 1;
    else if ((style & 0x300) == MsgStyle::DefaultButton3)
        index = 2;
    l.defaultButton = order.value(index, order.first());
    return l;
}

QString gPromptButtonText(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return QStringLiteral("OK");
    case QMessageBox::Cancel:
        return QStringLiteral("キャンセル");
    case QMessageBox::Abort:
        return QStringLiteral("中止(&A)");
    case QMessageBox::Retry:
        return QStringLiteral("再試行(&R)");
    case QMessageBox::Ignore:
        return QStringLiteral("無視(&I)");
    case QMessageBox::Yes:
        return QStringLiteral("はい(&Y)");
    case QMessageBox::No:
        return QStringLiteral("いいえ(&N)");
    default:
        return {};
    }
}

int promptResultFor(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return MsgResult::OK;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    case QMessageBox::Abort:
        return MsgResult::Abort;
    case QMessageBox::Retry:
        return MsgResult::Retry;
    case QMessageBox::Ignore:
        return MsgResult::Ignore;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        return 0;
    }
}

int WidgetPrompt::show(const QString& text, const QString& title, int style) {
    const PromptLayout l = promptLayoutFor(style);
    QString caption = title;
    if (caption.isEmpty())
        caption = gstrAppTitle.isEmpty() ? appTitle() : gstrAppTitle;
    QPointer<QMessageBox> box = new QMessageBox(l.icon, caption, text, l.buttons, dialogParent());
    // Japanese captions whatever translations are installed.
    for (QAbstractButton* b : box->buttons())
        b->setText(gPromptButtonText(box->standardButton(b)));
    if (style & MsgStyle::FileButtons) {
        const std::pair<QMessageBox::StandardButton, const char16_t*> texts[] = {
            {QMessageBox::Yes, u"開く(&O)"},
            {QMessageBox::No, u"フォルダを開く(&F)"},
            {QMessageBox::Cancel, u"閉じる"}};
        for (const auto& [which, text] : texts)
            if (QAbstractButton* b = box->button(which))
                b->setText(QString::fromUtf16(text));
    }
    box->setDefaultButton(l.defaultButton);
    box->setEscapeButton(l.escapeButton);
    box->exec();
    if (!box)
        return promptResultFor(l.escapeButton);
    const auto pressed = box->standardButton(box->clickedButton());
    delete box;
    const int result = promptResultFor(pressed);
    // A box closed without a button (the process is ending) answers like its escape button.
    return result != 0 ? result : promptResultFor(l.escapeButton);
}

QString WidgetDialogs::askPassword(const QString& text) {
    bool ok = false;
    const QString typed =
        QInputDialog::getText(dialogParent(), gstrAppTitle.isEmpty() ? appTitle() : gstrAppTitle,
                              text, QLineEdit::Password, QString(), &ok);
    return ok ? typed : QString();
}

QString WidgetDialogs::chooseFolder(const QString& caption, const QString& startDir) {
    return QFileDialog::getExistingDirectory(dialogParent(), caption, startDir);
}

QString WidgetDialogs::chooseOpenFile(const QString& caption, const QString& startDir,
                                      const QString& filter) {
    // A folder that does not exist would be taken as a file name and put into the name box
    // (a missing "Desktop"): the dialog opens in its nearest existing parent, the box empty.
    QString dir = startDir;
    while (!dir.isEmpty() && !QFileInfo::exists(dir)) {
        const QString parent = QFileInfo(dir).path();
        dir = parent == dir ? QString() : parent;
    }
    if (QFileInfo(dir).isDir() && !dir.endsWith(u'/'))
        dir += u'/';
    return QFileDialog::getOpenFileName(dialogParent(), caption, dir, filter);
}

QUrl shellUrlFor(const QString& pathOrUrl) {
    const QUrl url(pathOrUrl, QUrl::StrictMode);
    // A one-letter scheme is a Windows drive ("C:/..."), not an address.
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(pathOrUrl);
}

bool DesktopShell::open(const QString& pathOrUrl) {
    if (pathOrUrl.trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(shellUrlFor(pathOrUrl));
}

bool DesktopShell::startDetached(const QString& program, const QStringList& args) {
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, args);
}

void DesktopProcess::terminate(int exitCode) {
    s_endRequested = true;
    s_exitCode = exitCode;
    // Leaves the main loop and every nested one (modal windows); later loops return at once.
    QCoreApplication::exit(exitCode);
}

bool desktopEndRequested(int& exitCode) {
    exitCode = s_exitCode;
    return s_endRequested;
}

QString findCalculatorProgram(const QStringList& searchPaths) {
#ifdef Q_OS_WIN
    const QStringList names = {QStringLiteral("calc.exe")};
#else
    const QStringList names = {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
                               QStringLiteral("galculator"), QStringLiteral("mate-calc"),
                               QStringLiteral("xcalc")};
#endif
    for (const QString& name : names) {
        const QString found = QStandardPaths::findExecutable(name, searchPaths);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

void installWidgetServices() {
    Services& s = svc();
    s.setPrompt(std::make_unique<WidgetPrompt>());
    s.setDialogs(std::make_unique<WidgetDialogs>());
    s.setShell(std::make_unique<DesktopShell>());
    s.setProcess(std::make_unique<DesktopProcess>());
}
