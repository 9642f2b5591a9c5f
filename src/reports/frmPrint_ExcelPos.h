#pragma once

#include "base/SingleInstance.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The print position of the ledger forms: a vertical value (setting 46, points added to the
// height of the sheets' first row) and a horizontal one (setting 47, characters added to the
// width of their second column), each from -10 to 10. Opened modally from the report window;
// the values are read when it opens and stored when it closes.
//
// The buttons move the print the way they point: "上" makes the first row shorter (the value
// goes down), "下" taller, "右" widens the second column, "左" narrows it.
class frmPrint_ExcelPos : public QDialog, public SingleInstance<frmPrint_ExcelPos> {
    Q_OBJECT

public:
    int vertical() const { return m_vertical; }
    int horizontal() const { return m_horizontal; }

    QLabel* lblTOP = nullptr;
    QLabel* lblLeft = nullptr;
    QLabel* lblMaxAjust = nullptr;
    QPushButton* cmdMoveTop = nullptr;
    QPushButton* cmdMoveUnder = nullptr;
    QPushButton* cmdMoveLeft = nullptr;
    QPushButton* cmdMoveRight = nullptr;
    QPushButton* cmdExit = nullptr;

public slots:
    void done(int result) override;

private:
    explicit frmPrint_ExcelPos(QWidget* parent);
    bool formLoad();
    bool formUnload();
    // Moves one value by step within the limits; at the limit shows message instead.
    void mMove(int& value, int step, const QString& message);
    void mShow();

    int m_vertical = 0;
    int m_horizontal = 0;
    friend class SingleInstance<frmPrint_ExcelPos>;
    // nullptr when the settings could not be read (reported).
    static frmPrint_ExcelPos* newInstance();
};
