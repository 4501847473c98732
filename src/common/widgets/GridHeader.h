#pragma once

#include <QHeaderView>

// Column titles of a data-aware grid. A title "Upper|Lower" takes two lines: the lower line is the
// column's own, the upper one is shared by every neighbouring visible column with the same upper
// text and drawn once across them. One-level titles fill both lines. The background of a column's
// title is the model's Qt::BackgroundRole (the palette's button colour when none), and
// DatasetModel::SortMarkerRole draws the sort marker at the title's right.
class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeader(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QSize sizeHint() const override;
    // Two lines when any title of the model has an upper part.
    int titleLines() const;
    // The upper and lower title of a column; upper empty for a one-level title.
    static void splitTitle(const QString& title, QString& upper, QString& lower);
    // The visible sections that share the upper title of the given one (itself when alone), in
    // visual order.
    QPair<int, int> upperSpan(int logical) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logical) const override;

private:
    void titlesChanged();
    QString upperTitle(int logical) const;
    void paintCell(QPainter* painter, const QRect& rect, const QString& text, const QColor& background,
                   int marker) const;
};

// The row indicator at the left of a grid: a narrow strip of fixed-height rows that marks the
// current row with a triangle and shows no numbers.
class IndicatorHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit IndicatorHeader(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logical) const override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};
