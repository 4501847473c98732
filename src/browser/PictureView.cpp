#include "PictureView.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PictureView::clear() {
    m_image = QImage();
    m_sourceSize = QSize();
    m_scaled = QPixmap();
    update();
}

bool PictureView::loadFromFile(const QString& path, QString* error) {
    clear();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid()) {
        const qint64 pixels = qint64(size.width()) * size.height();
        if (pixels > kMaxPixels) {
            const double shrink = std::sqrt(double(kMaxPixels) / double(pixels));
            reader.setScaledSize(QSize(qMax(1, int(size.width() * shrink)), qMax(1, int(size.height() * shrink))));
        }
    }
    // The reader's own allocation limit (megabytes) is a second guard for files that lie about their size.
    reader.setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)) + 8);
    QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = reader.errorString();
        return false;
    }
    m_sourceSize = size.isValid() ? size : image.size();
    if (reader.autoTransform() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        m_sourceSize.transpose();
    m_image = std::move(image);
    update();
    return true;
}

bool PictureView::saveToFile(const QString& path) const {
    if (m_image.isNull())
        return false;
    QImageWriter writer(path);
    if (writer.format().isEmpty())
        writer.setFormat(QFileInfo(path).suffix().toLower().toLatin1());
    if (writer.format() == "jpg" || writer.format() == "jpeg")
        writer.setQuality(90);
    return writer.write(m_image);
}

void PictureView::setScaleToFit(bool on) {
    if (m_fit == on)
        return;
    m_fit = on;
    m_scaled = QPixmap();
    update();
}

void PictureView::setScale(double scale) {
    if (scale <= 0 || m_scale == scale)
        return;
    m_scale = scale;
    m_scaled = QPixmap();
    update();
}

double PictureView::scale() const {
    if (!m_fit || m_image.isNull() || m_sourceSize.isEmpty())
        return m_scale;
    return std::min(double(width()) / m_sourceSize.width(), double(height()) / m_sourceSize.height());
}

void PictureView::setCenter(bool on) {
    m_center = on;
    update();
}

void PictureView::setBackground(const QColor& colour) {
    m_background = colour;
    update();
}

QSize PictureView::sizeHint() const {
    return m_sourceSize.isValid() ? m_sourceSize : QSize(100, 100);
}

QSize PictureView::shownSize() const {
    const double s = scale();
    return QSize(qMax(1, qRound(m_sourceSize.width() * s)), qMax(1, qRound(m_sourceSize.height() * s)));
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_fit)
        m_scaled = QPixmap();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (m_image.isNull())
        return;
    const QSize shown = shownSize();
    QPoint at(0, 0);
    if (m_center)
        at = QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2);
    if (qint64(shown.width()) * shown.height() > 4 * qint64(qMax(1, width())) * qMax(1, height())) {
        // Far larger than the control: draw the visible part straight from the picture.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(at, shown), m_image);
        return;
    }
    if (m_scaled.size() != shown) {
        m_scaled = QPixmap::fromImage(
            shown == m_image.size() ? m_image : m_image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    painter.drawPixmap(at, m_scaled);
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
