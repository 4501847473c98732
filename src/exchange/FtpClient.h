#pragma once

#include "Error.h"
#include "FtpProtocol.h"
#include "ZarenOptions.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QTcpServer;
class QTcpSocket;
class QTimer;

// An FTP failure; the text names the server and carries its reply, never a password.
class FtpError : public AppError {
public:
    explicit FtpError(const QString& message, int replyCode = 0) : AppError(message), m_replyCode(replyCode) {}
    int replyCode() const noexcept { return m_replyCode; }

private:
    int m_replyCode;
};

// The running step was ended by FtpClient::abort().
class FtpAborted : public FtpError {
public:
    FtpAborted();
};

// The FTP proxy the client goes through; the kinds are those of the settings.
struct TIdFtpProxySettings {
    TIdFtpProxyType ProxyType = TIdFtpProxyType::fpcmNone;
    QString Host;
    quint16 Port = 0;
    QString UserName;
    QString Password;
    bool operator==(const TIdFtpProxySettings&) const = default;
};

enum class TSocksAuthentication { saNoAuthentication, saUsernamePassword };

// SOCKS 5 at the socket level: control and data connections go through it, and host names are
// resolved by the proxy.
struct TIdSocksInfo {
    QString Host;
    quint16 Port = 0;
    QString Username;
    QString Password;
    TSocksAuthentication Authentication = TSocksAuthentication::saNoAuthentication;
};

enum class TIdFTPTransferType { ftASCII, ftBinary };

// Our FTP client on QTcpSocket. Every call blocks, but waits in a local event loop, so the window
// repaints and a Stop button can be pressed; abort() ends the running step at once.
class FtpClient : public QObject {
    Q_OBJECT
public:
    // The time limits; tests shorten them.
    struct Timeouts {
        int connectMs = 30000;
        int replyMs = 60000;
        int dataIdleMs = 60000;
    };

    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override;

    QString host() const { return m_host; }
    void setHost(const QString& host) { m_host = host; }
    int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    QString username() const { return m_username; }
    void setUsername(const QString& name) { m_username = name; }
    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    bool passive() const { return m_passive; }
    void setPassive(bool passive) { m_passive = passive; }
    const TIdFtpProxySettings& proxySettings() const { return m_proxy; }
    void setProxySettings(const TIdFtpProxySettings& proxy) { m_proxy = proxy; }

    // SOCKS 5; none until installed.
    TIdSocksInfo* socksInfo() { return m_socks ? &*m_socks : nullptr; }
    TIdSocksInfo& installSocksInfo();
    void removeSocksInfo() { m_socks.reset(); }

    Timeouts timeouts() const { return m_timeouts; }
    void setTimeouts(const Timeouts& timeouts) { m_timeouts = timeouts; }

    // Opens the control connection and logs in (through the proxy the settings name).
    void connectToServer();
    bool isConnected() const;
    // Sends QUIT and closes; harmless when already closed; never throws.
    void disconnectFromServer();
    // Closes at once without waiting for anything (for destructors).
    void closeQuietly();

    // Kept for later connections as well; binary is sent as TYPE I after every login.
    void setTransferType(TIdFTPTransferType type);
    TIdFTPTransferType transferType() const { return m_type; }

    // LIST (details) or NLST of name; the lines are also kept as the listing result.
    QStringList list(const QString& name, bool details = true);
    const QStringList& listResult() const { return m_listResult; }
    QString listResultText() const { return m_listResult.join(QStringLiteral("\r\n")); }

    // Fetches remote whole into localPath, replacing it. The data goes to a temporary file in the
    // same folder that takes the file's place only when the transfer is complete, so a failure
    // leaves neither a partial file nor a changed old one.
    void get(const QString& remote, const QString& localPath);

    // Ends the running step with FtpAborted and closes every connection. Later calls fail the same
    // way until clearAbort(), so code that swallows errors in a loop cannot go on with the transfer.
    void abort();
    void clearAbort() { m_aborted = false; }
    bool isAborted() const { return m_aborted; }

signals:
    // Bytes of the file being fetched; total is -1 when unknown.
    void transferProgress(qint64 received, qint64 total);

private:
    enum class Mode { Direct, FtpProxy, Socks, Http };
    struct DataChannel;
    class StepGuard;

    Mode mode() const;
    QString serverName() const;
    QString controlTargetName() const;
    QString scrub(QString text) const;
    [[noreturn]] void fail(const QString& message, int code = 0) const;

    QTcpSocket* newSocket(bool throughSocks);
    bool waitUntil(const std::function<bool()>& ready, int limitMs);
    void restartWaitTimer();
    void wake();

    void openSocket(QTcpSocket* socket, const QString& host, int port, const QString& what);
    [[noreturn]] void failConnect(QTcpSocket* socket, const QString& what);
    void dropControl();
    void requireConnected() const;

    FtpReply readReply(const QString& shownCommand);
    std::optional<FtpReply> takeReplyIfAny();
    void send(const QByteArray& line, const QString& shownCommand);
    FtpReply command(const QString& cmd, const QString& shown = {});
    void expectKind(const FtpReply& reply, std::initializer_list<int> kinds, const QString& shownCommand) const;
    void login(const QString& user, const QString& password, bool proxyLogin);
    void ftpLogin();

    std::unique_ptr<DataChannel> openDataChannel();
    void openPassive(DataChannel& channel);
    void openActive(DataChannel& channel);
    void openSocksBind(DataChannel& channel);
    void socksHandshake(QTcpSocket* socket);
    QHostAddress readSocksReply(QTcpSocket* socket, quint16& port, const QString& what, int limitMs);
    QByteArray readExactly(QTcpSocket* socket, qsizetype n, int limitMs, const QString& what);
    void transfer(const QString& cmd, const std::function<void(const QByteArray&)>& sink,
                  const std::function<void(const FtpReply&)>& onStart);

    QString httpUrl(const QString& path, bool withCredentials) const;
    void httpGet(const QString& path, const std::function<void(const QByteArray&)>& sink,
                 const std::function<void(std::optional<qint64>)>& onHeaders);
    void httpCheckProxy();

    QString m_host;
    int m_port = 21;
    QString m_username;
    QString m_password;
    bool m_passive = false;
    TIdFtpProxySettings m_proxy;
    std::optional<TIdSocksInfo> m_socks;
    Timeouts m_timeouts;
    TIdFTPTransferType m_type = TIdFTPTransferType::ftASCII;

    QPointer<QTcpSocket> m_ctrl;
    QPointer<QTcpSocket> m_dataSocket; // the data connection, or the one to the HTTP proxy
    QPointer<QTcpServer> m_dataServer;
    QByteArray m_ctrlBuffer;
    FtpReplyReader m_reader;
    bool m_httpSession = false;
    bool m_noEpsv = false;
    bool m_noEprt = false;

    QStringList m_listResult;
    QString m_listName;

    QEventLoop* m_loop = nullptr;
    QTimer* m_waitTimer = nullptr;
    int m_waitLimit = 0;
    bool m_inStep = false;
    bool m_aborted = false;
};
