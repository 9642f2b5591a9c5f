#include "ledger/frmDataCaption.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "ledger/Captions.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmDataCaption::frmDataCaption(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDataCaption"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setWindowTitle(QStringLiteral("項目名の変更"));

    const auto makeLabel = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setMinimumWidth(100);
        m_labels << l;
        return l;
    };
    const auto makeBox = [this](const char* name) {
        auto* b = new QLineEdit(this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumWidth(160);
        gSetMoveFocusByKey(b, false);
        m_boxes << b;
        return b;
    };
    lblDate = makeLabel("lblDate");
    lblItem = makeLabel("lblItem");
    lblClass1 = makeLabel("lblClass1");
    lblClass2 = makeLabel("lblClass2");
    lblClass3 = makeLabel("lblClass3");
    lblUnitPrice = makeLabel("lblUnitPrice");
    lblRegularPrice = makeLabel("lblRegularPrice");
    lblRatio = makeLabel("lblRatio");
    lblCost = makeLabel("lblCost");
    lblPayment = makeLabel("lblPayment");
    txtDate = makeBox("txtDate");
    txtItem = makeBox("txtItem");
    txtClass1 = makeBox("txtClass1");
    txtClass2 = makeBox("txtClass2");
    txtClass3 = makeBox("txtClass3");
    txtUnitPrice = makeBox("txtUnitPrice");
    txtRegularPrice = makeBox("txtRegularPrice");
    txtRatio = makeBox("txtRatio");
    txtCost = makeBox("txtCost");
    txtPayment = makeBox("txtPayment");
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    auto* lblHeadDefault = new QLabel(QStringLiteral("初期値"), this);
    lblHeadDefault->setObjectName(QStringLiteral("lblHeadDefault"));
    auto* lblHeadCaption = new QLabel(QStringLiteral("表示"), this);
    lblHeadCaption->setObjectName(QStringLiteral("lblHeadCaption"));
    auto* lblNote = new QLabel(QStringLiteral("「内容」は直接入力できます"), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->addWidget(lblHeadDefault, 0, 0);
    grid->addWidget(lblHeadCaption, 0, 1);
    for (int i = 0; i < m_labels.size(); ++i) {
        grid->addWidget(m_labels.at(i), i + 1, 0);
        grid->addWidget(m_boxes.at(i), i + 1, 1);
    }
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblNote);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);
    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addSpacing(8);
    main->addLayout(bottom);

    connect(cmdClose, &QPushButton::clicked, this, &frmDataCaption::close);
}

void frmDataCaption::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    if (!load())
        gProcFatalError(QStringLiteral("frmDataCaption_Form_Load"));
}

bool frmDataCaption::load() {
    gSetFormCaption(this, 0);
    m_kind = glngDataKind;
    const QList<int>& numbers = gColumnCaptionNumbers();
    for (int i = 0; i < numbers.size(); ++i) {
        QString defaultText;
        QString caption;
        if (!gGetColumnCaption(gdbData(), numbers.at(i), m_kind, defaultText, caption)) {
            gProcError(QStringLiteral("frmDataCaption_Form_Load"),
                       QStringLiteral("lngCaptionNo=") + QString::number(numbers.at(i)));
            return false;
        }
        m_labels.at(i)->setText(defaultText);
        m_boxes.at(i)->setText(caption);
    }
    return true;
}

bool frmDataCaption::save() {
    const QList<int>& numbers = gColumnCaptionNumbers();
    Database& db = gdbData();
    Transaction tx(db);
    if (!tx.ok())
        return false;
    for (int i = 0; i < numbers.size(); ++i) {
        if (!gSetColumnCaption(db, numbers.at(i), m_kind, m_labels.at(i)->text(),
                               m_boxes.at(i)->text()))
            return false;
    }
    return tx.commit();
}

void frmDataCaption::closeEvent(QCloseEvent* event) {
    if (!m_loaded) {
        event->accept();
        QDialog::done(QDialog::Rejected);
        return;
    }
    QStringList texts;
    for (const QLineEdit* box : std::as_const(m_boxes))
        texts << box->text();
    const int firstEmpty = gFirstEmptyCaption(texts);
    for (int i = 0; i < m_boxes.size(); ++i) {
        if (m_boxes.at(i)->text() != texts.at(i))
            m_boxes.at(i)->setText(texts.at(i));
    }
    if (firstEmpty >= 0) {
        m_boxes.at(firstEmpty)->setFocus(Qt::OtherFocusReason);
        gDispMsg(19, QString());
        event->ignore();
    } else {
        event->accept();
    }
    // The texts are written either way: what the user typed is never lost.
    if (!save()) {
        gProcFatalError(QStringLiteral("frmDataCaption_Form_Unload"));
        return;
    }
    if (event->isAccepted())
        QDialog::done(QDialog::Rejected);
}

void frmDataCaption::reject() {
    close();
}
