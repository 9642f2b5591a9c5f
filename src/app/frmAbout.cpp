#include "app/frmAbout.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

frmAbout::frmAbout() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("このソフトについて"));
    const QString title = gstrAppTitle.isEmpty() ? appTitle() : gstrAppTitle;
    const QIcon icon(gAddBackSlash(svc().paths().app) + QStringLiteral("sys/icon.ico"));
    setWindowIcon(icon);

    auto* bar = new QMenuBar(this);
    mnuContents = gAddHelpMenu(bar, QStringLiteral("frmAbout"), false).mnuContents;

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setPixmap(icon.pixmap(48, 48));
    imgIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    imgIcon->setFixedWidth(64);

    lblTitle = new QLabel(title + QStringLiteral("  version ") + appVersionText(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    lblTitle->setFont(big);

    lblNotice = new QLabel(QStringLiteral("小さなお店のための仕入帳・売上帳ソフトです。\n"
                                          "Copyright (C) Quillo-soft  All rights reserved."),
                           this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));

    lblContact =
        new QLabel(QStringLiteral("お問い合わせ、最新版の配布は下のページをご覧ください。"), this);
    lblContact->setObjectName(QStringLiteral("lblContact"));

    const QString address = appHomepage();
    cmdHP =
        new QPushButton(address.isEmpty() ? QStringLiteral("ヘルプページを開く") : address, this);
    cmdHP->setObjectName(QStringLiteral("cmdHP"));
    cmdHP->setAutoDefault(false);
    // A page that does not open is told (message 14) and logged; the user stays here.
    connect(cmdHP, &QPushButton::clicked, this, [] { gDspHP(); });

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setMinimumWidth(96);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);

    auto* text = new QVBoxLayout;
    text->setSpacing(10);
    text->addWidget(lblTitle);
    text->addWidget(lblNotice);
    text->addSpacing(6);
    text->addWidget(lblContact);
    auto* hp = new QHBoxLayout;
    hp->addWidget(cmdHP);
    hp->addStretch();
    text->addLayout(hp);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(imgIcon);
    top->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);

    auto* root = new QVBoxLayout(this);
    root->setMenuBar(bar);
    root->setContentsMargins(20, 16, 20, 16);
    root->setSpacing(14);
    root->addLayout(top);
    root->addLayout(buttons);
    root->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    gPlaceWindow(this, 0);
}
