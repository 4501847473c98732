#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Prompts;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class TcsExchange;
class QWidget;
struct TZarenOptions;

// The main window's components of the exchange panel and the three buttons it keeps in step.
struct ExchangeWidgets {
    QWidget* window = nullptr; // closed again once a transfer cut off by closing it has ended
    QFrame* pnlExchange = nullptr;
    QLabel* lblcsMsg = nullptr;
    QProgressBar* pbExchange = nullptr; // bytes of the file being fetched
    QPushButton* btnExchangeCancel = nullptr;
    QToolButton* btnGetNewPrice = nullptr;
    QToolButton* btnGetNewPictures = nullptr;
    QPushButton* btnGetOnePicture = nullptr;
    // The panel sits in the tool bar, where it is shown and hidden through its action.
    std::function<void(bool)> setPanelVisible;
    std::function<bool()> panelVisible;
};

// The exchange side of the main window: the one exchange component csExchang, built from the
// settings, and the exchange panel that follows its texts, its Busy flag and its connection.
//
// Every transfer runs through run(), which knows when an operation of the component is on the
// stack. Busy cannot tell: Stop clears it while the operation goes on, and an error leaves it set
// after the operation has gone. So the component is never freed under a running operation: a
// rebuild asked for meanwhile (the settings dialog) waits until the operation has ended, and
// closing the window cuts the connection off and closes once the operation has returned.
class ExchangeDesk : public QObject {
    Q_OBJECT
public:
    ExchangeDesk(const ExchangeWidgets& widgets, const TZarenOptions& options, Prompts& prompts,
                 QObject* parent = nullptr);
    ~ExchangeDesk() override;

    // The current component; null only before the first SetupExchange.
    TcsExchange* csExchang() const { return m_exchange; }

    // Frees the component and builds a fresh one from the settings; while an operation runs the
    // rebuild waits until it has ended.
    void SetupExchange();
    // The component's status handler: panel, Stop and the three update buttons.
    void csExchangcsMessage(const QString& Msg);
    // "Остановить": clears Busy and sends the empty text; nothing is cut off on the wire.
    void btnExchangeCancelClick();

    // Runs one operation of the component; nothing (nullopt) when another one is still running or
    // the window is closing. Errors of the operation pass through.
    std::optional<bool> run(const std::function<bool(TcsExchange&)>& operation);
    bool transferRunning() const { return m_running; }
    bool rebuildPending() const { return m_rebuildPending; }

    // The window's closing: true when it may close now. During a transfer the connection is cut off
    // and false returned; the window is closed again once the operation has returned.
    bool mayClose();
    bool closing() const { return m_closing; }

signals:
    // Every text the panel was given, as sent.
    void messageShown(const QString& Msg);

private:
    void showText(const QString& Msg);
    void showProgress(qint64 received, qint64 total);
    void clearProgress();
    void operationEnded() noexcept;

    ExchangeWidgets w;
    const TZarenOptions& m_options;
    Prompts& m_prompts;
    TcsExchange* m_exchange = nullptr;
    bool m_running = false;
    bool m_rebuildPending = false;
    bool m_closing = false;
};
