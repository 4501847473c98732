#pragma once

#include "StatusLine.h"

#include <QWidget>

class QLabel;
class QLineEdit;

// The start-up window: a picture above a one-line status display. Start-up runs before the message
// loop, so every change of the line repaints at once.
class TAppSplashForm : public QWidget, public StatusLine {
    Q_OBJECT
public:
    explicit TAppSplashForm(QWidget* parent = nullptr);

    void setStatus(const QString& text) override;
    void appendStatus(const QString& text) override;
    QString statusText() const;
    // Clears the line (start-up begins with an empty memo).
    void clearStatus();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void repaintLine();

    QLabel* Image1;
    QLineEdit* Memo1;
};
