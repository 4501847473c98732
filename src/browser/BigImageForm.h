#pragma once

#include <QDialog>

#include <functional>

class PictureView;
class QFrame;
class QLabel;
class QStatusBar;

// The enlarged picture: the file last shown on the product card, at its natural size when it fits
// the window and fitted to it otherwise, with its scale and size in the status bar.
class TAppBigImage : public QDialog {
    Q_OBJECT
public:
    // currentPictureFile gives the card's CurrentPictureFile each time the window opens.
    TAppBigImage(std::function<QString()> currentPictureFile, QWidget* parent = nullptr);

    void FormCreate();
    // Caption and picture from the card's current file; a file that cannot be read is an error.
    void FormActivate();
    void FormResize();
    void FormKeyDown(QKeyEvent* event);

    QFrame* Panel1 = nullptr;
    PictureView* Image = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void activate();

    std::function<QString()> m_currentPictureFile;
    bool m_activatedSinceShow = false;
};
