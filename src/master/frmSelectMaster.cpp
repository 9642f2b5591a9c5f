#include "master/frmSelectMaster.h"

#include "base/ErrorLog.h"
#include "master/SupplierRecords.h"
#include "master/SupplierWidgets.h"
#include "master/frmMaster.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "widgets/FormHelpers.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QPixmap selectPicture() {
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x15, 0x65, 0xc0));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 10, 10);
    QFont f = p.font();
    f.setPixelSize(26);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 48, 48), Qt::AlignCenter, QStringLiteral("選"));
    return pm;
}

} // namespace

frmSelectMaster* frmSelectMaster::newInstance(frmMaster& master) {
    auto* w = new frmSelectMaster(master);
    if (!w->formLoad()) {
        delete w;
        gProcError(QStringLiteral("frmSelectMaster_Form_Load"));
        return nullptr;
    }
    return w;
}

frmSelectMaster::frmSelectMaster(frmMaster& master) : QDialog(&master), m_master(master) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmSelectMaster"));
    auto* outer = new QVBoxLayout(this);

    auto* menuBar = new QMenuBar(this);
    const HelpMenu help = gAddHelpMenu(menuBar, QStringLiteral("frmSelectMaster"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;
    outer->setMenuBar(menuBar);

    auto* row = new QHBoxLayout();
    picSelect = new QLabel(this);
    picSelect->setObjectName(QStringLiteral("picSelect"));
    picSelect->setPixmap(selectPicture());
    row->addWidget(picSelect);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    gSetSelectionColour(Combo1);
    Combo1->setMinimumWidth(220);
    {
        // A fixed-pitch font keeps the right-aligned supplier numbers in one column.
        QFont f = Combo1->font();
        f.setFamilies({QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")});
        f.setStyleHint(QFont::TypeWriter);
        Combo1->setFont(f);
    }
    Combo1->installEventFilter(this);
    row->addWidget(Combo1, 1);
    outer->addLayout(row);

    // Typing a number, a name or its reading picks the supplier.
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("番号・名前・読みで検索（Ctrl+F）"));
    txtFind->setClearButtonEnabled(true);
    outer->addWidget(txtFind);
    lblNotFound = new QLabel(QStringLiteral("該当する仕入先はありません。"), this);
    lblNotFound->setObjectName(QStringLiteral("lblNotFound"));
    lblNotFound->setVisible(false);
    outer->addWidget(lblNotFound);
    connect(txtFind, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.trimmed().isEmpty()) {
            lblNotFound->setVisible(false);
            return;
        }
        QStringList items;
        for (int i = 0; i < Combo1->count(); ++i)
            items << Combo1->itemText(i);
        const int found = gFindSupplierItem(items, m_readings, text);
        // A search that finds nothing leaves nothing chosen, so 選択 cannot pick an earlier hit.
        Combo1->setCurrentIndex(found);
        lblNotFound->setVisible(found < 0);
    });
    connect(txtFind, &QLineEdit::returnPressed, this, [this] { cmdSelect->click(); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { txtFind->setFocus(); });

    auto* buttons = new QHBoxLayout();
    cmdSelect = new QPushButton(QStringLiteral("選 択"), this);
    cmdSelect->setObjectName(QStringLiteral("cmdSelect"));
    cmdExit = new QPushButton(QStringLiteral("戻 る"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    for (QPushButton* b : {cmdSelect, cmdExit}) {
        // Enter belongs to the list (it selects), never to a default button.
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    buttons->addStretch(1);
    buttons->addWidget(cmdSelect);
    buttons->addWidget(cmdExit);
    outer->addLayout(buttons);

    connect(cmdSelect, &QPushButton::clicked, this, [this]() { cmdSelectClick(); });
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
        cmdSelect->setEnabled(index >= 0);
        if (index >= 0) // picked from the list after a failed search
            lblNotFound->setVisible(false);
    });
    connect(cmdExit, &QPushButton::clicked, this, [this]() { close(); });
    connect(&gdbData().changeNotices(), &ChangeNotices::rowsChanged, this,
            [this](const QString& table) { otherChanged(table); });
}

void frmSelectMaster::otherChanged(const QString& table) {
    if (table != QLatin1String("T_MASTER"))
        return;
    const qint32 chosen =
        Combo1->currentIndex() >= 0 ? gGetSupplierFromItem(Combo1->currentText()) : 0;
    if (!gSetSupplierShortNameToComboBoxItem(Combo1, false) ||
        !gGetSupplierReadings(gdbData(), m_readings)) {
        gProcFatalError(QStringLiteral("frmSelectMaster_otherChanged"));
        return;
    }
    int index = -1;
    for (int i = 0; chosen != 0 && i < Combo1->count(); ++i) {
        if (gGetSupplierFromItem(Combo1->itemText(i)) == chosen)
            index = i;
    }
    Combo1->setCurrentIndex(index);
}

bool frmSelectMaster::formLoad() {
    setWindowTitle(QStringLiteral("仕入先の選択"));
    gSetFormCaption(this, 0);
    if (!gSetSupplierShortNameToComboBoxItem(Combo1, false))
        return false;
    Combo1->setCurrentIndex(-1);
    cmdSelect->setEnabled(false);
    gSetShortSupplierList(Combo1, 17);
    if (!gGetSupplierReadings(gdbData(), m_readings))
        return false;
    m_selected = false;
    // Typing starts a search at once.
    txtFind->setFocus();
    return true;
}

void frmSelectMaster::cmdSelectClick() {
    const QString text = Combo1->currentText();
    if (text.isEmpty())
        return;
    if (!mProcSelectData(gGetSupplierFromItem(text))) {
        gProcFatalError(QStringLiteral("frmSelectMaster_cmdSelect_Click"));
        return;
    }
    close();
}

bool frmSelectMaster::mProcSelectData(qint32 supplier) {
    if (!gDspMasterData(m_master, supplier))
        return false;
    m_master.mSetProcButtons(true);
    if (m_master.txtProcClass->text() != QStringLiteral("修正")) {
        gProcError(QStringLiteral("frmSelectMaster_mProcSelectData"),
                   QStringLiteral("unexpected mode: ") + m_master.txtProcClass->text());
        return false;
    }
    gLockControlsByTag(&m_master, false, QStringLiteral("LOCKED"));
    m_master.txtSupplierName->setFocus();
    m_selected = true;
    return true;
}

void frmSelectMaster::done(int result) {
    // Leaving without a pick returns the master window to idle with no mode shown.
    if (!m_selected)
        m_master.mDspProcClass(100);
    QDialog::done(result);
}

bool frmSelectMaster::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Combo1 && event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
            cmdSelect->click();
            return true;
        }
        // Typing in the list searches: the key goes on to the search box, which keeps the focus
        // for the rest of the word (and for the input method).
        const QString typed = ke->text();
        if (!typed.isEmpty() && typed.at(0).isPrint() &&
            !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            txtFind->setFocus(Qt::OtherFocusReason);
            txtFind->selectAll();
            QKeyEvent forwarded(QEvent::KeyPress, ke->key(), ke->modifiers(), typed);
            QCoreApplication::sendEvent(txtFind, &forwarded);
            return true;
        }
        return gMoveFocusByKey(Combo1, ke, true);
    }
    return QDialog::eventFilter(watched, event);
}
