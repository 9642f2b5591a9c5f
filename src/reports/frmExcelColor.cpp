#include "reports/frmExcelColor.h"

#include "base/ErrorLog.h"
#include "reports/ExcelLayer.h"
#include "widgets/WindowDisplay.h"

#include <QColor>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

bool frmExcelColor::gblnColorOK = false;
int frmExcelColor::glngColorIndex = 0;
int frmExcelColor::glngColorValue = 0;

namespace {

// The colour indexes offered, in the palette's order.
QList<int> offeredIndexes() {
    QList<int> out;
    for (int i = 1; i <= 16; ++i)
        out << i;
    for (int i = 33; i <= 56; ++i)
        out << i;
    return out;
}

QColor fromColorValue(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

} // namespace

QColor gExcelIndexColor(int colorIndex) {
    if (!offeredIndexes().contains(colorIndex))
        return QColor();
    int value = 0;
    if (!gExcel_Color_ExchangeToRGB(colorIndex, value))
        return QColor();
    return fromColorValue(value);
}

frmExcelColor* frmExcelColor::newInstance(QWidget* parent) {
    auto* w = new frmExcelColor(parent);
    if (!w->formLoad()) {
        delete w;
        gProcError(QStringLiteral("frmExcelColor_Form_Load"));
        return nullptr;
    }
    return w;
}

frmExcelColor::frmExcelColor(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmExcelColor"));
    setWindowTitle(QStringLiteral("セルの背景色"));
    auto* outer = new QVBoxLayout(this);

    auto* grid = new QGridLayout();
    grid->setSpacing(4);
    const QList<int> indexes = offeredIndexes();
    for (int n = 0; n < indexes.size(); ++n) {
        const int index = indexes.at(n);
        auto* box = new QLabel(this);
        box->setObjectName(QStringLiteral("PictureColor_%1").arg(index));
        box->setFixedSize(28, 22);
        box->setFrameShape(QFrame::Box);
        box->setCursor(Qt::PointingHandCursor);
        box->setToolTip(QString::number(index));
        box->installEventFilter(this);
        PictureColor.insert(index, box);
        grid->addWidget(box, n / 8, n % 8);
    }
    outer->addLayout(grid);

    auto* bottom = new QHBoxLayout();
    txtPreView = new QLineEdit(QStringLiteral("テスト"), this);
    txtPreView->setObjectName(QStringLiteral("txtPreView"));
    txtPreView->setReadOnly(true);
    txtPreView->setAlignment(Qt::AlignCenter);
    txtPreView->setFixedWidth(100);
    bottom->addWidget(txtPreView);
    bottom->addStretch(1);
    const QString captions[2] = {QStringLiteral("確 定"), QStringLiteral("取 消")};
    for (int i = 0; i < 2; ++i) {
        cmdProc[i] = new QPushButton(captions[i], this);
        cmdProc[i]->setObjectName(QStringLiteral("cmdProc_%1").arg(i));
        cmdProc[i]->setAutoDefault(false);
        cmdProc[i]->setMinimumWidth(80);
        bottom->addWidget(cmdProc[i]);
        connect(cmdProc[i], &QPushButton::clicked, this, [this, i]() { cmdProcClick(i); });
    }
    outer->addLayout(bottom);
}

bool frmExcelColor::formLoad() {
    gSetFormCaption(this, 0);
    for (auto it = PictureColor.begin(); it != PictureColor.end(); ++it) {
        int value = 0;
        if (!gExcel_Color_ExchangeToRGB(it.key(), value))
            return false;
        it.value()->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #808080;")
                                      .arg(fromColorValue(value).name()));
    }
    m_index = 0;
    gblnColorOK = false;
    return true;
}

bool frmExcelColor::mPictureColorClick(int index) {
    int value = 0;
    if (index < 1 || index > 56 || !gExcel_Color_ExchangeToRGB(index, value)) {
        gProcError(QStringLiteral("frmExcelColor_PictureColor_Click"),
                   QStringLiteral("index=") + QString::number(index));
        return false;
    }
    m_index = index;
    QPalette pal = txtPreView->palette();
    pal.setColor(QPalette::Base, fromColorValue(value));
    pal.setColor(QPalette::Text,
                 fromColorValue(value).lightness() < 110 ? QColor(Qt::white) : QColor(Qt::black));
    txtPreView->setPalette(pal);
    return true;
}

void frmExcelColor::cmdProcClick(int index) {
    gblnColorOK = false;
    if (index == 0 && m_index > 0) {
        int value = 0;
        if (gExcel_Color_ExchangeToRGB(m_index, value)) {
            glngColorIndex = m_index;
            glngColorValue = value;
            gblnColorOK = true;
        }
    }
    close();
}

bool frmExcelColor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (auto it = PictureColor.constBegin(); it != PictureColor.constEnd(); ++it) {
            if (it.value() == watched) {
                if (!mPictureColorClick(it.key()))
                    gProcFatalError(QStringLiteral("frmExcelColor_PictureColor_Click"));
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
