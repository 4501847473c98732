#pragma once

#include "FtpClient.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Prompts;

// The status handler: one text whose lines are separated by a single carriage return; the empty
// text ends a transfer.
using TcsMessageEvent = std::function<void(const QString& Msg)>;

// The steps of one transfer, for TcsExchange::runTransfer.
struct TransferPlan {
    QString operation;   // first line of every text, "Загрузка прайса"
    QString closingText; // sent just before the disconnect, "Загрузка прайса\rВыход"
    bool connectionTextAfterConnect = false;
    bool closingOnlyWhenConnected = false;
    bool closeOnError = false; // an error passing through still gets the closing text and the disconnect
    std::function<void()> beforeConnect;
    std::function<void()> whenConnected;
    std::function<void(bool wasConnected)> afterDisconnect;
};

// The component through which the program talks to the supplier's FTP server: connection
// settings, the three local folders, the status event and the busy flag that Stop clears.
class TcsExchange : public QObject {
    Q_OBJECT
public:
    explicit TcsExchange(QObject* owner = nullptr);
    // Disconnects when connected; errors are swallowed. Never destroy it while runTransfer runs.
    ~TcsExchange() override;

    // The client itself; SetupExchange installs SOCKS 5 on it.
    FtpClient* ftp() const { return m_ftp; }

    bool Passive() const { return m_ftp->passive(); }
    void setPassive(bool passive) { m_ftp->setPassive(passive); }
    QString UserName() const { return m_ftp->username(); }
    void setUserName(const QString& name) { m_ftp->setUsername(name); }
    QString Password() const { return m_ftp->password(); }
    void setPassword(const QString& password) { m_ftp->setPassword(password); }
    QString Host() const { return m_ftp->host(); }
    void setHost(const QString& host) { m_ftp->setHost(host); }
    int Port() const { return m_ftp->port(); }
    void setPort(int port) { m_ftp->setPort(port); }
    bool Connected() const { return m_ftp->isConnected(); }
    const TIdFtpProxySettings& ProxySettings() const { return m_ftp->proxySettings(); }
    void setProxySettings(const TIdFtpProxySettings& settings) { m_ftp->setProxySettings(settings); }

    QString PathToBase() const { return m_pathToBase; }
    void setPathToBase(const QString& path) { m_pathToBase = path; }
    QString PathToPictures() const { return m_pathToPictures; }
    void setPathToPictures(const QString& path) { m_pathToPictures = path; }
    QString PathToTmpPictures() const { return m_pathToTmpPictures; }
    void setPathToTmpPictures(const QString& path) { m_pathToTmpPictures = path; }

    const TcsMessageEvent& OncsMessage() const { return m_onMessage; }
    void setOncsMessage(TcsMessageEvent handler) { m_onMessage = std::move(handler); }

    // True while a transfer runs; Stop clears it from outside.
    bool Busy() const { return m_busy; }
    void setBusy(bool busy) { m_busy = busy; }

    // Where the single-picture download tells the user that the server has no such picture.
    void setPrompts(Prompts* prompts) { m_prompts = prompts; }

    // --- The operations ---

    // Price archive, program file and help file in one connection, then the import files unpacked
    // into PathToBase and the program swapped; true when both import files are there and Stop was
    // not pressed.
    bool GetNewPrice();
    // Every picture of the server's list that neither local folder holds; true at the end.
    bool GetNewPictures();
    // One picture into PathToTmpPictures, or a message that the server has none; true at the end.
    bool GetOnePicture(const QString& FileName);

    // --- The steps the operations are made of ---

    // Raises OncsMessage.
    void sendMessage(const QString& Msg);
    // operation + "\rСоединение", and "\rЧерез прокси: " + host when a proxy host is set.
    QString connectionText(const QString& operation) const;
    // Connect, then binary transfers (kept for later connections too).
    void connectBinary();
    // The existence test: LIST of name; present when name occurs anywhere in the listing.
    bool fileExists(const QString& name);
    QStringList list(const QString& name) { return m_ftp->list(name, true); }
    QString listResultText() const { return m_ftp->listResultText(); }
    // Replaces localPath with the remote file, whole; a failed transfer leaves the old file as it was.
    void download(const QString& remote, const QString& localPath) { m_ftp->get(remote, localPath); }
    void disconnectServer() { m_ftp->disconnectFromServer(); }

    // The connection pattern: Busy; connection text; connect, binary; the steps when connected;
    // closing text and disconnect; Busy cleared; the empty text. Returns false when Stop cleared
    // Busy meanwhile or abort() ended it. An error other than an abort closes the connection and
    // escapes with Busy left set and no empty text.
    bool runTransfer(const TransferPlan& plan);

    // For closing the window during a transfer: the running step ends at once, the transfer closes
    // as usual with its empty text and returns false.
    void abort();
    bool isAborted() const { return m_aborted; }

signals:
    // Bytes of the file being fetched; total is -1 when unknown.
    void transferProgress(qint64 received, qint64 total);

private:
    FtpClient* m_ftp;
    QString m_pathToBase;
    QString m_pathToPictures;
    QString m_pathToTmpPictures;
    TcsMessageEvent m_onMessage;
    Prompts* m_prompts = nullptr;
    bool m_busy = false;
    bool m_aborted = false;
};
