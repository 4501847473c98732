#pragma once

#include <QString>

// The picture file of a product, as named locally and in the supplier's picture folder: a leading
// Cyrillic К becomes "9" and a leading Б "8", then ".jpg".
inline QString PictureFileName(const QString& code) {
    QString name = code;
    if (name.startsWith(QChar(0x041A))) // К
        name[0] = QLatin1Char('9');
    else if (name.startsWith(QChar(0x0411))) // Б
        name[0] = QLatin1Char('8');
    return name + QStringLiteral(".jpg");
}
