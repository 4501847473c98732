#include "csExchange.h"

#include "ZarenOptions.h"

TcsExchange::TcsExchange(QObject* owner) : QObject(owner), m_ftp(new FtpClient(this)) {
    m_ftp->setUsername(kAnonymousLogin);
    m_ftp->setPassword(kAnonymousLogin);
    m_ftp->setHost(kSupplierFtpHost);
    connect(m_ftp, &FtpClient::transferProgress, this, &TcsExchange::transferProgress);
}

TcsExchange::~TcsExchange() {
    try {
        if (m_ftp->isConnected())
            m_ftp->closeQuietly();
    } catch (...) {
        // nothing useful can be done about it now
    }
}

void TcsExchange::sendMessage(const QString& Msg) {
    if (m_onMessage)
        m_onMessage(Msg);
}

QString TcsExchange::connectionText(const QString& operation) const {
    QString text = operation + QStringLiteral("\rСоединение");
    if (!ProxySettings().Host.isEmpty())
        text += QStringLiteral("\rЧерез прокси: ") + ProxySettings().Host;
    return text;
}

void TcsExchange::connectBinary() {
    m_ftp->connectToServer();
    m_ftp->setTransferType(TIdFTPTransferType::ftBinary);
}

bool TcsExchange::fileExists(const QString& name) {
    m_ftp->list(name, true);
    return m_ftp->listResultText().contains(name, Qt::CaseSensitive);
}

bool TcsExchange::runTransfer(const TransferPlan& plan) {
    m_aborted = false;
    m_ftp->clearAbort();
    m_busy = true;
    const auto close = [&] {
        sendMessage(plan.closingText);
        m_ftp->disconnectFromServer();
    };
    try {
        bool wasConnected = false;
        try {
            if (plan.beforeConnect)
                plan.beforeConnect();
            if (!plan.connectionTextAfterConnect)
                sendMessage(connectionText(plan.operation));
            connectBinary();
            if (plan.connectionTextAfterConnect)
                sendMessage(connectionText(plan.operation));
            wasConnected = Connected();
            if (wasConnected && plan.whenConnected)
                plan.whenConnected();
        } catch (const FtpAborted&) {
            throw;
        } catch (...) {
            if (plan.closeOnError && Connected())
                close();
            throw;
        }
        if (!plan.closingOnlyWhenConnected || Connected())
            close();
        if (plan.afterDisconnect)
            plan.afterDisconnect(wasConnected);
    } catch (const FtpAborted&) {
        m_ftp->disconnectFromServer();
        m_busy = false;
        sendMessage(QString());
        return false;
    } catch (...) {
        // Busy stays set and no empty text follows, so the panel keeps the failed step; with the
        // connection closed, Stop then brings the panel back to idle.
        m_ftp->closeQuietly();
        throw;
    }
    const bool notStopped = m_busy && !m_aborted;
    m_busy = false;
    sendMessage(QString());
    return notStopped;
}

void TcsExchange::abort() {
    m_aborted = true;
    m_busy = false;
    m_ftp->abort();
}

// Not written yet: the downloads.
bool TcsExchange::GetNewPrice() { return false; }
bool TcsExchange::GetNewPictures() { return true; }
bool TcsExchange::GetOnePicture(const QString&) { return true; }
