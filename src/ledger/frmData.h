#pragma once

#include "base/SingleInstance.h"
#include "ledger/LineRules.h"

#include <QComboBox>
#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class LedgerGrid;
class QAbstractItemView;
class LedgerModel;
class QAction;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// A combo box whose list opens only when the window allows it (guard), and whose selection
// cannot be changed without opening the list (arrow keys open it; the wheel does nothing).
class GuardedComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<bool()> beforePopup; // false: the list stays closed
    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

// The ledger window of one supplier, for the purchase ledger (glngDataKind 1) or the sales
// ledger (2): the grid of the supplier's lines, stored cell by cell as they are confirmed, the
// header buttons that open the lists and derive amounts, and the period totals. Control arrays
// carry "_" and their index in the objectName: cmdCol_<grid column> (cmdCol_1 ... cmdCol_14).
class frmData : public QMainWindow, public SingleInstance<frmData> {
    Q_OBJECT

public:
    int kind() const { return m_kind; }
    LedgerModel* model() const { return m_model; }

    // Rebuilds the grid for a supplier (0: none) in the named order ("通常", "入力順").
    bool mChangeView(qint32 masterID, const QString& viewName);
    // Reads the shown supplier's lines again (after a change made outside the grid).
    bool mRefreshView();
    // Confirms a pending cell edit. False only on an unexpected failure; a refused edit leaves
    // m_blnEditPending set (the user stays in the cell).
    bool mDataDicide();
    // The line check over the shown lines; errorFound when a changed line fails (the user has
    // been told and put on it).
    bool mChkInputDate(bool& errorFound);
    // A change of the shown supplier's lines, recorded in the history as group: the newest step
    // that 元に戻す undoes (the steps that could be redone are dropped).
    void mRecordChange(qint64 group);
    // Undoes (or, with redo, does again) the newest step of the shown supplier made in this
    // window, one step after the other: the user is told when there is none or when a line of
    // it is no longer as the step left it (changed since by another window or program).
    void mnuUndo_Click(bool redo);
    // 元に戻す (menu and button) and やり直す are on only when the shown supplier has a step to
    // undo or to redo in this window.
    void mSetUndoEnabled();
    // Puts the cursor on the next line that matches the search box (LedgerModel::findRow);
    // tells when none does.
    void mFindNext();

    LedgerGrid* DBGrid_Main = nullptr;
    GuardedComboBox* cboSupplierName = nullptr;
    QComboBox* cboSortSetting = nullptr;
    QComboBox* cboEditGrid = nullptr;
    // The header buttons of the shown grid columns (nullptr for a hidden column).
    std::array<QPushButton*, LedgerCol::Count> cmdCol{};
    QPushButton* cmdHead = nullptr;
    QPushButton* cmdMoveGrid = nullptr;
    QPushButton* cmdDspSupplier = nullptr;
    QPushButton* cmdCulCExe = nullptr;
    QPushButton* cmdUndo = nullptr;
    QPushButton* cmdHistory = nullptr;
    QLineEdit* txtMasterID = nullptr;
    QLineEdit* txtRegularRatio = nullptr;
    QLineEdit* txtStartCarry = nullptr;
    QLineEdit* txtNotes = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* lblRegularRatio = nullptr;
    QGroupBox* frmCalcSum = nullptr;
    QComboBox* cboCalcStartDate = nullptr;
    QComboBox* cboCalcEndDate = nullptr;
    QPushButton* cmdCulcStartCalendar = nullptr;
    QPushButton* cmdCulcEndCalendar = nullptr;
    QPushButton* cmdCalcSum = nullptr;
    QPushButton* cmdEstimatedTax = nullptr;
    QLabel* lblCarry = nullptr;
    QLabel* lblTotalCost = nullptr;
    QLabel* lblTotalTax = nullptr;
    QLabel* lblTotalPayment = nullptr;
    QLabel* lblBalance = nullptr;
    QLabel* lblTotalRegularPrice = nullptr;
    QLabel* lblTotalRatio = nullptr;
    QLabel* lblCarry2 = nullptr;
    QLabel* lblTotalCost2 = nullptr;
    QLabel* lblTotalTax2 = nullptr;
    QLabel* lblTotalPayment2 = nullptr;
    QLabel* lblBalance2 = nullptr;
    QLabel* lblTotalRegularPrice2 = nullptr;
    QLabel* lblTotalRatio2 = nullptr;
    QLabel* picNowProcessing = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    QAction* mnuHistory = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;

    // True while a refused cell edit is open.
    bool m_blnEditPending = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmData(int kind);

    void buildControls();
    // The parts below the supplier row, built in this order by buildControls.
    void buildTotalsFrame();
    void buildHeaderButtons();
    void buildGrid();
    bool formLoad();
    void placeGrid();
    // The column widths: the user's (dragged at a header button's edge, kept per ledger in the
    // machine's settings) or the designed ones, widened where a caption would not fit. The last
    // column takes the room the window leaves. layoutHeader puts the header buttons over their
    // columns (following a sideways scroll).
    int columnWidth(int column) const;
    void layoutColumns();
    void layoutHeader();
    void loadColumnWidths();
    void saveColumnWidths();
    bool headerButtonEvent(int column, QEvent* event);
    // The line check of a line the user has just left (lineID), told once per failing state of
    // the line; the user goes on where they went.
    void checkLeftLine(qint64 lineID);
    LineCheckTexts lineCheckTexts() const;

    // Routines of the window.
    bool mChangeSupplier();
    bool mDspMasterInfo(qint32 masterID);
    bool mInitDBGrid();
    bool mSetItem_cboSortSetting();
    bool mSetProcessingScreen(bool show);
    bool mVisibleCulc(bool show);
    bool mSetCmdColCaption();
    bool mSetItem_cboEditGrid(int column);
    bool mInputClassDefault(int column);
    bool mCalcColumn(int column);

    // Event handlers.
    bool cboSupplierName_DropDown();
    void cboSupplierName_Click();
    void cboSortSetting_Click();
    void cmdCol_Click(int index);
    void cmdHead_Click();
    void cmdMoveGrid_Click();
    void cmdDspSupplier_Click();
    void cmdCulCExe_Click();
    void cmdCalcSum_Click();
    // Totals the supplier's lines of the period into the totals frame and shows it. False on a
    // failure (reported); outOfRange: the totals could not be held, nothing was shown.
    bool mDspTotals(qint32 masterID, const QDate& start, const QDate& end, bool& outOfRange);
    // Another program changed lines or suppliers (ChangeNotices): the shown supplier's details
    // and the totals, while shown, are read again (the grid refreshes itself).
    void otherChanged(const QString& table, qint64 masterID);
    void cmdEstimatedTax_Click();
    void cmdHistory_Click();
    void cmdCulcCalendar_Click(bool start);
    void DBGrid_Main_ButtonClick(int column);
    bool DBGrid_Main_KeyDown(QKeyEvent* event);
    bool DBGrid_Main_CommitCell(int row, int column, const QString& text);
    void DBGrid_Main_DeleteRows(const QList<int>& rows);
    void cboEditGrid_Click();

    // Shows what a rule asks for: a catalogue message or a warning box.
    void showRule(const RuleResult& r);
    // After a failed write: a server out of reach is told (the model's explanation); any other
    // failure takes the fatal path under proc.
    void tellLostServerOrFail(const QString& proc);
    // The supplier's default ratio of this ledger, from txtRegularRatio.
    std::optional<Currency> defaultRatio() const;
    int currentRow() const;

    int m_kind;
    QDate m_calcEnd;   // the end of the period last totalled (the tax estimate's rate date)
    QDate m_calcStart; // and its start, to total again when another program changes the lines
    LedgerModel* m_model = nullptr;
    QWidget* m_central = nullptr;
    qint32 m_gridOffset = 0;
    int m_intEditColumn = 0;
    int m_intLastKeyCode = 0;
    QList<QFrame*> m_sumShapes;
    QWidget* m_headerStrip = nullptr; // holds the header buttons, as wide as the grid's cells
    std::array<int, LedgerCol::Count> m_userWidths{}; // pixels; 0: the default width
    int m_dragColumn = -1;                            // the column being widened, or -1
    int m_dragStartX = 0;
    int m_dragStartWidth = 0;
    // Moves of the current cell made by the window itself are no leaving of a line.
    bool m_movingCurrent = false;
    // The current cell when the grid's lines were last read anew (-1: none).
    int m_resetRow = -1;
    int m_resetColumn = -1;
    qint64 m_warnedLineID = 0; // the line last told about, in the state it was told
    LedgerLine m_warnedLine;
    QAbstractItemView* m_editList = nullptr; // the list of cboEditGrid
    // The steps of each supplier that can be undone and redone, as history groups, newest last.
    std::map<qint32, std::vector<qint64>> m_undoSteps;
    std::map<qint32, std::vector<qint64>> m_redoSteps;

    friend class SingleInstance<frmData>;
    static frmData* newInstance(); // the ledger of glngDataKind
};
