#include "BigImageForm.h"

#include "Error.h"
#include "PictureView.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

TAppBigImage::TAppBigImage(std::function<QString()> currentPictureFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_currentPictureFile(std::move(currentPictureFile)) {
    setObjectName(QStringLiteral("AppBigImage"));
    resize(674, 609);
    setMinimumSize(300, 300);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Box);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(100);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    layout->addWidget(Panel1, 1);
    layout->addWidget(StatusBar1);
    FormCreate();
}

void TAppBigImage::FormCreate() {
    Image = new PictureView(Panel1);
    Image->setObjectName(QStringLiteral("Image"));
    Panel1->layout()->addWidget(Image);
    Image->setScaleToFit(true);
    Image->setCenter(true);
    Image->setBackground(Qt::white);
    Image->setScale(1.0);
}

void TAppBigImage::FormActivate() {
    const QString file = m_currentPictureFile ? m_currentPictureFile() : QString();
    setWindowTitle(file);
    QString why;
    const bool loaded = Image->loadFromFile(file, &why);
    FormResize();
    if (!loaded)
        throw AppError(QStringLiteral("Изображение «%1» не открывается: %2").arg(file, why));
}

void TAppBigImage::FormResize() {
    const int h = Image->pictureSize().height();
    const int w = Image->pictureSize().width();
    const QRect outer = frameGeometry();
    if (h > outer.height() - 30 || w > outer.width() - 20) {
        Image->setScale(1.0);
        Image->setScaleToFit(true);
    } else {
        Image->setScaleToFit(false);
        Image->setScale(1.0);
    }
    StatusPanel0->setText(QStringLiteral("Масштаб: ") + QString::number(static_cast<int>(Image->scale() * 100)) +
                          QLatin1Char('%'));
    StatusPanel1->setText(QStringLiteral("Размер: ") + QString::number(h) + QLatin1Char('x') + QString::number(w));
}

void TAppBigImage::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
}

void TAppBigImage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_activatedSinceShow = true;
    activate();
}

void TAppBigImage::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (!isActiveWindow()) {
        m_activatedSinceShow = false;
        return;
    }
    // Showing already ran the activation; coming back to the open window runs it again.
    if (!m_activatedSinceShow)
        activate();
    m_activatedSinceShow = false;
}

void TAppBigImage::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (Image)
        FormResize();
}

void TAppBigImage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        FormKeyDown(event);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAppBigImage::activate() {
    try {
        FormActivate();
    } catch (const AppError& e) {
        // Not thrown through the window's own showing: the error goes to the general handler from
        // the event loop, and the window stays open without a picture.
        QTimer::singleShot(0, this, [message = e.message()] { throw AppError(message); });
    }
}
