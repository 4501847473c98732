#include "Settings.h"

#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringView>

#include <array>
#include <variant>

namespace {

constexpr QStringView kSection = u"COMMON";

using Field = std::variant<QString TZarenOptions::*, std::int32_t TZarenOptions::*, bool TZarenOptions::*>;

struct KeyField {
    QStringView key;
    Field field;
};

// The keys in the order they are read and written; ProxyType, which is mapped, comes after them.
const std::array<KeyField, 27> kKeys{{
    {u"PathPicture", &TZarenOptions::PathPicture},
    {u"PathBase", &TZarenOptions::PathBase},
    {u"IsInputKolByWindow", &TZarenOptions::IsInputKolByWindow},
    {u"PostName", &TZarenOptions::PostName},
    {u"PostAdress", &TZarenOptions::PostAdress},
    {u"PostInn", &TZarenOptions::PostInn},
    {u"PostKpp", &TZarenOptions::PostKpp},
    {u"PostContactFace", &TZarenOptions::PostContactFace},
    {u"PostTels", &TZarenOptions::PostTels},
    {u"MailForsend", &TZarenOptions::MailForsend},
    {u"Orgname", &TZarenOptions::Orgname},
    {u"OrgAdress", &TZarenOptions::OrgAdress},
    {u"OrgInn", &TZarenOptions::OrgInn},
    {u"OrgKpp", &TZarenOptions::OrgKpp},
    {u"OrgContactFace", &TZarenOptions::OrgContactFace},
    {u"OrgTels", &TZarenOptions::OrgTels},
    {u"OrgMail", &TZarenOptions::OrgMail},
    {u"IsImportOnStart", &TZarenOptions::IsImportOnStart},
    {u"ConnectPassword", &TZarenOptions::ConnectPassword},
    {u"ConnectUserName", &TZarenOptions::ConnectUserName},
    {u"ConnectHost", &TZarenOptions::ConnectHost},
    {u"ConnectPassive", &TZarenOptions::ConnectPassive},
    {u"ConnectPort", &TZarenOptions::ConnectPort},
    {u"ProxyHost", &TZarenOptions::ProxyHost},
    {u"ProxyUserName", &TZarenOptions::ProxyUserName},
    {u"ProxyPassword", &TZarenOptions::ProxyPassword},
    {u"ProxyPort", &TZarenOptions::ProxyPort},
}};
constexpr QStringView kProxyTypeKey = u"ProxyType";

// The proxy list, by position.
constexpr std::array<TIdFtpProxyType, 8> kProxyList{
    TIdFtpProxyType::fpcmNone,        TIdFtpProxyType::fpcmHttpProxyWithFtp,
    TIdFtpProxyType::fpcmOpen,        TIdFtpProxyType::fpcmSite,
    TIdFtpProxyType::fpcmTransparent, TIdFtpProxyType::fpcmUserPass,
    TIdFtpProxyType::fpcmUserSite,    TIdFtpProxyType::fpcmNone,
};

// Values of the key fields when their key is missing from the file.
TZarenOptions missingKeyDefaults() {
    TZarenOptions d;
    d.PathPicture = programFolder() + QStringLiteral("pictures/");
    d.PathBase = programFolder();
    d.IsInputKolByWindow = 1;
    d.IsImportOnStart = 0;
    d.ConnectPassword = kAnonymousLogin;
    d.ConnectUserName = kAnonymousLogin;
    d.ConnectHost = kSupplierFtpHost;
    d.ConnectPassive = false;
    d.ConnectPort = 21;
    d.ProxyPort = 0;
    return d;
}

TZarenOptions newFileValues() {
    TZarenOptions n = missingKeyDefaults();
    n.PostName = QStringLiteral("ООО Сервис Таврел");
    return n;
}

QString read(const IniFile& ini, QStringView key, const QString& def) {
    return ini.readString(kSection, key, def);
}
std::int32_t read(const IniFile& ini, QStringView key, std::int32_t def) {
    return ini.readInteger(kSection, key, def);
}
bool read(const IniFile& ini, QStringView key, bool def) {
    return ini.readBool(kSection, key, def);
}

void write(IniFile& ini, QStringView key, const QString& value) {
    ini.writeString(kSection, key, value);
}
void write(IniFile& ini, QStringView key, std::int32_t value) {
    ini.writeInteger(kSection, key, value);
}
void write(IniFile& ini, QStringView key, bool value) {
    ini.writeBool(kSection, key, value);
}

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// The folder that holds our working folder: the profile's "Application Data" or the user's data folder.
QString dataFolder() {
    const QString profile = qEnvironmentVariable("USERPROFILE");
    if (!profile.isEmpty())
        return withSlash(profile) + QStringLiteral("Application Data/");
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is to be ignored.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return withSlash(dataHome);
}

} // namespace

QString programFolder() {
    return withSlash(QCoreApplication::applicationDirPath());
}

QString workingFolder() {
    return dataFolder() + QStringLiteral("TavrelCatalog/");
}

void InitPaths(TZarenOptions& options, bool& firstRun) {
    const QString workDir = workingFolder();
    QDir dir;
    // "Application Data" is one level below an existing profile; the XDG folder may lack several levels.
    if (!qEnvironmentVariableIsEmpty("USERPROFILE"))
        dir.mkdir(dataFolder());
    else
        dir.mkpath(dataFolder());
    dir.mkdir(workDir);
    options.WorkDir = workDir;
    options.TempPictureDir = workDir + QStringLiteral("TempPicture/");
    dir.mkdir(options.TempPictureDir);

    options.ConfigFile = QStringLiteral("ZarenConfig.ini");
    options.PriceFile = QStringLiteral("Price.lst");
    options.ClassFile = QStringLiteral("Class.lst");
    options.MainFile = QStringLiteral("Main.lst");
    options.DocFile = QStringLiteral("Doc.lst");
    options.ExportPriceFile = QStringLiteral("ExportPrice.csv");
    options.ExportClassFile = QStringLiteral("ExportClass.csv");

    LoadOptions(options, firstRun, options.WorkDir, options.ConfigFile);
}

void LoadOptions(TZarenOptions& options, bool& firstRun, const QString& folder, const QString& fileName) {
    firstRun = false;
    const QString path = folder + fileName;
    if (!QFileInfo::exists(path)) {
        firstRun = true;
        const TZarenOptions n = newFileValues();
        for (const auto& [key, field] : kKeys)
            std::visit([&](auto member) { options.*member = n.*member; }, field);
        options.ProxyType = TIdFtpProxyType::fpcmNone;
        options.UseSocks5 = false;
        SaveOptions(options, folder, fileName);
        return;
    }

    const IniFile ini = IniFile::load(path);
    const TZarenOptions d = missingKeyDefaults();
    for (const auto& [key, field] : kKeys)
        std::visit([&, k = key](auto member) { options.*member = read(ini, k, d.*member); }, field);

    const std::int32_t position = ini.readInteger(kSection, kProxyTypeKey, 0);
    if (const std::optional<TIdFtpProxyType> type = proxyTypeAtPosition(position)) {
        options.ProxyType = *type;
        // Other positions leave the flag alone; at start it is clear anyway.
        if (position == kSocks5ProxyPosition)
            options.UseSocks5 = true;
    }
}

void SaveOptions(const TZarenOptions& options, const QString& folder, const QString& fileName) {
    const QString path = folder + fileName;
    // Rewrite the file as it is now, so keys keep their place and other sections survive.
    IniFile ini = IniFile::load(path);
    for (const auto& [key, field] : kKeys)
        std::visit([&, k = key](auto member) { write(ini, k, options.*member); }, field);
    const int position = options.UseSocks5 ? kSocks5ProxyPosition : proxyTypePosition(options.ProxyType).value_or(0);
    ini.writeInteger(kSection, kProxyTypeKey, position);
    ini.save(path);
}

std::optional<TIdFtpProxyType> proxyTypeAtPosition(int position) {
    if (position < 0 || position >= static_cast<int>(kProxyList.size()))
        return std::nullopt;
    return kProxyList[static_cast<std::size_t>(position)];
}

std::optional<int> proxyTypePosition(TIdFtpProxyType type) {
    for (int i = 0; i < kSocks5ProxyPosition; ++i) {
        if (kProxyList[static_cast<std::size_t>(i)] == type)
            return i;
    }
    return std::nullopt;
}
