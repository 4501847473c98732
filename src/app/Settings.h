#pragma once

#include "ZarenOptions.h"

#include <QString>

#include <optional>

// Folder of the running program file, ending with '/'.
QString programFolder();

// The per-user working folder, ending with '/': "Application Data/TavrelCatalog/" under USERPROFILE
// when that is set, otherwise "TavrelCatalog/" in the user's data folder (XDG_DATA_HOME or
// ~/.local/share). Creates nothing.
QString workingFolder();

// Builds the working folder and its "TempPicture/" subfolder, fills the fixed file names and loads the
// settings file from the working folder. A folder that cannot be created is not reported here; the
// first file written into it fails instead.
void InitPaths(TZarenOptions& options, bool& firstRun);

// Reads folder + fileName into the key fields of options. When the file is missing, firstRun is set and
// a file with the new-file values is written (AppError when that fails).
void LoadOptions(TZarenOptions& options, bool& firstRun, const QString& folder, const QString& fileName);

// Writes the key fields into folder + fileName, keeping whatever else the file holds. Throws AppError
// naming the file when it cannot be read or written; the previous file then stays as it was.
void SaveOptions(const TZarenOptions& options, const QString& folder, const QString& fileName);

// Positions of the proxy list, which are also the values of the key ProxyType.
inline constexpr int kSocks5ProxyPosition = 7;
// The FTP proxy type at a position 0..7 (position 7 is SOCKS 5, no FTP proxy); none outside.
std::optional<TIdFtpProxyType> proxyTypeAtPosition(int position);
// The position 0..6 of an FTP proxy type; none for a type the list does not offer.
std::optional<int> proxyTypePosition(TIdFtpProxyType type);
