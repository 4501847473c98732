#include "CompoundFile.h"

#include <QtEndian>

#include <cstdint>
#include <cstring>

namespace xls {

namespace {

constexpr int kSector = 512;
constexpr int kIdsPerSector = kSector / 4;
constexpr int kHeaderDifat = 109; // FAT sector numbers the header itself holds
constexpr int kMiniCutoff = 4096;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

void put16(char* at, std::uint16_t v) {
    qToLittleEndian(v, at);
}
void put32(char* at, std::uint32_t v) {
    qToLittleEndian(v, at);
}

// One 128-byte directory entry.
void putEntry(char* at, const QString& name, std::uint8_t type, std::uint32_t child, std::uint32_t start,
              std::uint32_t size) {
    const int chars = int(qMin(name.size(), qsizetype(31)));
    for (int i = 0; i < chars; ++i)
        put16(at + 2 * i, name.at(i).unicode());
    put16(at + 64, std::uint16_t((chars + 1) * 2));
    at[66] = char(type);
    at[67] = 1; // black: a lone node is a valid red-black tree
    put32(at + 68, kNoStream);
    put32(at + 72, kNoStream);
    put32(at + 76, child);
    put32(at + 116, start);
    put32(at + 120, size);
}

void putFreeEntry(char* at) {
    put32(at + 68, kNoStream);
    put32(at + 72, kNoStream);
    put32(at + 76, kNoStream);
}

int sectorsFor(qsizetype bytes) {
    return int((bytes + kSector - 1) / kSector);
}

} // namespace

QByteArray compoundDocument(const QString& streamName, QByteArray stream) {
    if (stream.size() < kMiniCutoff)
        stream.append(kMiniCutoff - stream.size(), '\0');
    const int streamSectors = sectorsFor(stream.size());

    // Sectors: FAT, DIFAT, directory, stream. The FAT must also cover its own sectors and the DIFAT's.
    int fat = 1, difat = 0;
    for (;;) {
        const int total = fat + difat + 1 + streamSectors;
        const int needFat = (total + kIdsPerSector - 1) / kIdsPerSector;
        const int needDifat =
            needFat > kHeaderDifat ? (needFat - kHeaderDifat + kIdsPerSector - 2) / (kIdsPerSector - 1) : 0;
        if (needFat == fat && needDifat == difat)
            break;
        fat = needFat;
        difat = needDifat;
    }
    const std::uint32_t firstDifat = std::uint32_t(fat);
    const std::uint32_t directory = std::uint32_t(fat + difat);
    const std::uint32_t firstStream = directory + 1;
    const int totalSectors = fat + difat + 1 + streamSectors;

    QByteArray file(kSector * (1 + totalSectors), '\0');
    char* header = file.data();
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(header, signature, 8);
    put16(header + 24, 0x003E); // minor version
    put16(header + 26, 0x0003); // major version 3: 512-byte sectors
    put16(header + 28, 0xFFFE); // little-endian
    put16(header + 30, 9);      // sector size 2^9
    put16(header + 32, 6);      // mini sector size 2^6
    put32(header + 44, std::uint32_t(fat));
    put32(header + 48, directory);
    put32(header + 56, kMiniCutoff);
    put32(header + 60, kEndOfChain); // no mini FAT
    put32(header + 64, 0);
    put32(header + 68, difat ? firstDifat : kEndOfChain);
    put32(header + 72, std::uint32_t(difat));
    for (int i = 0; i < kHeaderDifat; ++i)
        put32(header + 76 + 4 * i, i < fat ? std::uint32_t(i) : kFreeSect);

    auto sector = [&](std::uint32_t n) { return file.data() + kSector * (1 + qsizetype(n)); };

    // FAT: every sector's successor in its chain.
    auto setFat = [&](std::uint32_t n, std::uint32_t next) {
        put32(sector(n / kIdsPerSector) + 4 * (n % kIdsPerSector), next);
    };
    for (int i = 0; i < fat * kIdsPerSector; ++i)
        setFat(std::uint32_t(i), kFreeSect);
    for (int i = 0; i < fat; ++i)
        setFat(std::uint32_t(i), kFatSect);
    for (int i = 0; i < difat; ++i)
        setFat(firstDifat + std::uint32_t(i), kDifSect);
    setFat(directory, kEndOfChain);
    for (int i = 0; i < streamSectors; ++i) {
        const std::uint32_t n = firstStream + std::uint32_t(i);
        setFat(n, i + 1 < streamSectors ? n + 1 : kEndOfChain);
    }

    // DIFAT sectors: the FAT sector numbers past the header's 109, 127 to a sector, then the next one.
    for (int d = 0; d < difat; ++d) {
        char* s = sector(firstDifat + std::uint32_t(d));
        for (int i = 0; i < kIdsPerSector - 1; ++i) {
            const int fatIndex = kHeaderDifat + d * (kIdsPerSector - 1) + i;
            put32(s + 4 * i, fatIndex < fat ? std::uint32_t(fatIndex) : kFreeSect);
        }
        put32(s + 4 * (kIdsPerSector - 1), d + 1 < difat ? firstDifat + std::uint32_t(d + 1) : kEndOfChain);
    }

    char* dir = sector(directory);
    putEntry(dir, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    putEntry(dir + 128, streamName, 2, kNoStream, firstStream, std::uint32_t(stream.size()));
    putFreeEntry(dir + 256);
    putFreeEntry(dir + 384);

    std::memcpy(sector(firstStream), stream.constData(), size_t(stream.size()));
    return file;
}

} // namespace xls
