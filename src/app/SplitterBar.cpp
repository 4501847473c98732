#include "SplitterBar.h"

#include <QMouseEvent>

class SplitterBarHandle : public QSplitterHandle {
public:
    SplitterBarHandle(Qt::Orientation o, SplitterBar* parent) : QSplitterHandle(o, parent), m_bar(parent) {}

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton)
            m_offset = orientation() == Qt::Horizontal ? e->position().toPoint().x() : e->position().toPoint().y();
        QSplitterHandle::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!(e->buttons() & Qt::LeftButton))
            return;
        const QPoint p = mapToParent(e->position().toPoint());
        m_bar->dragTo((orientation() == Qt::Horizontal ? p.x() : p.y()) - m_offset);
    }

private:
    SplitterBar* m_bar;
    int m_offset = 0;
};

SplitterBar::SplitterBar(Qt::Orientation orientation, bool resizesLastPane, QWidget* parent)
    : QSplitter(orientation, parent), m_resizesLastPane(resizesLastPane) {
    setHandleWidth(2);
    setChildrenCollapsible(false);
    setOpaqueResize(true);
    setStyleSheet(QStringLiteral("QSplitter::handle { background: #000000; }"));
}

QSplitterHandle* SplitterBar::createHandle() { return new SplitterBarHandle(orientation(), this); }

bool SplitterBar::dragTo(int pos) {
    const int extent = orientation() == Qt::Horizontal ? width() : height();
    int newSize = m_resizesLastPane ? extent - pos - handleWidth() : pos;
    bool accept = true;
    if (m_canResize)
        m_canResize(this, newSize, accept);
    if (!accept)
        return false;
    moveSplitter(m_resizesLastPane ? extent - newSize - handleWidth() : newSize, 1);
    return true;
}
