#include "ExchangeDesk.h"

#include "ErrorReporter.h"
#include "ZarenOptions.h"
#include "csExchange.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <limits>

namespace {

// The bar runs in thousandths, so files beyond the range of int still fill it evenly.
constexpr int kProgressSteps = 1000;

} // namespace

ExchangeDesk::ExchangeDesk(const ExchangeWidgets& widgets, const TZarenOptions& options, Prompts& prompts,
                           QObject* parent)
    : QObject(parent), w(widgets), m_options(options), m_prompts(prompts) {
    // A file name in a text is never markup; the lines of a text arrive separated by CR.
    w.lblcsMsg->setTextFormat(Qt::PlainText);
    QSizePolicy keepPlace = w.pbExchange->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    w.pbExchange->setSizePolicy(keepPlace);
    w.pbExchange->setTextVisible(false);
    clearProgress();
}

ExchangeDesk::~ExchangeDesk() {
    // The component goes first; its destructor only says goodbye to the server.
    delete m_exchange;
}

void ExchangeDesk::SetupExchange() {
    if (m_running) {
        m_rebuildPending = true;
        return;
    }
    m_rebuildPending = false;
    if (TcsExchange* old = m_exchange) {
        m_exchange = nullptr;
        try {
            delete old;
        } catch (...) {
            // a component that cannot say goodbye is gone all the same
        }
    }
    auto* x = new TcsExchange(this);
    x->setUserName(m_options.ConnectUserName);
    x->setPassword(m_options.ConnectPassword);
    x->setHost(m_options.ConnectHost);
    x->setPort(m_options.ConnectPort);
    x->setPassive(m_options.ConnectPassive);

    x->setPathToBase(m_options.WorkDir);
    x->setPathToPictures(m_options.PathPicture);
    x->setPathToTmpPictures(m_options.TempPictureDir);

    TIdFtpProxySettings proxy;
    if (!m_options.ProxyHost.trimmed().isEmpty()) {
        proxy.Host = m_options.ProxyHost;
        proxy.UserName = m_options.ProxyUserName;
        proxy.Password = m_options.ProxyPassword;
        proxy.Port = static_cast<quint16>(m_options.ProxyPort);
        proxy.ProxyType = m_options.ProxyType;
    }
    x->setProxySettings(proxy);

    if (m_options.UseSocks5) {
        FtpClient* ftp = x->ftp();
        TIdSocksInfo& socks = ftp->socksInfo() ? *ftp->socksInfo() : ftp->installSocksInfo();
        socks.Username = m_options.ProxyUserName;
        socks.Password = m_options.ProxyPassword;
        socks.Port = static_cast<quint16>(m_options.ProxyPort);
        socks.Host = m_options.ProxyHost;
        socks.Authentication = m_options.ProxyUserName.isEmpty() ? TSocksAuthentication::saNoAuthentication
                                                                 : TSocksAuthentication::saUsernamePassword;
    }

    x->setPrompts(&m_prompts);
    x->setOncsMessage([this](const QString& Msg) { csExchangcsMessage(Msg); });
    connect(x, &TcsExchange::transferProgress, this, &ExchangeDesk::showProgress);
    m_exchange = x;
}

void ExchangeDesk::csExchangcsMessage(const QString& Msg) {
    const bool busy = m_exchange && m_exchange->Busy();
    const bool connected = m_exchange && m_exchange->Connected();
    if (busy && !w.panelVisible())
        w.setPanelVisible(true);
    if (!busy && w.panelVisible() && !connected)
        w.setPanelVisible(false);
    showText(Msg);
    // Every step starts without a file; the fetch of one brings the bar back.
    clearProgress();
    w.lblcsMsg->repaint();
    if (busy)
        w.btnExchangeCancel->setEnabled(true);
    if (busy || connected) {
        w.btnGetNewPictures->setEnabled(false);
        w.btnGetNewPrice->setEnabled(false);
        w.btnGetOnePicture->setEnabled(false);
    } else {
        w.btnExchangeCancel->setEnabled(false);
        w.lblcsMsg->clear();
        w.lblcsMsg->setToolTip(QString());
        w.btnGetNewPictures->setEnabled(true);
        w.btnGetNewPrice->setEnabled(true);
        w.btnGetOnePicture->setEnabled(true);
    }
    emit messageShown(Msg);
}

void ExchangeDesk::showText(const QString& Msg) {
    // One text line, one label line: a line too long for the label (a long proxy host) is cut short
    // rather than wrapped, so the lines below it stay in view; the whole text is in the tooltip.
    QLabel* label = w.lblcsMsg;
    const QFontMetrics metrics(label->font());
    const int width = label->contentsRect().width() - 4; // a gap before the Stop button
    QStringList lines = Msg.split(QLatin1Char('\r'));
    bool cut = false;
    for (QString& line : lines) {
        const QString fitted = metrics.elidedText(line, Qt::ElideRight, width);
        cut = cut || fitted != line;
        line = fitted;
    }
    label->setText(lines.join(QLatin1Char('\n')));
    label->setToolTip(cut ? QString(Msg).replace(QLatin1Char('\r'), QLatin1Char('\n')) : QString());
}

void ExchangeDesk::btnExchangeCancelClick() {
    if (!m_exchange)
        return;
    m_exchange->setBusy(false);
    m_exchange->sendMessage(QString());
}

void ExchangeDesk::showProgress(qint64 received, qint64 total) {
    QProgressBar* bar = w.pbExchange;
    if (total < 0) {
        bar->setRange(0, 0); // size unknown: the bar only shows that bytes arrive
    } else if (total == 0) {
        bar->setRange(0, 1);
        bar->setValue(1);
    } else {
        bar->setRange(0, kProgressSteps);
        const qint64 part = qBound<qint64>(0, received, total);
        // part / total in thousandths without overflowing for very large files
        const double share = static_cast<double>(part) / static_cast<double>(total);
        bar->setValue(static_cast<int>(share * kProgressSteps));
    }
    bar->show();
    bar->repaint();
}

void ExchangeDesk::clearProgress() {
    QProgressBar* bar = w.pbExchange;
    bar->setRange(0, kProgressSteps);
    bar->setValue(0);
    bar->setVisible(false);
}

std::optional<bool> ExchangeDesk::run(const std::function<bool(TcsExchange&)>& operation) {
    if (m_running || m_closing)
        return std::nullopt;
    if (!m_exchange)
        SetupExchange(); // start-up ended early, before its own SetupExchange
    struct Running {
        ExchangeDesk& desk;
        explicit Running(ExchangeDesk& d) : desk(d) { desk.m_running = true; }
        ~Running() { desk.operationEnded(); }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running(*this);
    return operation(*m_exchange);
}

void ExchangeDesk::operationEnded() noexcept {
    m_running = false;
    if (m_rebuildPending && !m_closing) {
        try {
            SetupExchange();
        } catch (...) {
            ErrorReporter::log(QStringLiteral("Не удалось заново настроить обмен данными после загрузки"));
        }
    }
    if (m_closing && w.window) {
        try {
            QTimer::singleShot(0, w.window, &QWidget::close);
        } catch (...) {
            // out of memory while unwinding; the user closes the window once more
        }
    }
}

bool ExchangeDesk::mayClose() {
    if (!m_running)
        return true;
    if (!m_closing) {
        m_closing = true;
        m_exchange->abort();
    }
    return false;
}
