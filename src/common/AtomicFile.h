#pragma once

#include <QByteArrayView>
#include <QString>

// Replaces the file at path by data so that a crash, a full disk or a read-only folder never leaves a
// half-written file: the data goes to a temporary file in the same folder, is flushed to disk and then
// renamed over the old file. On failure the previous file stays untouched and AppError names the path.
// mode is the POSIX permission bits of the new file.
void writeFileAtomically(const QString& path, QByteArrayView data, unsigned mode = 0644);
