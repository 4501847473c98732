#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The supplier's files and the settings file are Windows-1251 text.
QString fromCp1251(QByteArrayView bytes);
// Characters that Windows-1251 cannot hold become '?'.
QByteArray toCp1251(QStringView text);
