#include "GridHeader.h"

#include "DatasetModel.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kIndicatorWidth = 12;
constexpr int kMarkerWidth = 9;

QColor readableOn(const QColor& background, const QPalette& palette) {
    return background.lightness() < 110 ? QColor(Qt::white) : palette.color(QPalette::ButtonText);
}

} // namespace

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
    setMinimumSectionSize(8);
    setDefaultAlignment(Qt::AlignCenter);
}

void GridHeader::setModel(QAbstractItemModel* model) {
    if (this->model())
        disconnect(this->model(), &QAbstractItemModel::headerDataChanged, this, nullptr);
    QHeaderView::setModel(model);
    if (model)
        connect(model, &QAbstractItemModel::headerDataChanged, this, &GridHeader::titlesChanged);
}

void GridHeader::titlesChanged() {
    // A title may have gained or lost its upper line, and a shared title spans its neighbours.
    updateGeometry();
    viewport()->update();
}

void GridHeader::splitTitle(const QString& title, QString& upper, QString& lower) {
    const qsizetype bar = title.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        upper.clear();
        lower = title;
    } else {
        upper = title.left(bar);
        lower = title.mid(bar + 1);
    }
}

QString GridHeader::upperTitle(int logical) const {
    if (!model())
        return {};
    QString upper, lower;
    splitTitle(model()->headerData(logical, orientation(), Qt::DisplayRole).toString(), upper, lower);
    return upper;
}

int GridHeader::titleLines() const {
    if (!model())
        return 1;
    for (int i = 0; i < count(); ++i) {
        if (model()->headerData(i, orientation(), Qt::DisplayRole).toString().contains(QLatin1Char('|')))
            return 2;
    }
    return 1;
}

QSize GridHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(titleLines() * (fontMetrics().height() + 5) + 1);
    return size;
}

QPair<int, int> GridHeader::upperSpan(int logical) const {
    const QString upper = upperTitle(logical);
    int first = visualIndex(logical), last = first;
    if (upper.isEmpty())
        return {first, last};
    auto sameUpper = [&](int visual) {
        const int other = logicalIndex(visual);
        return other >= 0 && !isSectionHidden(other) && upperTitle(other) == upper;
    };
    // Hidden sections in between do not break a shared title.
    for (int v = first - 1; v >= 0; --v) {
        if (isSectionHidden(logicalIndex(v)))
            continue;
        if (!sameUpper(v))
            break;
        first = v;
    }
    for (int v = last + 1; v < count(); ++v) {
        if (isSectionHidden(logicalIndex(v)))
            continue;
        if (!sameUpper(v))
            break;
        last = v;
    }
    return {first, last};
}

void GridHeader::paintCell(QPainter* painter, const QRect& rect, const QString& text, const QColor& background,
                           int marker) const {
    const QPalette& pal = palette();
    painter->fillRect(rect, background);
    painter->setPen(pal.color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    QRect textRect = rect.adjusted(2, 0, -2, 0);
    if (marker != static_cast<int>(SortMarker::None)) {
        const QRect m(rect.right() - kMarkerWidth - 2, rect.center().y() - 3, kMarkerWidth - 2, 6);
        QPainterPath triangle;
        if (marker == static_cast<int>(SortMarker::Up)) {
            triangle.moveTo(m.left(), m.bottom());
            triangle.lineTo(m.right() + 1, m.bottom());
            triangle.lineTo(m.center().x() + 0.5, m.top());
        } else {
            triangle.moveTo(m.left(), m.top());
            triangle.lineTo(m.right() + 1, m.top());
            triangle.lineTo(m.center().x() + 0.5, m.bottom());
        }
        triangle.closeSubpath();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(triangle, readableOn(background, pal));
        painter->restore();
        textRect.setRight(m.left() - 2);
    }
    painter->setPen(readableOn(background, pal));
    painter->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                      fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logical) const {
    if (!rect.isValid() || !model())
        return;
    painter->save();
    painter->setClipRect(rect);
    QString upper, lower;
    splitTitle(model()->headerData(logical, orientation(), Qt::DisplayRole).toString(), upper, lower);
    const QVariant bg = model()->headerData(logical, orientation(), Qt::BackgroundRole);
    const QColor face = palette().color(QPalette::Button);
    const QColor background = bg.canConvert<QColor>() && bg.value<QColor>().isValid() ? bg.value<QColor>() : face;
    const int marker = model()->headerData(logical, orientation(), DatasetModel::SortMarkerRole).toInt();
    if (upper.isEmpty() || titleLines() < 2) {
        paintCell(painter, rect, upper.isEmpty() ? lower : upper + QLatin1Char(' ') + lower, background, marker);
    } else {
        const int upperHeight = rect.height() / 2;
        const auto [first, last] = upperSpan(logical);
        const int left = sectionViewportPosition(logicalIndex(first));
        const int right = sectionViewportPosition(logicalIndex(last)) + sectionSize(logicalIndex(last));
        // Drawn whole by every column of the span and clipped to each, so it reads as one title.
        paintCell(painter, QRect(left, rect.top(), right - left, upperHeight), upper, face, 0);
        paintCell(painter, QRect(rect.left(), rect.top() + upperHeight, rect.width(), rect.height() - upperHeight),
                  lower, background, marker);
    }
    painter->restore();
}

IndicatorHeader::IndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(true);
    setHighlightSections(false);
    setMinimumSectionSize(4);
}

QSize IndicatorHeader::sizeHint() const {
    return QSize(kIndicatorWidth, QHeaderView::sizeHint().height());
}

void IndicatorHeader::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QHeaderView::currentChanged(current, previous);
    viewport()->update();
}

void IndicatorHeader::paintSection(QPainter* painter, const QRect& rect, int logical) const {
    const QPalette& pal = palette();
    painter->fillRect(rect, pal.color(QPalette::Button));
    painter->setPen(pal.color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    if (!selectionModel() || selectionModel()->currentIndex().row() != logical)
        return;
    const int h = qMin(rect.height() - 6, 8);
    const QPointF tip(rect.left() + 3 + h / 2.0, rect.center().y() + 0.5);
    QPainterPath triangle;
    triangle.moveTo(rect.left() + 3, tip.y() - h / 2.0);
    triangle.lineTo(tip);
    triangle.lineTo(rect.left() + 3, tip.y() + h / 2.0);
    triangle.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(triangle, pal.color(QPalette::ButtonText));
    painter->restore();
}
