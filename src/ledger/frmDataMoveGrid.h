#pragma once

#include "base/SingleInstance.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

// The grid offset window: moves the ledger grid sideways, 6 twips per press, so that it lines up
// with the header buttons above it on this screen. The offset (twips, "DataGridOffSet") is read
// when the window opens and stored when it closes; moves show at once.
//
// The ledger hands over its grid with setGrid before showing the window. The grid is moved
// inside its parent widget, whose inner width is the right-hand limit; its left edge is always
// 90 twips + the offset. Twips become pixels with the screen's logical DPI (twipsToPixelsX:
// pixels = twips × DPI / 1440, 15 twips per pixel at 96 DPI); a pixel width becomes twips with
// the same DPI. The offset itself is kept in twips, so steps smaller than a pixel add up
// instead of being lost to rounding.
class frmDataMoveGrid : public QDialog, public SingleInstance<frmDataMoveGrid> {
    Q_OBJECT
public:
    void setGrid(QWidget* grid) { m_grid = grid; }
    int offset() const { return m_offset; }

    QLabel* lblLeft;
    QPushButton* cmdMoveLeft;
    QPushButton* cmdMoveRight;
    QPushButton* cmdClose;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit frmDataMoveGrid(QWidget* parent = nullptr);

    void onMoveRight();
    void onMoveLeft();
    void placeGrid();
    void showOffset();

    friend class SingleInstance<frmDataMoveGrid>;
    QPointer<QWidget> m_grid;
    int m_offset = 0;
    bool m_loaded = false;
};
