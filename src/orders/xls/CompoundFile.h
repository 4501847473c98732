#pragma once

#include <QByteArray>
#include <QString>

namespace xls {

// A compound document (version 3, 512-byte sectors) holding the one stream given, under the root
// storage. A stream shorter than 4096 bytes is padded with zeros to that size so that it lives in the
// regular sectors and the file needs no mini stream.
QByteArray compoundDocument(const QString& streamName, QByteArray stream);

} // namespace xls
