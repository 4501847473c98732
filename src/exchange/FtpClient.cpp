#include "FtpClient.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <exception>

namespace {

// The answer to QUIT matters little; an unkind server must not hold up the end of every transfer.
constexpr int kQuitReplyMs = 5000;
constexpr qsizetype kMaxLine = 64 * 1024;
constexpr qsizetype kMaxErrorPage = 256 * 1024;
constexpr int kDefaultSocksPort = 1080;
constexpr int kDefaultHttpProxyPort = 8080;

QString address(const QString& host, int port) {
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}

QString duration(int ms) {
    if (ms % 1000 == 0)
        return QStringLiteral("%1 с").arg(ms / 1000);
    return QStringLiteral("%1 мс").arg(ms);
}

QString quoted(const QString& text, qsizetype limit = 200) {
    QString t = text.simplified();
    if (t.size() > limit)
        t = t.left(limit) + QStringLiteral("…");
    return QStringLiteral("«%1»").arg(t);
}

QString socketReason(QAbstractSocket::SocketError error, const QString& fallback) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
        return QStringLiteral("соединение отклонено");
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return QStringLiteral("адрес не найден");
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError:
        return QStringLiteral("соединение закрыто");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("сеть недоступна");
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return QStringLiteral("время ожидания истекло");
    case QAbstractSocket::ProxyProtocolError:
        return QStringLiteral("ответ не по протоколу SOCKS 5");
    default:
        return fallback;
    }
}

QString socksReplyReason(int rep) {
    switch (rep) {
    case 1:
        return QStringLiteral("общий сбой");
    case 2:
        return QStringLiteral("запрещено правилами прокси");
    case 3:
        return QStringLiteral("сеть недоступна");
    case 4:
        return QStringLiteral("узел недоступен");
    case 5:
        return QStringLiteral("соединение отклонено");
    case 6:
        return QStringLiteral("время ожидания истекло");
    case 7:
        return QStringLiteral("команда не поддерживается");
    case 8:
        return QStringLiteral("тип адреса не поддерживается");
    default:
        return QStringLiteral("код ответа %1").arg(rep);
    }
}

QStringList splitLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

FtpAborted::FtpAborted() : FtpError(QStringLiteral("Передача прервана")) {}

struct FtpClient::DataChannel {
    std::unique_ptr<QTcpSocket> socket;   // passive: the data connection; SOCKS BIND: the one to the proxy
    std::unique_ptr<QTcpServer> server;   // active without SOCKS
    std::unique_ptr<QTcpSocket> accepted; // active: the connection the server opened
    bool socksBind = false;
};

// One public call at a time: the local event loop would otherwise let a click start a second one
// in the middle of the first.
class FtpClient::StepGuard {
public:
    explicit StepGuard(FtpClient& c) : m_c(c) {
        if (c.m_aborted)
            throw FtpAborted();
        if (c.m_inStep)
            throw FtpError(QStringLiteral("FTP-клиент занят другой операцией"));
        c.m_inStep = true;
    }
    ~StepGuard() { m_c.m_inStep = false; }
    StepGuard(const StepGuard&) = delete;
    StepGuard& operator=(const StepGuard&) = delete;

private:
    FtpClient& m_c;
};

FtpClient::FtpClient(QObject* parent) : QObject(parent) {}

FtpClient::~FtpClient() {
    closeQuietly();
}

TIdSocksInfo& FtpClient::installSocksInfo() {
    if (!m_socks)
        m_socks.emplace();
    return *m_socks;
}

// --- Where we are talking to, for messages ---

FtpClient::Mode FtpClient::mode() const {
    switch (m_proxy.ProxyType) {
    case TIdFtpProxyType::fpcmHttpProxyWithFtp:
        return Mode::Http;
    case TIdFtpProxyType::fpcmUserSite:
    case TIdFtpProxyType::fpcmSite:
    case TIdFtpProxyType::fpcmOpen:
    case TIdFtpProxyType::fpcmUserPass:
        return Mode::FtpProxy;
    default:
        return m_socks ? Mode::Socks : Mode::Direct;
    }
}

QString FtpClient::serverName() const {
    const QString server = address(m_host, m_port);
    switch (mode()) {
    case Mode::Http:
        return QStringLiteral("HTTP-прокси %1 (сервер %2)").arg(controlTargetName(), server);
    case Mode::FtpProxy:
        return QStringLiteral("FTP-прокси %1 (сервер %2)").arg(controlTargetName(), server);
    case Mode::Socks:
        return QStringLiteral("FTP-сервер %1 (через SOCKS-прокси %2)")
            .arg(server, address(m_socks->Host, m_socks->Port));
    case Mode::Direct:
        break;
    }
    return QStringLiteral("FTP-сервер %1").arg(server);
}

QString FtpClient::controlTargetName() const {
    const int standard = mode() == Mode::Http ? kDefaultHttpProxyPort : 21;
    return address(m_proxy.Host, m_proxy.Port ? m_proxy.Port : standard);
}

QString FtpClient::scrub(QString text) const {
    for (const QString& secret : {m_password, m_proxy.Password, m_socks ? m_socks->Password : QString()}) {
        if (secret.isEmpty())
            continue;
        text.replace(secret, QStringLiteral("***"));
        text.replace(QString::fromLatin1(QUrl::toPercentEncoding(secret)), QStringLiteral("***"));
    }
    return text;
}

void FtpClient::fail(const QString& message, int code) const {
    throw FtpError(scrub(message), code);
}

// --- Waiting ---

QTcpSocket* FtpClient::newSocket(bool throughSocks) {
    auto* s = new QTcpSocket(this);
    if (throughSocks && m_socks) {
        QNetworkProxy proxy(QNetworkProxy::Socks5Proxy, m_socks->Host,
                            m_socks->Port ? m_socks->Port : kDefaultSocksPort);
        if (m_socks->Authentication == TSocksAuthentication::saUsernamePassword) {
            proxy.setUser(m_socks->Username);
            proxy.setPassword(m_socks->Password);
        }
        proxy.setCapabilities(proxy.capabilities() | QNetworkProxy::HostNameLookupCapability);
        s->setProxy(proxy);
    } else {
        s->setProxy(QNetworkProxy::NoProxy);
    }
    connect(s, &QTcpSocket::readyRead, this, &FtpClient::wake);
    connect(s, &QTcpSocket::bytesWritten, this, &FtpClient::wake);
    connect(s, &QTcpSocket::stateChanged, this, &FtpClient::wake);
    connect(s, &QTcpSocket::errorOccurred, this, &FtpClient::wake);
    return s;
}

void FtpClient::wake() {
    if (m_loop)
        m_loop->quit();
}

bool FtpClient::waitUntil(const std::function<bool()>& ready, int limitMs) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QEventLoop* const outerLoop = m_loop;
    QTimer* const outerTimer = m_waitTimer;
    const int outerLimit = m_waitLimit;
    m_loop = &loop;
    m_waitTimer = &timer;
    m_waitLimit = limitMs;
    const auto restore = qScopeGuard([&] {
        m_loop = outerLoop;
        m_waitTimer = outerTimer;
        m_waitLimit = outerLimit;
    });
    timer.start(limitMs);
    for (;;) {
        if (m_aborted)
            throw FtpAborted();
        if (ready()) {
            if (m_aborted)
                throw FtpAborted();
            return true;
        }
        if (m_aborted)
            throw FtpAborted();
        if (timedOut)
            return false;
        loop.exec();
    }
}

void FtpClient::restartWaitTimer() {
    if (m_waitTimer)
        m_waitTimer->start(m_waitLimit);
}

// --- Connections ---

void FtpClient::openSocket(QTcpSocket* socket, const QString& host, int port, const QString& what) {
    socket->connectToHost(host, quint16(port));
    const bool done = waitUntil(
        [&] {
            const auto state = socket->state();
            return state == QAbstractSocket::ConnectedState || state == QAbstractSocket::UnconnectedState;
        },
        m_timeouts.connectMs);
    if (!done) {
        socket->abort();
        fail(QStringLiteral("%1 не ответил на попытку соединения за %2").arg(what, duration(m_timeouts.connectMs)));
    }
    if (socket->state() != QAbstractSocket::ConnectedState)
        failConnect(socket, what);
}

void FtpClient::failConnect(QTcpSocket* socket, const QString& what) {
    const auto error = socket->error();
    const QString reason = socketReason(error, socket->errorString());
    if (socket->proxy().type() == QNetworkProxy::Socks5Proxy) {
        const QString socks =
            QStringLiteral("SOCKS-прокси %1").arg(address(socket->proxy().hostName(), socket->proxy().port()));
        switch (error) {
        case QAbstractSocket::ProxyConnectionRefusedError:
        case QAbstractSocket::ProxyNotFoundError:
        case QAbstractSocket::ProxyConnectionTimeoutError:
            fail(QStringLiteral("%1 недоступен: %2").arg(socks, reason));
        case QAbstractSocket::ProxyAuthenticationRequiredError:
            if (socket->proxy().user().isEmpty())
                fail(QStringLiteral("%1 требует имя пользователя и пароль").arg(socks));
            fail(QStringLiteral("%1 не принял имя пользователя «%2» и пароль").arg(socks, socket->proxy().user()));
        case QAbstractSocket::ProxyConnectionClosedError:
        case QAbstractSocket::ProxyProtocolError:
            fail(QStringLiteral("%1: %2").arg(socks, reason));
        default:
            fail(QStringLiteral("%1 не смог соединиться с %2: %3").arg(socks, what, reason));
        }
    }
    fail(QStringLiteral("%1 недоступен: %2").arg(what, reason));
}

void FtpClient::dropControl() {
    if (m_ctrl) {
        m_ctrl->disconnect(this);
        m_ctrl->abort();
        m_ctrl->deleteLater(); // something up the stack may still hold it
    }
    m_ctrl = nullptr;
    m_ctrlBuffer.clear();
    m_reader = FtpReplyReader();
}

bool FtpClient::isConnected() const {
    if (mode() == Mode::Http)
        return m_httpSession;
    return m_ctrl && m_ctrl->state() == QAbstractSocket::ConnectedState;
}

void FtpClient::requireConnected() const {
    if (!isConnected())
        fail(QStringLiteral("%1: нет соединения").arg(serverName()));
}

void FtpClient::connectToServer() {
    StepGuard guard(*this);
    if (isConnected())
        return;
    if (m_port <= 0 || m_port > 65535)
        fail(QStringLiteral("Неверный порт FTP-сервера %1: %2").arg(m_host).arg(m_port));
    if (m_proxy.ProxyType == TIdFtpProxyType::fpcmCustomProxy)
        fail(QStringLiteral("Этот вид FTP-прокси не поддерживается"));
    const Mode m = mode();
    if ((m == Mode::Http || m == Mode::FtpProxy) && m_proxy.Host.trimmed().isEmpty())
        fail(QStringLiteral("Не указан адрес прокси-сервера"));
    m_noEpsv = false;
    m_noEprt = false;
    if (m == Mode::Http) {
        httpCheckProxy();
        m_httpSession = true;
        return;
    }
    dropControl();
    try {
        const bool viaProxy = m == Mode::FtpProxy;
        const QString host = viaProxy ? m_proxy.Host : m_host;
        const int port = viaProxy ? (m_proxy.Port ? m_proxy.Port : 21) : m_port;
        const QString what = viaProxy ? QStringLiteral("FTP-прокси %1").arg(address(host, port))
                                      : QStringLiteral("FTP-сервер %1").arg(address(host, port));
        m_ctrl = newSocket(m_socks.has_value());
        openSocket(m_ctrl, host, port, what);
        FtpReply greeting = readReply(QString());
        while (greeting.code == 120) // "ready in n minutes": the real greeting follows
            greeting = readReply(QString());
        if (greeting.kind() != 2)
            fail(QStringLiteral("%1 не готов к работе: %2").arg(serverName(), greeting.text()), greeting.code);
        ftpLogin();
        if (m_type == TIdFTPTransferType::ftBinary)
            expectKind(command(QStringLiteral("TYPE I")), {2}, QStringLiteral("TYPE I"));
    } catch (...) {
        dropControl();
        throw;
    }
}

void FtpClient::ftpLogin() {
    const QString target = hostWithPort(m_host, m_port);
    const bool proxyUser = !m_proxy.UserName.isEmpty();
    switch (m_proxy.ProxyType) {
    case TIdFtpProxyType::fpcmUserSite:
        if (proxyUser)
            login(m_proxy.UserName, m_proxy.Password, true);
        login(m_username + QLatin1Char('@') + target, m_password, false);
        break;
    case TIdFtpProxyType::fpcmSite:
        login(m_proxy.UserName, m_proxy.Password, true);
        expectKind(command(QStringLiteral("SITE ") + target), {2, 3}, QStringLiteral("SITE ") + target);
        login(m_username, m_password, false);
        break;
    case TIdFtpProxyType::fpcmOpen:
        if (proxyUser)
            login(m_proxy.UserName, m_proxy.Password, true);
        expectKind(command(QStringLiteral("OPEN ") + target), {2, 3}, QStringLiteral("OPEN ") + target);
        login(m_username, m_password, false);
        break;
    case TIdFtpProxyType::fpcmUserPass:
        login(m_username + QLatin1Char('@') + m_proxy.UserName + QLatin1Char('@') + target,
              m_password + QLatin1Char('@') + m_proxy.Password, false);
        break;
    case TIdFtpProxyType::fpcmTransparent:
        if (proxyUser)
            login(m_proxy.UserName, m_proxy.Password, true);
        login(m_username, m_password, false);
        break;
    default:
        login(m_username, m_password, false);
        break;
    }
}

void FtpClient::login(const QString& user, const QString& password, bool proxyLogin) {
    FtpReply reply = command(QStringLiteral("USER ") + user);
    if (reply.kind() == 2)
        return; // no password wanted
    if (reply.kind() == 3) {
        reply = command(QStringLiteral("PASS ") + password, QStringLiteral("PASS"));
        if (reply.kind() == 2)
            return;
    }
    fail(QStringLiteral("%1 отклонил вход %2 «%3»: %4")
             .arg(serverName(), proxyLogin ? QStringLiteral("на прокси пользователя") : QStringLiteral("пользователя"),
                  user, reply.text()),
         reply.code);
}

void FtpClient::disconnectFromServer() {
    m_httpSession = false;
    if (!m_ctrl)
        return;
    if (!m_inStep && !m_aborted && m_ctrl->state() == QAbstractSocket::ConnectedState) {
        m_inStep = true;
        const auto done = qScopeGuard([this] { m_inStep = false; });
        try {
            send("QUIT", QStringLiteral("QUIT"));
            std::optional<FtpReply> reply;
            waitUntil(
                [&] {
                    reply = takeReplyIfAny();
                    return reply || !m_ctrl || m_ctrl->state() != QAbstractSocket::ConnectedState;
                },
                qMin(kQuitReplyMs, m_timeouts.replyMs));
        } catch (...) {
            // closing anyway
        }
    }
    dropControl();
}

void FtpClient::closeQuietly() {
    m_httpSession = false;
    if (m_ctrl && m_ctrl->state() == QAbstractSocket::ConnectedState) {
        m_ctrl->write("QUIT\r\n");
        m_ctrl->flush();
    }
    dropControl();
}

void FtpClient::abort() {
    m_aborted = true;
    m_httpSession = false;
    dropControl();
    if (m_dataSocket)
        m_dataSocket->abort();
    if (m_dataServer)
        m_dataServer->close();
    wake();
}

void FtpClient::setTransferType(TIdFTPTransferType type) {
    if (type == m_type)
        return; // a login sends the kept type itself
    m_type = type;
    if (mode() == Mode::Http || !isConnected())
        return;
    StepGuard guard(*this);
    const QString cmd = type == TIdFTPTransferType::ftBinary ? QStringLiteral("TYPE I") : QStringLiteral("TYPE A");
    expectKind(command(cmd), {2}, cmd);
}

// --- Control connection ---

std::optional<FtpReply> FtpClient::takeReplyIfAny() {
    if (m_ctrl)
        m_ctrlBuffer += m_ctrl->readAll();
    for (;;) {
        const qsizetype end = m_ctrlBuffer.indexOf('\n');
        if (end < 0) {
            if (m_ctrlBuffer.size() > kMaxLine) {
                const QString start = decodeServerText(QByteArrayView(m_ctrlBuffer).first(80));
                dropControl();
                fail(QStringLiteral("%1 ответил не по протоколу FTP: %2").arg(serverName(), quoted(start)));
            }
            return std::nullopt;
        }
        QByteArray line = m_ctrlBuffer.left(end);
        m_ctrlBuffer.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        switch (m_reader.addLine(line)) {
        case FtpReplyReader::State::Complete:
            return m_reader.take();
        case FtpReplyReader::State::Garbage: {
            const QString shown = decodeServerText(line);
            dropControl();
            fail(QStringLiteral("%1 ответил не по протоколу FTP: %2").arg(serverName(), quoted(shown)));
        }
        case FtpReplyReader::State::NeedMore:
            break;
        }
    }
}

FtpReply FtpClient::readReply(const QString& shownCommand) {
    std::optional<FtpReply> reply;
    bool closed = false;
    const bool done = waitUntil(
        [&] {
            reply = takeReplyIfAny();
            if (reply)
                return true;
            closed = !m_ctrl || m_ctrl->state() != QAbstractSocket::ConnectedState;
            return closed;
        },
        m_timeouts.replyMs);
    if (reply)
        return *reply;
    const QString server = serverName();
    dropControl();
    if (!done) {
        if (shownCommand.isEmpty())
            fail(QStringLiteral("%1 не прислал приветствие за %2").arg(server, duration(m_timeouts.replyMs)));
        fail(QStringLiteral("%1 не ответил за %2 на команду «%3»")
                 .arg(server, duration(m_timeouts.replyMs), shownCommand));
    }
    if (shownCommand.isEmpty())
        fail(QStringLiteral("%1 закрыл соединение, не прислав приветствия").arg(server));
    fail(QStringLiteral("%1 закрыл соединение, не ответив на команду «%2»").arg(server, shownCommand));
}

void FtpClient::send(const QByteArray& line, const QString& shownCommand) {
    if (!m_ctrl || m_ctrl->state() != QAbstractSocket::ConnectedState)
        fail(QStringLiteral("%1: нет соединения для команды «%2»").arg(serverName(), shownCommand));
    m_ctrl->write(line + "\r\n");
}

FtpReply FtpClient::command(const QString& cmd, const QString& shown) {
    const QString display = shown.isEmpty() ? cmd : shown;
    send(cmd.toUtf8(), display);
    return readReply(display);
}

void FtpClient::expectKind(const FtpReply& reply, std::initializer_list<int> kinds, const QString& shownCommand) const {
    for (int k : kinds)
        if (reply.kind() == k)
            return;
    fail(QStringLiteral("%1 ответил на команду «%2» ошибкой: %3").arg(serverName(), shownCommand, reply.text()),
         reply.code);
}

// --- Data connections ---

std::unique_ptr<FtpClient::DataChannel> FtpClient::openDataChannel() {
    auto channel = std::make_unique<DataChannel>();
    if (m_passive)
        openPassive(*channel);
    else if (m_socks)
        openSocksBind(*channel);
    else
        openActive(*channel);
    return channel;
}

void FtpClient::openPassive(DataChannel& channel) {
    std::optional<quint16> port;
    if (!m_noEpsv) {
        const FtpReply reply = command(QStringLiteral("EPSV"));
        if (reply.kind() == 2)
            port = parseEpsvPort(reply.text());
        else if (reply.kind() != 5)
            expectKind(reply, {2}, QStringLiteral("EPSV"));
        m_noEpsv = !port;
    }
    if (!port) {
        const FtpReply reply = command(QStringLiteral("PASV"));
        expectKind(reply, {2}, QStringLiteral("PASV"));
        port = parsePasvPort(reply.text());
        if (!port)
            fail(QStringLiteral("%1 прислал непонятный ответ на команду «PASV»: %2").arg(serverName(), reply.text()));
    }
    // The address a PASV reply names is not used: behind NAT it is often unreachable, and connecting
    // anywhere but the control connection's peer would let a server aim us at third parties.
    const QString host =
        m_socks ? (mode() == Mode::FtpProxy ? m_proxy.Host : m_host) : m_ctrl->peerAddress().toString();
    channel.socket.reset(newSocket(m_socks.has_value()));
    m_dataSocket = channel.socket.get();
    openSocket(channel.socket.get(), host, *port,
               QStringLiteral("Соединение для данных с %1").arg(address(host, *port)));
}

namespace {

QHostAddress plainIPv4(const QHostAddress& a) {
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : a;
}

} // namespace

void FtpClient::openActive(DataChannel& channel) {
    channel.server = std::make_unique<QTcpServer>();
    channel.server->setProxy(QNetworkProxy::NoProxy);
    connect(channel.server.get(), &QTcpServer::newConnection, this, &FtpClient::wake);
    m_dataServer = channel.server.get();
    const QHostAddress local = plainIPv4(m_ctrl->localAddress());
    if (!channel.server->listen(local, 0))
        fail(QStringLiteral("Не удалось открыть порт для данных на %1: %2")
                 .arg(local.toString(), channel.server->errorString()));
    const quint16 port = channel.server->serverPort();
    const bool v4 = local.protocol() == QAbstractSocket::IPv4Protocol;
    if (!m_noEprt) {
        const QString cmd = QStringLiteral("EPRT |%1|%2|%3|").arg(v4 ? 1 : 2).arg(local.toString()).arg(port);
        const FtpReply reply = command(cmd);
        if (reply.kind() == 2)
            return;
        if (reply.kind() != 5)
            expectKind(reply, {2}, cmd);
        m_noEprt = true;
    }
    if (!v4)
        fail(QStringLiteral("%1 не поддерживает активный режим для адреса %2").arg(serverName(), local.toString()));
    const quint32 a = local.toIPv4Address();
    const QString cmd = QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
                            .arg((a >> 24) & 255)
                            .arg((a >> 16) & 255)
                            .arg((a >> 8) & 255)
                            .arg(a & 255)
                            .arg(port >> 8)
                            .arg(port & 255);
    expectKind(command(cmd), {2}, cmd);
}

QByteArray FtpClient::readExactly(QTcpSocket* socket, qsizetype n, int limitMs, const QString& what) {
    const bool done = waitUntil(
        [&] { return socket->bytesAvailable() >= n || socket->state() != QAbstractSocket::ConnectedState; }, limitMs);
    if (socket->bytesAvailable() < n) {
        socket->abort();
        if (!done)
            fail(QStringLiteral("%1 не ответил за %2").arg(what, duration(limitMs)));
        fail(QStringLiteral("%1 закрыл соединение").arg(what));
    }
    return socket->read(n);
}

void FtpClient::socksHandshake(QTcpSocket* socket) {
    const QString socks = QStringLiteral("SOCKS-прокси %1").arg(address(m_socks->Host, socket->peerPort()));
    const bool withLogin = m_socks->Authentication == TSocksAuthentication::saUsernamePassword;
    socket->write(withLogin ? QByteArray("\x05\x02\x00\x02", 4) : QByteArray("\x05\x01\x00", 3));
    const QByteArray choice = readExactly(socket, 2, m_timeouts.replyMs, socks);
    if (choice[0] != 5)
        fail(QStringLiteral("%1 ответил не по протоколу SOCKS 5").arg(socks));
    const auto method = quint8(choice[1]);
    if (method == 0)
        return;
    if (method == 2 && withLogin) {
        const QByteArray user = m_socks->Username.toUtf8().left(255);
        const QByteArray pass = m_socks->Password.toUtf8().left(255);
        socket->write(QByteArray(1, '\x01') + char(user.size()) + user + char(pass.size()) + pass);
        const QByteArray status = readExactly(socket, 2, m_timeouts.replyMs, socks);
        if (status[1] != 0)
            fail(QStringLiteral("%1 не принял имя пользователя «%2» и пароль").arg(socks, m_socks->Username));
        return;
    }
    if (method == 0xFF && !withLogin)
        fail(QStringLiteral("%1 требует имя пользователя и пароль").arg(socks));
    fail(QStringLiteral("%1 не принял ни один из предложенных способов входа").arg(socks));
}

QHostAddress FtpClient::readSocksReply(QTcpSocket* socket, quint16& port, const QString& what, int limitMs) {
    const QByteArray head = readExactly(socket, 4, limitMs, what);
    if (head[0] != 5)
        fail(QStringLiteral("%1 ответил не по протоколу SOCKS 5").arg(what));
    if (head[1] != 0)
        fail(QStringLiteral("%1 не поддерживает активный режим FTP (команда BIND): %2. Включите пассивный режим.")
                 .arg(what, socksReplyReason(quint8(head[1]))));
    QHostAddress bound;
    switch (head[3]) {
    case 1: {
        const QByteArray a = readExactly(socket, 4, limitMs, what);
        bound = QHostAddress(quint32((quint8(a[0]) << 24) | (quint8(a[1]) << 16) | (quint8(a[2]) << 8) | quint8(a[3])));
        break;
    }
    case 4: {
        const QByteArray a = readExactly(socket, 16, limitMs, what);
        bound = QHostAddress(reinterpret_cast<const quint8*>(a.constData()));
        break;
    }
    case 3: {
        const QByteArray len = readExactly(socket, 1, limitMs, what);
        readExactly(socket, quint8(len[0]), limitMs, what); // a name we cannot use for PORT
        break;
    }
    default:
        fail(QStringLiteral("%1 ответил не по протоколу SOCKS 5").arg(what));
    }
    const QByteArray p = readExactly(socket, 2, limitMs, what);
    port = quint16((quint8(p[0]) << 8) | quint8(p[1]));
    return bound;
}

// Active mode through SOCKS 5: the proxy listens for the server's data connection (BIND). Done by
// hand because Qt's own BIND passes the proxy's second reply on as if it were data.
void FtpClient::openSocksBind(DataChannel& channel) {
    const int socksPort = m_socks->Port ? m_socks->Port : kDefaultSocksPort;
    const QString socks = QStringLiteral("SOCKS-прокси %1").arg(address(m_socks->Host, socksPort));
    channel.socket.reset(newSocket(false));
    m_dataSocket = channel.socket.get();
    openSocket(channel.socket.get(), m_socks->Host, socksPort, socks);
    socksHandshake(channel.socket.get());

    const QString peerHost = mode() == Mode::FtpProxy ? m_proxy.Host : m_host;
    QByteArray request("\x05\x02\x00", 3);
    QHostAddress ip;
    if (ip.setAddress(peerHost) && ip.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 v = ip.toIPv4Address();
        request += '\x01';
        request += char(v >> 24);
        request += char(v >> 16);
        request += char(v >> 8);
        request += char(v);
    } else {
        const QByteArray name = QUrl::toAce(peerHost).left(255);
        request += '\x03';
        request += char(name.size());
        request += name;
    }
    request += QByteArray(2, '\0');
    channel.socket->write(request);
    quint16 port = 0;
    QHostAddress bound = readSocksReply(channel.socket.get(), port, socks, m_timeouts.replyMs);
    if (bound.isNull() || bound.isEqual(QHostAddress::AnyIPv4) || bound.isEqual(QHostAddress::AnyIPv6))
        bound = channel.socket->peerAddress();
    bound = plainIPv4(bound);
    channel.socksBind = true;

    const bool v4 = bound.protocol() == QAbstractSocket::IPv4Protocol;
    const QString eprt = QStringLiteral("EPRT |%1|%2|%3|").arg(v4 ? 1 : 2).arg(bound.toString()).arg(port);
    if (!m_noEprt) {
        const FtpReply reply = command(eprt);
        if (reply.kind() == 2)
            return;
        if (reply.kind() != 5)
            expectKind(reply, {2}, eprt);
        m_noEprt = true;
    }
    if (!v4)
        fail(QStringLiteral("%1 не поддерживает активный режим для адреса %2").arg(serverName(), bound.toString()));
    const quint32 a = bound.toIPv4Address();
    const QString cmd = QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
                            .arg((a >> 24) & 255)
                            .arg((a >> 16) & 255)
                            .arg((a >> 8) & 255)
                            .arg(a & 255)
                            .arg(port >> 8)
                            .arg(port & 255);
    expectKind(command(cmd), {2}, cmd);
}

void FtpClient::transfer(const QString& cmd, const std::function<void(const QByteArray&)>& sink,
                         const std::function<void(const FtpReply&)>& onStart) {
    const auto forget = qScopeGuard([this] {
        m_dataSocket = nullptr;
        m_dataServer = nullptr;
    });
    const std::unique_ptr<DataChannel> channel = openDataChannel();
    const FtpReply start = command(cmd);
    if (start.kind() == 2)
        return; // nothing to send, and the server said so at once
    expectKind(start, {1}, cmd);
    if (onStart)
        onStart(start);

    std::optional<FtpReply> final;
    QTcpSocket* data = nullptr;
    if (channel->server) {
        const bool connected = waitUntil(
            [&] {
                if (channel->server->hasPendingConnections())
                    return true;
                // The final reply may come before we see the connection that carried the data.
                if (!final)
                    final = takeReplyIfAny();
                return (final && final->kind() != 2) || !m_ctrl;
            },
            m_timeouts.dataIdleMs);
        if (final && final->kind() != 2)
            expectKind(*final, {2}, cmd); // an error instead of the connection
        if (!connected || !m_ctrl) {
            const QString server = serverName();
            dropControl();
            fail(QStringLiteral("%1 не открыл соединение для данных за %2 (команда «%3»)")
                     .arg(server, duration(m_timeouts.dataIdleMs), cmd));
        }
        channel->accepted.reset(channel->server->nextPendingConnection());
        channel->accepted->setParent(nullptr);
        connect(channel->accepted.get(), &QTcpSocket::readyRead, this, &FtpClient::wake);
        connect(channel->accepted.get(), &QTcpSocket::stateChanged, this, &FtpClient::wake);
        channel->server->close();
        data = channel->accepted.get();
        m_dataSocket = data;
    } else {
        data = channel->socket.get();
        if (channel->socksBind) {
            quint16 ignored = 0;
            readSocksReply(data, ignored,
                           QStringLiteral("SOCKS-прокси %1").arg(address(m_socks->Host, data->peerPort())),
                           m_timeouts.dataIdleMs);
        }
    }

    std::exception_ptr sinkError;
    bool dataDone = false;
    bool ctrlClosed = false;
    const bool finished = waitUntil(
        [&] {
            if (data->bytesAvailable() > 0) {
                const QByteArray chunk = data->readAll();
                restartWaitTimer();
                try {
                    sink(chunk);
                } catch (...) {
                    sinkError = std::current_exception();
                    return true;
                }
                if (m_aborted)
                    return true;
            }
            if (!final) {
                final = takeReplyIfAny();
                if (final && final->kind() != 2)
                    return true;
            }
            dataDone = data->state() != QAbstractSocket::ConnectedState && data->bytesAvailable() == 0;
            ctrlClosed = !final && (!m_ctrl || m_ctrl->state() != QAbstractSocket::ConnectedState);
            return dataDone || ctrlClosed;
        },
        m_timeouts.dataIdleMs);

    if (sinkError) {
        // Stop the data and take the server's answer to it, so the connection stays usable.
        data->abort();
        if (!final) {
            try {
                readReply(cmd);
            } catch (const FtpAborted&) {
                throw;
            } catch (...) {
            }
        }
        std::rethrow_exception(sinkError);
    }
    if (!finished) {
        const QString server = serverName();
        data->abort();
        dropControl();
        fail(QStringLiteral("%1 не передавал данные %2 (команда «%3»)")
                 .arg(server, duration(m_timeouts.dataIdleMs), cmd));
    }
    if (final && final->kind() != 2) {
        data->abort();
        expectKind(*final, {2}, cmd);
    }
    if (ctrlClosed) {
        const QString server = serverName();
        data->abort();
        dropControl();
        fail(QStringLiteral("%1 закрыл соединение во время передачи (команда «%2»)").arg(server, cmd));
    }
    if (!final)
        final = readReply(cmd);
    expectKind(*final, {2}, cmd);
}

QStringList FtpClient::list(const QString& name, bool details) {
    StepGuard guard(*this);
    requireConnected();
    m_listResult.clear();
    m_listName.clear();
    if (mode() == Mode::Http) {
        const QString folder = name.left(name.lastIndexOf(QLatin1Char('/')) + 1);
        QByteArray page;
        httpGet(folder, [&](const QByteArray& chunk) { page += chunk; }, {});
        QString text = decodeHtmlEntities(decodeServerText(page));
        // The proxy's page repeats the address with the login in it.
        for (const QString& userInfo : {m_username + QLatin1Char(':') + m_password + QLatin1Char('@'),
                                        QString::fromLatin1(QUrl::toPercentEncoding(m_username) + ':' +
                                                            QUrl::toPercentEncoding(m_password) + '@')})
            text.remove(userInfo);
        m_listResult = splitLines(text);
    } else {
        QByteArray data;
        const QString verb = details ? QStringLiteral("LIST") : QStringLiteral("NLST");
        transfer(name.isEmpty() ? verb : verb + QLatin1Char(' ') + name,
                 [&](const QByteArray& chunk) { data += chunk; }, {});
        m_listResult = splitLines(decodeServerText(data));
    }
    m_listName = name;
    return m_listResult;
}

void FtpClient::get(const QString& remote, const QString& localPath) {
    StepGuard guard(*this);
    requireConnected();
    QSaveFile file(localPath);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Не удалось записать файл «%1»: %2")
                 .arg(QDir::toNativeSeparators(localPath), file.errorString()));

    qint64 received = 0;
    std::optional<qint64> total;
    bool totalIsExact = false; // a size stated for this very transfer, not the one in an earlier listing
    const auto sink = [&](const QByteArray& chunk) {
        if (file.write(chunk) != chunk.size())
            throw AppError(QStringLiteral("Не удалось записать файл «%1»: %2")
                               .arg(QDir::toNativeSeparators(localPath), file.errorString()));
        received += chunk.size();
        emit transferProgress(received, total.value_or(-1));
    };

    if (mode() == Mode::Http) {
        httpGet(remote, sink, [&](std::optional<qint64> length) {
            total = length;
            totalIsExact = length.has_value();
            emit transferProgress(0, total.value_or(-1));
        });
    } else {
        if (m_listName == remote)
            for (const QString& line : m_listResult)
                if ((total = sizeFromListingLine(line, remote)))
                    break;
        if (!total && m_type == TIdFTPTransferType::ftBinary) {
            const FtpReply size = command(QStringLiteral("SIZE ") + remote);
            total = parseSizeReply(size);
            totalIsExact = total.has_value();
        }
        emit transferProgress(0, total.value_or(-1));
        transfer(QStringLiteral("RETR ") + remote, sink, [&](const FtpReply& start) {
            if (!total) {
                total = parseSizeReply(start);
                totalIsExact = total.has_value();
            }
        });
    }
    if (totalIsExact && received != *total)
        fail(QStringLiteral("Файл «%1» получен с %2 не полностью: %3 из %4 байт")
                 .arg(remote, serverName())
                 .arg(received)
                 .arg(*total));
    if (!file.commit())
        fail(QStringLiteral("Не удалось записать файл «%1»: %2")
                 .arg(QDir::toNativeSeparators(localPath), file.errorString()));
}

// --- FTP through an HTTP proxy ---

QString FtpClient::httpUrl(const QString& path, bool withCredentials) const {
    QString url = QStringLiteral("ftp://");
    if (withCredentials)
        url +=
            QString::fromLatin1(QUrl::toPercentEncoding(m_username) + ':' + QUrl::toPercentEncoding(m_password) + '@');
    url += hostWithPort(m_host, m_port) + QLatin1Char('/');
    url += QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
    return url;
}

void FtpClient::httpCheckProxy() {
    const int port = m_proxy.Port ? m_proxy.Port : kDefaultHttpProxyPort;
    std::unique_ptr<QTcpSocket> socket(newSocket(m_socks.has_value()));
    m_dataSocket = socket.get();
    const auto forget = qScopeGuard([this] { m_dataSocket = nullptr; });
    openSocket(socket.get(), m_proxy.Host, port, QStringLiteral("HTTP-прокси %1").arg(address(m_proxy.Host, port)));
    socket->abort();
}

void FtpClient::httpGet(const QString& path, const std::function<void(const QByteArray&)>& sink,
                        const std::function<void(std::optional<qint64>)>& onHeaders) {
    const int port = m_proxy.Port ? m_proxy.Port : kDefaultHttpProxyPort;
    const QString shownUrl = httpUrl(path, false);
    std::unique_ptr<QTcpSocket> socket(newSocket(m_socks.has_value()));
    m_dataSocket = socket.get();
    const auto forget = qScopeGuard([this] { m_dataSocket = nullptr; });
    openSocket(socket.get(), m_proxy.Host, port, QStringLiteral("HTTP-прокси %1").arg(address(m_proxy.Host, port)));

    QByteArray request = "GET " + httpUrl(path, true).toUtf8() + " HTTP/1.1\r\n";
    request += "Host: " + hostWithPort(m_host, m_port).toUtf8() + "\r\n";
    request += "Accept: */*\r\n";
    if (!m_proxy.UserName.isEmpty())
        request += "Proxy-Authorization: Basic " +
                   (m_proxy.UserName + QLatin1Char(':') + m_proxy.Password).toUtf8().toBase64() + "\r\n";
    request += "Connection: close\r\n\r\n";
    socket->write(request);

    HttpResponseReader reader;
    QByteArray buffer;
    QByteArray errorPage;
    auto state = HttpResponseReader::State::NeedMore;
    bool headersSeen = false;
    std::exception_ptr sinkError;
    const bool done = waitUntil(
        [&] {
            const QByteArray chunk = socket->readAll();
            if (!chunk.isEmpty() && headersSeen)
                restartWaitTimer();
            buffer += chunk;
            state = reader.feed(buffer);
            if (reader.headersDone() && !headersSeen) {
                headersSeen = true;
                m_waitLimit = m_timeouts.dataIdleMs;
                restartWaitTimer();
                if (reader.status() == 200 && onHeaders)
                    onHeaders(reader.contentLength());
            }
            const QByteArray body = reader.takeBody();
            if (!body.isEmpty()) {
                if (reader.status() == 200) {
                    try {
                        sink(body);
                    } catch (...) {
                        sinkError = std::current_exception();
                        return true;
                    }
                } else if (errorPage.size() < kMaxErrorPage) {
                    errorPage += body;
                }
            }
            if (state != HttpResponseReader::State::NeedMore)
                return true;
            if (socket->state() != QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0) {
                state = reader.finish();
                return true;
            }
            return false;
        },
        m_timeouts.replyMs);
    socket->abort();
    if (sinkError)
        std::rethrow_exception(sinkError);
    const QString proxy = serverName();
    if (!done) {
        if (!headersSeen)
            fail(QStringLiteral("%1 не ответил за %2 на запрос «%3»")
                     .arg(proxy, duration(m_timeouts.replyMs), shownUrl));
        fail(QStringLiteral("%1 не передавал данные %2 (запрос «%3»)")
                 .arg(proxy, duration(m_timeouts.dataIdleMs), shownUrl));
    }
    if (state == HttpResponseReader::State::Garbage) {
        if (!headersSeen)
            fail(QStringLiteral("%1 ответил не по протоколу HTTP").arg(proxy));
        fail(QStringLiteral("%1 оборвал ответ на запрос «%2»").arg(proxy, shownUrl));
    }
    if (reader.status() == 407) {
        if (m_proxy.UserName.isEmpty())
            fail(QStringLiteral("%1 требует имя пользователя и пароль прокси").arg(proxy), 407);
        fail(QStringLiteral("%1 не принял имя пользователя прокси «%2» и пароль").arg(proxy, m_proxy.UserName), 407);
    }
    if (reader.status() != 200) {
        const QString ftpReply = ftpReplyFromErrorPage(decodeServerText(errorPage));
        QString message = QStringLiteral("%1 ответил на запрос «%2» ошибкой: %3 %4")
                              .arg(proxy, shownUrl)
                              .arg(reader.status())
                              .arg(reader.reason());
        if (!ftpReply.isEmpty())
            message += QStringLiteral(" (ответ FTP-сервера: %1)").arg(ftpReply);
        fail(message, reader.status());
    }
}
