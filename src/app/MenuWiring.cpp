#include "app/frmMenu.h"
#include "ledger/frmData.h"
#include "master/frmMaster.h"
#include "reports/frmPrint.h"

// How the menu reaches each function window. A window's subsystem adds one line here when the
// window exists, for example:
//
//     frmMenu::setOpener(frmMenu::Target::Master, [] { return frmMaster::instance(); });
//
// The opener returns the window's single instance; the menu shows it, closes itself, and the
// window calls gShowMenu() when it closes. Until a window is registered its button stays
// disabled (the ledger buttons check for suppliers and then do nothing).
void gWireMenuWindows() {
    frmMenu::setOpener(frmMenu::Target::Master, [] { return frmMaster::instance(); });
    frmMenu::setOpener(frmMenu::Target::Print, [] { return frmPrint::instance(); });
    // The menu sets glngDataKind before it asks for the window, so the instance is made for
    // the ledger of the button pressed.
    frmMenu::setOpener(frmMenu::Target::Ledger, [] { return frmData::instance(); });
}
