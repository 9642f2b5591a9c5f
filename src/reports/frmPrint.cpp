#include "reports/frmPrint.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "reports/CsvFrame.h"
#include "reports/ExcelPosFrame.h"
#include "reports/JournalFrame.h"
#include "reports/LedgerPrintFrame.h"
#include "reports/ManageProfitFrame.h"
#include "reports/PrintMasterFrame.h"
#include "reports/SupplierList.h"
#include "reports/TaxSummaryFrame.h"
#include "store/Settings.h"
#include "widgets/HelpMenu.h"
#include "widgets/WindowDisplay.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString& outputFolderOverride() {
    static QString folder;
    return folder;
}

// The processing picture: a sheet of a workbook with a pencil.
QPixmap processingPicture() {
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1b, 0x5e, 0x20), 2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(4, 4, 34, 40), 3, 3);
    p.setPen(QPen(QColor(0x43, 0xa0, 0x47), 1));
    for (int y = 14; y <= 38; y += 6)
        p.drawLine(QPointF(8, y), QPointF(34, y));
    for (int x = 15; x <= 27; x += 12)
        p.drawLine(QPointF(x, 10), QPointF(x, 40));
    QPainterPath pencil;
    pencil.moveTo(44, 18);
    pencil.lineTo(47, 21);
    pencil.lineTo(30, 38);
    pencil.lineTo(25, 40);
    pencil.lineTo(27, 35);
    pencil.closeSubpath();
    p.setPen(QPen(QColor(0x5d, 0x40, 0x37), 1));
    p.setBrush(QColor(0xff, 0xb3, 0x00));
    p.drawPath(pencil);
    return pm;
}

// The picture of the processing panel. A busy window is disabled, and a disabled label would
// grey its picture out: this one draws it as it is.
class ProcessingPicture : public QWidget {
public:
    explicit ProcessingPicture(QWidget* parent) : QWidget(parent), m_picture(processingPicture()) {
        setFixedSize(m_picture.size());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawPixmap(0, 0, m_picture);
    }

private:
    QPixmap m_picture;
};

// A busy window is disabled; its processing panel keeps the colours of an enabled one.
void keepEnabledLook(QWidget* w) {
    QPalette pal = w->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        pal.setColor(QPalette::Disabled, r, pal.color(QPalette::Active, r));
    }
    w->setPalette(pal);
}

} // namespace

void frmPrint::setOutputFolderOverride(const QString& folder) {
    outputFolderOverride() = folder;
}

frmPrint::frmPrint() {
    setExisting(this); // the open window already while it loads
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("各種帳票の作成　（エクセルファイル）"));
    gSetFormCaption(this, 0);
    buildControls();
    buildFrames();
    fitToScreen();
    m_loaded = formLoad();
    if (!m_loaded)
        gProcFatalError(QStringLiteral("frmPrint_Form_Load"));
}

void frmPrint::buildControls() {
    // The frames scroll when the screen is smaller than they need (see fitToScreen).
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrFrames"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    setCentralWidget(scroll);
    auto* central = new QWidget(scroll);
    m_content = central;
    scroll->setWidget(central);
    auto* outer = new QVBoxLayout(central);
    // Above every frame: it applies to every workbook the window writes. Kept in setting 69.
    chkPdf = new QCheckBox(QStringLiteral("PDFも作成"), central);
    chkPdf->setObjectName(QStringLiteral("chkPdf"));
    chkPdf->setToolTip(QStringLiteral("エクセルファイルと同じフォルダに PDF も作成します"
                                      "（LibreOffice が必要です）"));
    auto* pdfRow = new QHBoxLayout();
    pdfRow->addWidget(chkPdf);
    auto* pdfNote =
        new QLabel(QStringLiteral("（下のどの帳票も、エクセルファイルと同じフォルダに PDF "
                                  "を作ります。LibreOffice が必要です）"),
                   central);
    pdfNote->setObjectName(QStringLiteral("lblPdf"));
    pdfRow->addWidget(pdfNote);
    pdfRow->addStretch(1);
    outer->addLayout(pdfRow);
    m_frameGrid = new QGridLayout();
    m_frameGrid->setHorizontalSpacing(10);
    m_frameGrid->setVerticalSpacing(8);
    outer->addLayout(m_frameGrid);
    outer->addStretch(1);

    // The processing panel, over the frames while a workbook is written.
    picNowProcessing = new QFrame(scroll);
    picNowProcessing->setObjectName(QStringLiteral("picNowProcessing"));
    picNowProcessing->setFrameShape(QFrame::Box);
    picNowProcessing->setLineWidth(1);
    picNowProcessing->setAutoFillBackground(true);
    auto* panel = new QHBoxLayout(picNowProcessing);
    panel->setContentsMargins(14, 12, 14, 12);
    panel->setSpacing(12);
    auto* picture = new ProcessingPicture(picNowProcessing);
    picture->setObjectName(QStringLiteral("picNowProcessingImage"));
    panel->addWidget(picture, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout();
    lblNowProcessing =
        new QLabel(QStringLiteral("エクセルファイルを作成しています。\nしばらくお待ちください。"),
                   picNowProcessing);
    lblNowProcessing->setObjectName(QStringLiteral("lblNowProcessing"));
    lblNowProcessing->setWordWrap(true);
    PBarNowProcessing = new QProgressBar(picNowProcessing);
    PBarNowProcessing->setObjectName(QStringLiteral("PBarNowProcessing"));
    PBarNowProcessing->setMinimum(0);
    PBarNowProcessing->setValue(0);
    texts->addWidget(lblNowProcessing);
    texts->addWidget(PBarNowProcessing);
    panel->addLayout(texts);
    keepEnabledLook(picNowProcessing);
    picNowProcessing->setVisible(false);
    lblNowProcessing->setVisible(false);
    PBarNowProcessing->setVisible(false);

    const HelpMenu help = gAddHelpMenu(menuBar(), QStringLiteral("frmPrint"));
    mnuContents = help.mnuContents;
    mnuAbout = help.mnuAbout;
}

// One line per report frame; their formLoad runs in this order.
void frmPrint::buildFrames() {
    Frame5 = new ManageProfitFrame(*this, m_content);
    addFrame(Frame5, FrameSlot::ManageProfit);
    Frame2 = new PrintMasterFrame(*this, m_content);
    addFrame(Frame2, FrameSlot::Master);
    auto* frame4 = new LedgerPrintFrame(*this, m_content);
    addFrame(frame4, FrameSlot::PrintData);
    Chk_KokuyoRi101 = frame4->Chk_KokuyoRi101; // belongs to the ledger print, kept hidden
    addFrame(new ExcelPosFrame(*this, m_content), FrameSlot::ExcelPos);
    FrameTax = new TaxSummaryFrame(*this, m_content);
    addFrame(FrameTax, FrameSlot::TaxSummary);
    addFrame(new CsvFrame(*this, m_content), FrameSlot::Csv);
    addFrame(new JournalFrame(*this, m_content), FrameSlot::Journal);
}

void frmPrint::addFrame(PrintFrame* frame, FrameSlot slot) {
    switch (slot) {
    case FrameSlot::ManageProfit:
        m_frameGrid->addWidget(frame, 0, 0, 2, 1);
        break;
    case FrameSlot::PrintData:
        m_frameGrid->addWidget(frame, 0, 1, 1, 2);
        break;
    case FrameSlot::Master:
        m_frameGrid->addWidget(frame, 1, 1, Qt::AlignTop);
        break;
    case FrameSlot::ExcelPos:
        m_frameGrid->addWidget(frame, 1, 2, Qt::AlignTop);
        break;
    case FrameSlot::TaxSummary:
        m_frameGrid->addWidget(frame, 2, 1, 1, 2, Qt::AlignTop);
        break;
    case FrameSlot::Csv:
        m_frameGrid->addWidget(frame, 3, 1, 1, 2, Qt::AlignTop);
        break;
    case FrameSlot::Journal:
        m_frameGrid->addWidget(frame, 3, 0, 2, 1, Qt::AlignTop);
        break;
    }
    m_frames << frame;
}

bool frmPrint::formLoad() {
    Chk_KokuyoRi101->setVisible(false);
    bool pdf = false;
    if (!mLoadDataMaster() || !gGetSetting(SettingNo::ReportPdf, pdf))
        return false;
    chkPdf->setChecked(pdf);
    // Stored when it changes, so that a report run or a crash later does not lose it.
    connect(chkPdf, &QCheckBox::toggled, this, [](bool on) {
        if (!gSetSystemBlnField(SettingNo::ReportPdf, on))
            gProcError(QStringLiteral("frmPrint_chkPdf_Click"));
    });
    for (PrintFrame* frame : std::as_const(m_frames)) {
        if (!frame->formLoad())
            return false;
    }
    return true;
}

bool frmPrint::mLoadDataMaster() {
    return gGetReportSuppliers(m_Data_Master);
}

bool frmPrint::formUnload() {
    bool ok = true;
    for (PrintFrame* frame : std::as_const(m_frames))
        ok = frame->formUnload() && ok;
    return ok;
}

void frmPrint::setBusy(bool busy) {
    m_busy = busy;
    setEnabled(!busy);
    PBarNowProcessing->setMinimum(0);
    PBarNowProcessing->setValue(0);
    lblNowProcessing->setVisible(busy);
    PBarNowProcessing->setVisible(busy);
    picNowProcessing->setVisible(busy);
    if (busy) {
        placeProcessingPanel();
        picNowProcessing->raise();
    }
    svc().process().processEvents();
}

ExcelReportRun::Callbacks frmPrint::reportCallbacks() {
    ExcelReportRun::Callbacks callbacks;
    callbacks.makePdf = chkPdf->isChecked();
    callbacks.setBusy = [this](bool busy) { setBusy(busy); };
    callbacks.progress = [this](int value, int maximum) {
        PBarNowProcessing->setMaximum(std::max(maximum, 1));
        PBarNowProcessing->setValue(std::clamp(value, 0, std::max(maximum, 1)));
    };
    callbacks.status = [this](const QString& text) {
        if (!text.isEmpty())
            lblNowProcessing->setText(text);
    };
    return callbacks;
}

QString frmPrint::outputFolder() const {
    return outputFolderOverride();
}

void frmPrint::placeProcessingPanel() {
    QWidget* area = centralWidget();
    if (!area)
        return;
    // As wide as the frames allow (at most 460 pixels), as high as its wrapped text needs.
    const int width = std::min(460, std::max(area->width() - 24, 200));
    const int height = std::min(picNowProcessing->heightForWidth(width) > 0
                                    ? picNowProcessing->heightForWidth(width)
                                    : picNowProcessing->sizeHint().height(),
                                area->height());
    picNowProcessing->setGeometry((area->width() - width) / 2, (area->height() - height) / 2, width,
                                  height);
}

// As large as the frames need, within the screen's free area (a title bar and the frame's
// borders left over); on a smaller screen (1366×768) the frames scroll.
void frmPrint::fitToScreen() {
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QSize room = screen->availableGeometry().size() - QSize(16, 48);
    QSize want = m_content->sizeHint();
    want.rheight() += menuBar()->sizeHint().height();
    if (want.height() > room.height())
        want.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    resize(want.boundedTo(room));
}

void frmPrint::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (picNowProcessing && picNowProcessing->isVisible())
        placeProcessingPanel();
}

void frmPrint::closeEvent(QCloseEvent* event) {
    // A workbook is being written: the window stays until the run has ended.
    if (m_busy) {
        event->ignore();
        return;
    }
    if (m_loaded && !formUnload())
        gProcError(QStringLiteral("frmPrint_Form_Unload"));
    QMainWindow::closeEvent(event);
    gShowMenu();
}
