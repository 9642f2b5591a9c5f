#pragma once

#include "base/SingleInstance.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QPushButton;

// The caption editor of the open ledger (glngDataKind): for each renamable grid column its
// initial name and the name shown, which the user edits. The names are stored when the window
// closes; an empty name keeps the window open (and is stored nonetheless).
class frmDataCaption : public QDialog, public SingleInstance<frmDataCaption> {
    Q_OBJECT
public:
    QLabel* lblDate;
    QLabel* lblItem;
    QLabel* lblClass1;
    QLabel* lblClass2;
    QLabel* lblClass3;
    QLabel* lblUnitPrice;
    QLabel* lblRegularPrice;
    QLabel* lblRatio;
    QLabel* lblCost;
    QLabel* lblPayment;
    QLineEdit* txtDate;
    QLineEdit* txtItem;
    QLineEdit* txtClass1;
    QLineEdit* txtClass2;
    QLineEdit* txtClass3;
    QLineEdit* txtUnitPrice;
    QLineEdit* txtRegularPrice;
    QLineEdit* txtRatio;
    QLineEdit* txtCost;
    QLineEdit* txtPayment;
    QPushButton* cmdClose;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit frmDataCaption(QWidget* parent = nullptr);

    bool load();
    bool save();

    friend class SingleInstance<frmDataCaption>;
    int m_kind = 1;
    bool m_loaded = false;
    // Labels and boxes in the order of the caption numbers.
    QList<QLabel*> m_labels;
    QList<QLineEdit*> m_boxes;
};
