#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QuantityEntry;
class ZakazOrder;

// The quantity dialog: shows the product's packaging and, while the quantity is typed, how it
// splits into boxes, blocks, packages and loose pieces, with weight, volume and sum. Talks to the
// main window only through the entry state, the count statement's row and the order's operations.
class TAppKolForm : public QDialog {
    Q_OBJECT
public:
    TAppKolForm(QuantityEntry& entry, ZakazOrder& order, QWidget* parent = nullptr);
    ~TAppKolForm() override;

    // Handlers.
    void FormActivate();
    void MaskEdit1Change();
    void BitBtn2Click(); // ОК
    void BitBtn1Click(); // Отмена
    void FormClose();

    // Product panel.
    QLabel* Label1 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* lblVolume = nullptr;
    QLabel* lblWeight = nullptr;
    // Quantity panel.
    QLineEdit* MaskEdit1 = nullptr;
    QLineEdit* MaskEdit6 = nullptr;
    QLineEdit* MaskEdit5 = nullptr;
    QLineEdit* MaskEdit4 = nullptr;
    QLineEdit* MaskEdit9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label8 = nullptr;
    // Totals panel.
    QLineEdit* MaskEdit2 = nullptr;
    QLineEdit* MaskEdit3 = nullptr;
    QLineEdit* MaskEdit8 = nullptr;
    QLineEdit* MaskEdit7 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void done(int result) override;
    // Showing the dialog is its activation: filled, sized and centred before it appears.
    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showNumber(QLineEdit* box, double value, const QString& format);
    void fitHeight();
    int quantity() const;

    QuantityEntry& m_entry;
    ZakazOrder& m_order;
    double m_price = 0;
    int m_st1 = 0, m_st2 = 0, m_st3 = 0;
    double m_wst3 = 0, m_vst3 = 0;
};
