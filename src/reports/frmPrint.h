#pragma once

#include "base/SingleInstance.h"
#include "reports/PrintFrame.h"

#include <QList>
#include <QMainWindow>

class QAction;
class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QProgressBar;

class ManageProfitFrame;
class PrintMasterFrame;
class TaxSummaryFrame;

// The report window "各種帳票の作成　（エクセルファイル）", opened from the menu in the upper
// third of the screen. It holds one frame per report (see PrintFrame), the supplier record
// source they share, and the processing panel shown while a workbook is written. Closing it
// shows the menu again.
class frmPrint : public QMainWindow, public PrintHost, public SingleInstance<frmPrint> {
    Q_OBJECT

public:
    // Where the report frames save their workbooks instead of the desktop (tests, other
    // front ends); empty restores the desktop. Kept for every later window.
    static void setOutputFolderOverride(const QString& folder);

    // Where each frame stands: the profit table on the left, the ledger print on the right
    // above the supplier list and the print position, the tax summary, the CSV frame and the
    // journal frame below them.
    enum class FrameSlot { ManageProfit, PrintData, Master, ExcelPos, TaxSummary, Csv, Journal };

    // PrintHost
    const QList<SupplierRecord>& suppliers() const override { return m_Data_Master; }
    void setBusy(bool busy) override;
    bool isBusy() const override { return m_busy; }
    ExcelReportRun::Callbacks reportCallbacks() override;
    QString outputFolder() const override;

    ManageProfitFrame* Frame5 = nullptr;
    PrintMasterFrame* Frame2 = nullptr;
    TaxSummaryFrame* FrameTax = nullptr;
    QCheckBox* Chk_KokuyoRi101 = nullptr;
    // "PDFも作成": every workbook written is also converted to a PDF beside it.
    QCheckBox* chkPdf = nullptr;
    QFrame* picNowProcessing = nullptr;
    QLabel* lblNowProcessing = nullptr;
    QProgressBar* PBarNowProcessing = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    frmPrint();
    void buildControls();
    void buildFrames();
    void addFrame(PrintFrame* frame, FrameSlot slot);
    bool formLoad();
    bool formUnload();
    bool mLoadDataMaster();
    void placeProcessingPanel();
    void fitToScreen();

    QWidget* m_content = nullptr; // the frames, in the window's scroll area
    QGridLayout* m_frameGrid = nullptr;
    QList<PrintFrame*> m_frames;
    QList<SupplierRecord> m_Data_Master;
    bool m_busy = false;
    bool m_loaded = false;

    friend class SingleInstance<frmPrint>;
};
