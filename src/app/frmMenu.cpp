#include "app/frmMenu.h"
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "master/SupplierRecords.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>

namespace {

std::map<frmMenu::Target, frmMenu::Opener>& openerTable() {
    static std::map<frmMenu::Target, frmMenu::Opener> table;
    return table;
}

void ensureWired() {
    static bool wired = false;
    if (wired)
        return;
    wired = true;
    gWireMenuWindows();
}

frmMenu::Opener openerFor(frmMenu::Target target) {
    ensureWired();
    const auto it = openerTable().find(target);
    return it == openerTable().end() ? frmMenu::Opener() : it->second;
}

} // namespace

void frmMenu::setOpener(Target target, Opener opener) {
    ensureWired();
    if (opener)
        openerTable()[target] = std::move(opener);
    else
        openerTable().erase(target);
    if (frmMenu* menu = existing())
        menu->mUpdateButtons();
}

bool frmMenu::hasOpener(Target target) {
    return static_cast<bool>(openerFor(target));
}

frmMenu::frmMenu() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmMenu"));
    setWindowTitle(QStringLiteral("メニュー"));
    gSetFormCaption(this, 0);
    m_blnSwitching = false;

    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmMenu"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;

    const QStringList captions = {QStringLiteral("仕入先の追加・修正"),
                                  QStringLiteral("仕入帳編集"),
                                  QStringLiteral("売上帳編集"),
                                  QStringLiteral("各帳票の作成"),
                                  QStringLiteral("システム"),
                                  QStringLiteral("バックアップ / 復元"),
                                  QStringLiteral("終 了")};
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(8);
    for (int i = 0; i < 7; ++i) {
        auto* b = new QPushButton(captions.at(i), central);
        b->setObjectName(QStringLiteral("Command1_%1").arg(i));
        b->setMinimumSize(240, 36);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        layout->addWidget(b);
        if (i == 5)
            layout->addSpacing(10); // "終 了" stands apart from the functions
        Command1[static_cast<std::size_t>(i)] = b;
    }
    setCentralWidget(central);
    mUpdateButtons();
    adjustSize();
    setFixedSize(sizeHint());
}

void frmMenu::mUpdateButtons() {
    Command1[0]->setEnabled(hasOpener(Target::Master));
    Command1[3]->setEnabled(hasOpener(Target::Print));
    // The settings are not changed in a data file that cannot be written.
    Command1[4]->setEnabled(hasOpener(Target::System) && !gDataFileReadOnly());
    Command1[5]->setEnabled(hasOpener(Target::Backup));
}

// Counts every supplier, valid or not.
bool frmMenu::mGetSupplierCount(int& count) {
    qint32 n = 0;
    if (!gGetSupplierCount(gdbData(), n, false))
        return false;
    count = n;
    return true;
}

void frmMenu::Command1_Click(int index) {
    switch (index) {
    case 0:
        gblnMasterFromData = false;
        mOpenWindow(Target::Master);
        break;
    case 1:
    case 2: {
        glngDataKind = index;
        int count = 0;
        if (!mGetSupplierCount(count)) {
            gProcFatalError(QStringLiteral("frmMenu_Command1_Click"));
            return;
        }
        if (count == 0) {
            gDispMsg(34, QStringLiteral("仕入先データが"), 0);
            return;
        }
        mOpenWindow(Target::Ledger);
        break;
    }
    case 3:
        mOpenWindow(Target::Print);
        break;
    case 4:
        mOpenWindow(Target::System);
        break;
    case 5:
        mOpenWindow(Target::Backup);
        break;
    case 6:
        m_blnSwitching = false;
        close();
        break;
    default:
        break;
    }
}

void frmMenu::mOpenWindow(Target target) {
    const Opener opener = openerFor(target);
    if (!opener)
        return; // the window is not part of this build yet
    QWidget* window = opener();
    const int position = target == Target::Print ? 1 : 0;
    if (!window || !gDspForm(window, position, 0)) {
        gProcFatalError(QStringLiteral("frmMenu_Command1_Click"));
        return;
    }
    m_blnSwitching = true;
    close();
}

void frmMenu::closeEvent(QCloseEvent* event) {
    if (!m_blnSwitching)
        gProcEndProgram();
    setExisting(nullptr);
    event->accept();
}
