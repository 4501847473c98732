#include "AtomicFile.h"

#include "Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

[[noreturn]] void fail(const QString& path, int err) {
    throw AppError(QStringLiteral("Не удалось записать файл «%1»: %2").arg(QDir::toNativeSeparators(path), systemReason(err)));
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void writeFileAtomically(const QString& path, QByteArrayView data, unsigned mode) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    QByteArray tmpl = QFile::encodeName(folder + QLatin1Char('/') + QLatin1Char('.') + info.fileName()) + ".tmp-XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        fail(path, errno);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(tmpl.constData());
        fail(path, err);
    };
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0)
        abandon(errno);
    if (!writeAll(fd, data.data(), data.size()))
        abandon(errno);
    if (::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.constData());
        fail(path, err);
    }
    if (::rename(tmpl.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
        const int err = errno;
        ::unlink(tmpl.constData());
        fail(path, err);
    }
    syncFolder(folder);
}
