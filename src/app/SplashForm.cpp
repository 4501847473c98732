#include "SplashForm.h"

#include "Artwork.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

TAppSplashForm::TAppSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("AppSplashForm"));
    setWindowTitle(QStringLiteral("Сервис Таврел Электронный каталог"));
    setFixedSize(401, 320);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 401, 306);
    Image1->setPixmap(Artwork::pixmap(QStringLiteral("splash"), QSize(401, 306)));
    Memo1 = new QLineEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 306, 401, 14);
    Memo1->setReadOnly(true);
    Memo1->setFrame(false);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setAccessibleName(QStringLiteral("Состояние запуска"));
    // Blue text on money green.
    Memo1->setStyleSheet(QStringLiteral("QLineEdit { color: #0000ff; background: #c0dcc0; border: none; padding: 0 4px; }"));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TAppSplashForm::repaintLine() {
    Memo1->setCursorPosition(0);
    if (isVisible())
        repaint();
}

void TAppSplashForm::setStatus(const QString& text) {
    Memo1->setText(text);
    repaintLine();
}

void TAppSplashForm::appendStatus(const QString& text) {
    Memo1->setText(Memo1->text() + text);
    repaintLine();
}

QString TAppSplashForm::statusText() const { return Memo1->text(); }

void TAppSplashForm::clearStatus() { setStatus(QString()); }

void TAppSplashForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    repaint();
}
