#pragma once

// The real servers and proxies the exchange tests talk to, all on 127.0.0.1, each started by the
// test in a process group of its own and stopped by that group's id.

#include "Error.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <optional>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

inline const QString kPython = QStringLiteral("/usr/bin/python3"); // Debian's, with python3-pyftpdlib
inline const QString kFtpUser = QStringLiteral("buyer@shop.example");
inline const QString kFtpPassword = QStringLiteral("s3cret-Pass");
inline const QString kProxyUser = QStringLiteral("gate");
inline const QString kProxyPassword = QStringLiteral("gate-Secret");

inline QString peerScript(const char* name) {
    return QStringLiteral(EXCHANGE_PEERS_DIR) + QLatin1String(name);
}

// A port nobody listens on right now.
inline quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("no free port");
    return probe.serverPort();
}

// Process groups of the running peers, so that a test ending in std::terminate takes them along;
// the daemons that drop privileges lose the parent-death signal.
inline std::vector<pid_t>& runningPeerGroups() {
    static std::vector<pid_t> groups;
    return groups;
}

inline void stopPeersOnTerminate() {
    static const std::terminate_handler previous = std::set_terminate([] {
        for (pid_t group : runningPeerGroups())
            ::kill(-group, SIGKILL);
        if (previous)
            previous();
        std::abort();
    });
}

class Peer {
public:
    Peer() = default;
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    ~Peer() { stop(); }

    bool start(const QString& program, const QStringList& args, const QString& workingDir = {}) {
        m_program = program;
        m_process.setProgram(program);
        m_process.setArguments(args);
        if (!workingDir.isEmpty())
            m_process.setWorkingDirectory(workingDir);
        m_process.setChildProcessModifier([] {
            ::setsid();                         // its own group, so its children stop with it
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // and it goes when a crashed test cannot stop it
        });
        stopPeersOnTerminate();
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        m_group = pid_t(m_process.processId());
        runningPeerGroups().push_back(m_group);
        return true;
    }

    // The rest of the first output line that begins with prefix.
    QString waitForLine(const QString& prefix, int ms = 10000) { return waitFor(prefix, ms).value_or(QString()); }
    std::optional<QString> waitFor(const QString& prefix, int ms) {
        QDeadlineTimer deadline(ms);
        for (;;) {
            readOutput();
            for (const QString& line : std::as_const(m_lines))
                if (line.startsWith(prefix))
                    return line.mid(prefix.size()).trimmed();
            if (deadline.hasExpired() || m_process.state() != QProcess::Running)
                return std::nullopt;
            m_process.waitForReadyRead(int(qMax<qint64>(1, qMin<qint64>(100, deadline.remainingTime()))));
        }
    }

    // Waits until the peer accepts connections on 127.0.0.1:port.
    bool waitForPort(quint16 port, int ms = 20000) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            if (m_process.state() != QProcess::Running)
                return false;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    QStringList lines() {
        readOutput();
        return m_lines;
    }

    QString describe() {
        readOutput();
        return QStringLiteral("%1: %2 %3")
            .arg(m_program, m_process.errorString(),
                 QString::fromLocal8Bit(m_process.readAllStandardError().right(2000)));
    }

    void stop() {
        if (m_group <= 0)
            return;
        std::erase(runningPeerGroups(), m_group);
        ::kill(-m_group, SIGTERM);
        if (!m_process.waitForFinished(500)) { // squid takes seconds to shut down; nothing of it is kept
            ::kill(-m_group, SIGKILL);
            m_process.waitForFinished(3000);
        }
        ::kill(-m_group, SIGKILL); // children that outlived their leader
        m_group = 0;
    }

private:
    void readOutput() {
        m_pending += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_lines << QString::fromUtf8(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
        }
    }

    QString m_program;
    QProcess m_process;
    pid_t m_group = 0;
    QByteArray m_pending;
    QStringList m_lines;
};

// Makes a folder usable by a peer that drops its privileges to user.
inline void handFolderTo(const QString& path, const char* user) {
    if (::geteuid() != 0)
        return;
    if (const passwd* pw = ::getpwnam(user))
        if (::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0)
            qWarning("cannot hand %s to %s", qPrintable(path), user);
}

inline QByteArray randomBytes(int size) {
    QByteArray data(size, '\0');
    QRandomGenerator generator(20240312);
    for (char& c : data)
        c = char(generator.generate() & 0xFF);
    // Line ends and a NUL that a text-mode transfer would change.
    data.replace(100, 5, QByteArray("\r\n\n\r\0", 5));
    return data;
}

inline void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The supplier's server: pyftpdlib with one user and a folder holding a price archive and a picture.
class FtpServer {
public:
    QByteArray archive = randomBytes(300 * 1024);
    QByteArray picture = randomBytes(5000);
    quint16 port = 0;

    // Extra flags of ftp_server.py: "--no-extended", "--masquerade", address.
    bool start(const QStringList& extra = {}) {
        if (!m_root.isValid())
            return false;
        writeFile(m_root.filePath(QStringLiteral("ExportPrice_k.zip")), archive);
        writeFile(m_root.filePath(QStringLiteral("pictures/12345.jpg")), picture);
        QStringList args = {peerScript("ftp_server.py"),
                            QStringLiteral("--root"),
                            m_root.path(),
                            QStringLiteral("--user"),
                            kFtpUser,
                            QStringLiteral("--password"),
                            kFtpPassword};
        if (!m_peer.start(kPython, args + extra))
            return false;
        port = quint16(m_peer.waitForLine(QStringLiteral("PORT ")).toUInt());
        return port != 0;
    }
    QString describe() { return m_peer.describe(); }
    void stop() { m_peer.stop(); }

private:
    QTemporaryDir m_root;
    Peer m_peer;
};

// Files a folder holds, for checking that nothing was left behind.
inline QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs a test body; an error escaping it fails that test with its text instead of ending the run.
template <class F> void failOnAppError(F&& body) {
    try {
        body();
    } catch (const AppError& e) {
        QFAIL(qPrintable(e.message()));
    }
}

#define VERIFY_PEER(expr, peer) QVERIFY2((expr), qPrintable(QStringLiteral("peer did not start: ") + (peer).describe()))
