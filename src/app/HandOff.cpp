#include "HandOff.h"

#include <QFile>

namespace {

QString comparable(const QString& path) {
    QString p = path;
    qsizetype b = 0, e = p.size();
    while (b < e && p[b].unicode() <= 0x20)
        ++b;
    while (e > b && p[e - 1].unicode() <= 0x20)
        --e;
    return p.mid(b, e - b).toUpper();
}

} // namespace

// Only an executable of this machine's own kind is handed the start: an ELF file whose class and
// machine match the running program.
QString whyNotRunnable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("файл не открывается: %1").arg(file.errorString());
    const QByteArray head = file.read(20);
    if (head.size() < 20 || !head.startsWith("\x7f" "ELF"))
        return QStringLiteral("это не программа для этой системы");
    const int elfClass = sizeof(void*) == 8 ? 2 : 1;
#if defined(__x86_64__)
    const int machine = 62;
#elif defined(__aarch64__)
    const int machine = 183;
#elif defined(__i386__)
    const int machine = 3;
#else
    const int machine = -1;
#endif
    const int fileMachine = static_cast<unsigned char>(head[18]) | (static_cast<unsigned char>(head[19]) << 8);
    if (head[4] != elfClass || head[5] != 1 || fileMachine != machine)
        return QStringLiteral("программа для другого типа компьютера");
    return {};
}

bool sameProgramFile(const QString& a, const QString& b) { return comparable(a) == comparable(b); }
