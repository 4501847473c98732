#pragma once

#include <QString>

#include <cstdint>

// Kind of FTP proxy; the order is the FTP client's, not the one of the proxy list in the settings.
enum class TIdFtpProxyType : std::uint8_t {
    fpcmNone,
    fpcmUserSite,
    fpcmSite,
    fpcmOpen,
    fpcmUserPass,
    fpcmTransparent,
    fpcmHttpProxyWithFtp,
    fpcmCustomProxy,
};

// The supplier's server and the anonymous login (used as user name and as password).
inline const QString kSupplierFtpHost = QStringLiteral("ftp.tavrel.example");
inline const QString kAnonymousLogin = QStringLiteral("catalog@tavrel.example");

// The one settings record: fixed file names, working folders and every user setting.
// Folders end with a path separator.
struct TZarenOptions {
    QString PriceFile;
    QString ClassFile;
    QString MainFile;
    QString DocFile;
    QString WorkDir;
    QString TempPictureDir;
    QString ConfigFile;
    std::int32_t IsImportOnStart = 0;
    std::int32_t IsInputKolByWindow = 0;
    QString PathPicture;
    QString PathBase;
    QString ExportPriceFile;
    QString ExportClassFile;
    QString PostName;
    QString PostAdress;
    QString PostInn;
    QString PostKpp;
    QString PostContactFace;
    QString PostTels;
    QString MailForsend;
    QString Orgname;
    QString OrgAdress;
    QString OrgInn;
    QString OrgKpp;
    QString OrgContactFace;
    QString OrgTels;
    QString OrgMail;
    QString ConnectHost;
    QString ConnectUserName;
    QString ConnectPassword;
    bool ConnectPassive = false;
    std::int32_t ConnectPort = 0;
    QString ProxyHost;
    std::int32_t ProxyPort = 0;
    QString ProxyUserName;
    QString ProxyPassword;
    TIdFtpProxyType ProxyType = TIdFtpProxyType::fpcmNone;
    bool UseSocks5 = false;

    bool operator==(const TZarenOptions&) const = default;
};
