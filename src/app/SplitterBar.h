#pragma once

#include <QSplitter>
#include <QSplitterHandle>

#include <functional>

// A splitter whose bar asks before every move: the hook gets the proposed size of the pane that the
// bar resizes (the first pane, or the last with resizesLastPane) and may refuse it.
class SplitterBar : public QSplitter {
    Q_OBJECT
public:
    using CanResize = std::function<void(QSplitter*, int& newSize, bool& accept)>;

    SplitterBar(Qt::Orientation orientation, bool resizesLastPane, QWidget* parent = nullptr);
    void setCanResize(CanResize hook) { m_canResize = std::move(hook); }

    // Moves the bar as a drag to pos would; false when the hook refused.
    bool dragTo(int pos);

protected:
    QSplitterHandle* createHandle() override;

private:
    friend class SplitterBarHandle;
    CanResize m_canResize;
    bool m_resizesLastPane;
};
