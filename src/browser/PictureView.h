#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// A picture control: shows one picture, scaled to fit (the smaller of the two ratios, so the aspect
// stays and small pictures grow too) or at a given scale, centred or at the top left, on its own
// background colour. Pictures are decoded with a bound on their size, so a huge file cannot exhaust
// memory: anything larger than kMaxPixels is decoded scaled down.
class PictureView : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kMaxPixels = 16'000'000;

    explicit PictureView(QWidget* parent = nullptr);

    // Empties the picture, then loads the file; false (and an empty picture) when it cannot be read.
    bool loadFromFile(const QString& path, QString* error = nullptr);
    // Writes the picture in the format its suffix names; false when there is none or writing failed.
    bool saveToFile(const QString& path) const;
    void clear();
    bool isEmpty() const { return m_image.isNull(); }
    const QImage& image() const { return m_image; }
    // The size of the picture as stored in its file (what was decoded may be smaller).
    QSize pictureSize() const { return m_sourceSize; }

    void setScaleToFit(bool on);
    bool scaleToFit() const { return m_fit; }
    // While scale-to-fit is on, the scale reads as the fitting ratio.
    void setScale(double scale);
    double scale() const;
    void setCenter(bool on);
    void setBackground(const QColor& colour);

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSize shownSize() const;

    QImage m_image;
    QSize m_sourceSize;
    mutable QPixmap m_scaled; // the picture at its shown size, made once per size
    bool m_fit = false;
    bool m_center = false;
    double m_scale = 1.0;
    QColor m_background = Qt::white;
};
