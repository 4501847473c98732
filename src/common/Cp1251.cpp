#include "Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString fromCp1251(QByteArrayView bytes) {
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

QByteArray toCp1251(QStringView text) {
    QStringEncoder encoder("windows-1251");
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    // ICU puts its substitute byte 0x1A (a control character) for what the code page lacks; we want '?'.
    if (!text.contains(QChar(0x1A)))
        return bytes.replace('\x1A', '?');
    // A real 0x1A in the text as well: only a character by character pass tells them apart.
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        QStringEncoder one("windows-1251");
        const QByteArray encoded = one.encode(text.mid(i, n));
        out += one.hasError() ? QByteArray(1, '?') : encoded;
        i += n;
    }
    return out;
}
