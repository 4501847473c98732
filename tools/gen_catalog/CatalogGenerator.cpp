#include "CatalogGenerator.h"

#include "CatalogData.h"
#include "Error.h"
#include "NameTemplate.h"
#include "Rng.h"

#include <QDir>
#include <QIODevice>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <vector>

namespace CatalogGen {
namespace {

constexpr int kNameSize = 200;
constexpr int kMissingGroupId = 990;
constexpr int kMissingSubgroupOffset = 990;

int groupClassId(int group) {
    return 10 * (group + 1);
}
int subgroupClassId(int group, int subgroup) {
    return 1000 * (group + 1) + 10 * (subgroup + 1);
}

// Buffers a whole file's worth of small appends into large writes.
class Sink {
public:
    Sink(QIODevice& device, QString name) : m_device(device), m_name(std::move(name)) {
        m_buffer.reserve(kChunk + 4096);
    }

    QByteArray& line() { return m_buffer; }

    void endLine() {
        m_buffer += "\r\n";
        if (m_buffer.size() >= kChunk)
            flush();
    }

    void flush() {
        if (m_buffer.isEmpty())
            return;
        if (m_device.write(m_buffer) != m_buffer.size())
            throw AppError(QStringLiteral("Не удалось записать файл «%1»: %2").arg(m_name, m_device.errorString()));
        m_buffer.clear();
    }

private:
    static constexpr qsizetype kChunk = 1 << 20;
    QIODevice& m_device;
    QString m_name;
    QByteArray m_buffer;
};

void appendInt(QByteArray& out, qint64 value) {
    char digits[24];
    int n = 0;
    const bool negative = value < 0;
    quint64 v = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative)
        out += '-';
    while (n > 0)
        out += digits[--n];
}

// value / 10^decimals with exactly that many decimals, from an integer so no rounding can creep in.
void appendFixed(QByteArray& out, qint64 value, int decimals, bool groupThousands = false) {
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const qint64 whole = value / scale;
    if (groupThousands && whole >= 1000) {
        QByteArray digits;
        appendInt(digits, whole);
        for (qsizetype i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0)
                out += ' ';
            out += digits[i];
        }
    } else {
        appendInt(out, whole);
    }
    if (decimals == 0)
        return;
    out += '.';
    qint64 fraction = value % scale;
    for (qint64 digit = scale / 10; digit > 0; digit /= 10) {
        out += static_cast<char>('0' + fraction / digit);
        fraction %= digit;
    }
}

void appendPadded(QByteArray& out, quint64 value, int width) {
    char digits[24];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(digits, width);
}

int ean13CheckDigit(const char* twelveDigits) {
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (twelveDigits[i] - '0') * (i % 2 == 0 ? 1 : 3);
    return (10 - sum % 10) % 10;
}

// Cases the import and the browser must cope with. The first hundred products hold each of them at least
// once, so even the smallest catalogue shows them all; further on they turn up at their natural rates.
enum Quirk {
    NoQuirk = -1,
    GroupZero,
    SubgroupZero,
    MissingGroup,
    MissingSubgroup,
    DiscountUnlimited,
    DiscountForbidden,
    DiscountCapped,
    ZeroPackaging,
    SpacedPrice,
    LongName,
    NdsZero,
    StockZero,
    EmptyArticle,
    EmptyBarcode,
    NewProduct,
    DigitCode,
    BCode,
    QuirkCount
};

struct Kind {
    const KindDef* def;
    NameTemplate pattern;
    QByteArray articlePrefix;
    int group;
    int subgroup;
    int groupId;
    int subgroupId;
};

struct Country {
    QByteArray name;
    int weight;
    std::vector<int> barcodePrefixes;
};

class Generator {
public:
    explicit Generator(const Options& options) : m_options(options), m_rng(options.seed) {
        for (const ColourDef& c : catalogColours())
            m_words.colours.append(
                {toCp1251Exact(QString::fromUtf8(c.masculine)), toCp1251Exact(QString::fromUtf8(c.feminine)),
                 toCp1251Exact(QString::fromUtf8(c.neuter)), toCp1251Exact(QString::fromUtf8(c.plural))});
        for (const char* model : catalogModels())
            m_words.models.append(toCp1251Exact(QString::fromUtf8(model)));
        for (const char* mark : catalogTradeMarks())
            m_tradeMarks.append(toCp1251Exact(QString::fromUtf8(mark)));
        for (const char* point : catalogSellingPoints())
            m_sellingPoints.append(toCp1251Exact(QString::fromUtf8(point)));
        for (const char* prefix : cyrillicArticlePrefixes())
            m_cyrillicPrefixes.append(toCp1251Exact(QString::fromUtf8(prefix)));
        for (const CountryDef& c : catalogCountries()) {
            m_countries.push_back({toCp1251Exact(QString::fromUtf8(c.name)), c.weight, c.barcodePrefixes});
            m_countryWeightTotal += c.weight;
        }

        const std::vector<GroupDef>& groups = catalogGroups();
        for (int g = 0; g < static_cast<int>(groups.size()); ++g) {
            const auto& subgroups = groups[g].subgroups;
            for (int s = 0; s < static_cast<int>(subgroups.size()); ++s) {
                for (const KindDef& def : subgroups[s].kinds) {
                    m_kinds.push_back({&def, NameTemplate(QString::fromUtf8(def.pattern)),
                                       QByteArray(def.articlePrefix), g, s, groupClassId(g), subgroupClassId(g, s)});
                    // Kinds with many variants get more products, so that few names repeat.
                    m_kindWeightTotal += std::max(4, m_kinds.back().pattern.variety(m_words, 60));
                    m_kindWeightEnds.push_back(m_kindWeightTotal);
                    if (def.priceMax >= 150000)
                        m_expensiveKinds.push_back(static_cast<int>(m_kinds.size()) - 1);
                }
            }
        }

        // Each seed spreads its bar codes differently; within one catalogue they stay unique.
        m_barcodeOffset = m_rng.below(1'000'000'000ULL);
        m_nextId = m_rng.between(1, 50);
    }

    void writePrice(Sink& sink) {
        sink.line() += "ID;CODE;FULLNAME;NDS;KOLTEK;CENA;MAXDISCOUNT;ARTICUL;TM;COUNTRY;ST1;ST2;ST3;WST3;VST3;"
                       "IDGROUP;IDSUBGROUP;ISNEW;ISPHOTO;BARCODE";
        sink.endLine();

        std::array<int, 100> positions{};
        for (int i = 0; i < 100; ++i)
            positions[i] = i;
        std::array<Quirk, 100> forced;
        forced.fill(NoQuirk);
        for (int q = 0; q < QuirkCount; ++q) {
            const int pick = q + static_cast<int>(m_rng.below(100 - q));
            std::swap(positions[q], positions[pick]);
            forced[positions[q]] = static_cast<Quirk>(q);
        }

        for (int i = 0; i < m_options.products; ++i)
            writeProduct(sink, i, i < 100 ? forced[i] : NoQuirk);
        sink.flush();
    }

    int writeClasses(Sink& sink) {
        sink.line() += "ID;NAME;IDPARENT";
        sink.endLine();
        int entries = 0;
        const std::vector<GroupDef>& groups = catalogGroups();
        for (int g = 0; g < static_cast<int>(groups.size()); ++g) {
            appendClass(sink, groupClassId(g), groups[g].name, 0);
            ++entries;
        }
        for (int g = 0; g < static_cast<int>(groups.size()); ++g) {
            for (int s = 0; s < static_cast<int>(groups[g].subgroups.size()); ++s) {
                appendClass(sink, subgroupClassId(g, s), groups[g].subgroups[s].name, groupClassId(g));
                ++entries;
            }
        }
        sink.flush();
        return entries;
    }

private:
    static void appendClass(Sink& sink, int id, const char* name, int parent) {
        QByteArray& out = sink.line();
        appendInt(out, id);
        out += ';';
        out += toCp1251Exact(QString::fromUtf8(name)).left(50);
        out += ';';
        appendInt(out, parent);
        sink.endLine();
    }

    void writeProduct(Sink& sink, int index, Quirk quirk) {
        const int kindIndex =
            quirk == SpacedPrice ? m_expensiveKinds[m_rng.below(m_expensiveKinds.size())] : pickKind();
        const Kind& kind = m_kinds[kindIndex];
        const KindDef& def = *kind.def;
        QByteArray& out = sink.line();

        // 1 ID: increasing, with the gaps deleted products leave.
        appendInt(out, m_nextId);
        m_nextId += m_rng.chance(900) ? m_rng.between(1, 3) : m_rng.between(4, 60);
        out += ';';

        // 2 CODE
        appendCode(out, quirk);
        out += ';';

        // 3 FULLNAME
        appendName(out, kind, quirk == LongName || (quirk == NoQuirk && m_rng.chance(5)));
        out += ';';

        // 4 NDS
        appendInt(out, quirk == NdsZero || (quirk == NoQuirk && m_rng.chance(10)) ? 0 : def.nds);
        out += ';';

        // 5 KOLTEK
        if (quirk == StockZero || (quirk == NoQuirk && m_rng.chance(120))) {
            out += '0';
        } else {
            static constexpr std::array<int, 4> ceilings = {20, 200, 2000, 20000};
            appendInt(out, m_rng.between(1, ceilings[m_rng.below(ceilings.size())]));
        }
        out += ';';

        // 6 CENA: cheap prices are common, dear ones rare.
        qint64 kopecks = std::min(m_rng.between(def.priceMin, def.priceMax), m_rng.between(def.priceMin, def.priceMax));
        if (quirk == SpacedPrice)
            kopecks = m_rng.between(std::max(def.priceMin, 100000), def.priceMax);
        appendFixed(out, kopecks, 2, quirk == SpacedPrice || (quirk == NoQuirk && m_rng.chance(100)));
        out += ';';

        // 7 MAXDISCOUNT: 0 sets no limit, 0.01 forbids any discount, other values cap it.
        appendMaxDiscount(out, quirk);
        out += ';';

        // 8 ARTICUL
        if (quirk != EmptyArticle && !(quirk == NoQuirk && m_rng.chance(80)))
            appendArticle(out, kind);
        out += ';';

        // 9 TM
        if (!m_rng.chance(40))
            out += m_tradeMarks[static_cast<qsizetype>(m_rng.below(m_tradeMarks.size()))];
        out += ';';

        // 10 COUNTRY
        const Country* country = m_rng.chance(10) ? nullptr : &pickCountry();
        if (country)
            out += country->name;
        out += ';';

        // 11-15 ST1, ST2, ST3, WST3, VST3
        appendPackaging(out, def, quirk == ZeroPackaging || (quirk == NoQuirk && m_rng.chance(30)));
        out += ';';

        // 16, 17 IDGROUP, IDSUBGROUP
        appendGroups(out, kind, quirk);
        out += ';';

        // 18 ISNEW, 19 ISPHOTO
        out += quirk == NewProduct || (quirk == NoQuirk && m_rng.chance(50)) ? '1' : '0';
        out += ';';
        out += m_rng.chance(600) ? '1' : '0';
        out += ';';

        // 20 BARCODE: EAN-13, the prefix of the country where one is known.
        if (quirk != EmptyBarcode && !(quirk == NoQuirk && m_rng.chance(70)))
            appendBarcode(out, index, country ? *country : m_countries.front());

        sink.endLine();
    }

    void appendCode(QByteArray& out, Quirk quirk) {
        // Digit-only codes stay below 800000 so that no picture name ("9..." for К, "8..." for Б) is shared.
        int kind = static_cast<int>(m_rng.below(10));
        if (quirk == DigitCode)
            kind = 0;
        else if (quirk == BCode)
            kind = 1;
        else if (quirk != NoQuirk && kind < 3)
            kind = 3;
        if (kind == 0) {
            appendInt(out, m_nextDigitCode);
            m_nextDigitCode += m_rng.between(1, 3);
        } else if (kind <= 2) {
            out += "\xC1"; // Б
            appendInt(out, m_nextBCode);
            m_nextBCode += m_rng.between(1, 3);
        } else {
            out += "\xCA"; // К
            appendInt(out, m_nextKCode);
            m_nextKCode += m_rng.between(1, 3);
        }
    }

    void appendName(QByteArray& out, const Kind& kind, bool padToLimit) {
        m_name.clear();
        kind.pattern.expand(m_rng, m_words, m_name);
        tidyBlanks(m_name);
        if (padToLimit) {
            // Some descriptions fill the export's field and arrive cut off mid-word, at exactly its size
            // unless every cut would end on a blank or a comma.
            const qsizetype baseSize = m_name.size();
            const qsizetype first = static_cast<qsizetype>(m_rng.below(m_sellingPoints.size()));
            for (qsizetype attempt = 0; attempt < m_sellingPoints.size(); ++attempt) {
                m_name.truncate(baseSize);
                for (qsizetype point = first + attempt; m_name.size() <= kNameSize; ++point) {
                    m_name += ", ";
                    m_name += m_sellingPoints[point % m_sellingPoints.size()];
                }
                const char last = m_name[kNameSize - 1];
                if (last != ' ' && last != ',')
                    break;
            }
        }
        m_name.truncate(kNameSize);
        while (m_name.endsWith(' ') || m_name.endsWith(','))
            m_name.chop(1);
        out += m_name;
    }

    void appendMaxDiscount(QByteArray& out, Quirk quirk) {
        static constexpr std::array<const char*, 9> caps = {"3", "5", "7.5", "10", "12", "15", "15.5", "20", "25"};
        int roll = static_cast<int>(m_rng.below(100));
        if (quirk == DiscountUnlimited)
            roll = 0;
        else if (quirk == DiscountForbidden)
            roll = 60;
        else if (quirk == DiscountCapped)
            roll = 99;
        if (roll < 60)
            out += '0';
        else if (roll < 72)
            out += "0.01";
        else
            out += caps[m_rng.below(caps.size())];
    }

    void appendArticle(QByteArray& out, const Kind& kind) {
        static constexpr std::array<const char*, 6> latinSuffixes = {"BL", "BK", "RD", "GR", "YL", "WT"};
        static constexpr std::array<const char*, 4> cyrillicSuffixes = {"\xD1", "\xD7", "\xCA", "\xC7"}; // С Ч К З
        static constexpr std::array<const char*, 4> mixedSuffixes = {"\xD1\xCD", "\xD7\xD0", "\xCA\xD0",
                                                                     "\xC7\xCB"}; // СН ЧР КР ЗЛ
        const qsizetype start = out.size();
        const int style = static_cast<int>(m_rng.below(100));
        const qint64 number = m_rng.between(100, 9999);
        bool lower = false;
        if (style < 50 || (style >= 94 && style < 97)) { // BP-2001/BL
            out += kind.articlePrefix;
            out += '-';
            appendInt(out, number);
            if (m_rng.chance(700)) {
                out += '/';
                out += latinSuffixes[m_rng.below(latinSuffixes.size())];
            }
            lower = style >= 94;
        } else if (style < 62) { // BP 20014-12
            out += kind.articlePrefix;
            out += ' ';
            appendInt(out, number * 10 + m_rng.between(0, 9));
            out += '-';
            appendPadded(out, m_rng.below(100), 2);
        } else if (style < 74 || style >= 97) { // КР-150/С
            out += m_cyrillicPrefixes[static_cast<qsizetype>(m_rng.below(m_cyrillicPrefixes.size()))];
            out += m_rng.chance(800) ? '-' : '.';
            appendInt(out, number);
            if (m_rng.chance(600)) {
                out += '/';
                out += cyrillicSuffixes[m_rng.below(cyrillicSuffixes.size())];
            }
            lower = style >= 97;
        } else if (style < 84) { // BP-2001/СН
            out += kind.articlePrefix;
            out += '-';
            appendInt(out, number);
            out += '/';
            out += mixedSuffixes[m_rng.below(mixedSuffixes.size())];
        } else { // 400512, 4005-12
            appendInt(out, number * 100 + static_cast<qint64>(m_rng.below(100)));
            if (m_rng.chance(300)) {
                out.insert(out.size() - 2, '-');
            }
        }
        if (lower) {
            // Windows-1251 capitals: Latin A-Z, Cyrillic 0xC0-0xDF (lower case is +0x20).
            for (qsizetype i = start; i < out.size(); ++i) {
                const auto ch = static_cast<unsigned char>(out[i]);
                if ((ch >= 'A' && ch <= 'Z') || (ch >= 0xC0 && ch <= 0xDF))
                    out[i] = static_cast<char>(ch + 0x20);
            }
        }
    }

    int pickKind() {
        const int roll = static_cast<int>(m_rng.below(static_cast<std::uint64_t>(m_kindWeightTotal)));
        return static_cast<int>(std::upper_bound(m_kindWeightEnds.begin(), m_kindWeightEnds.end(), roll) -
                                m_kindWeightEnds.begin());
    }

    const Country& pickCountry() {
        int roll = static_cast<int>(m_rng.below(static_cast<std::uint64_t>(m_countryWeightTotal)));
        for (const Country& country : m_countries) {
            if (roll < country.weight)
                return country;
            roll -= country.weight;
        }
        return m_countries.front();
    }

    void appendPackaging(QByteArray& out, const KindDef& def, bool none) {
        if (none) {
            out += "0;0;0;0.000;0.0000";
            return;
        }
        const std::vector<Packaging>& choices = packagingsFor(def.packing);
        const Packaging& p = choices[m_rng.below(choices.size())];
        appendInt(out, p.st1);
        out += ';';
        appendInt(out, p.st2);
        out += ';';
        appendInt(out, p.st3);
        out += ';';
        if (m_rng.chance(20)) { // standards known, box not weighed yet
            out += "0.000;0.0000";
            return;
        }
        const qint64 grams =
            static_cast<qint64>(p.st3) * def.grams * m_rng.between(95, 105) / 100 + m_rng.between(80, 600);
        appendFixed(out, grams, 3);
        out += ';';
        const qint64 cubicCm = static_cast<qint64>(p.st3) * def.cubicCm * m_rng.between(110, 130) / 100;
        appendFixed(out, std::max<qint64>(1, (cubicCm + 50) / 100), 4); // in 100 cm3, the fourth decimal of m3
    }

    void appendGroups(QByteArray& out, const Kind& kind, Quirk quirk) {
        int roll = static_cast<int>(m_rng.below(1000));
        if (quirk == GroupZero)
            roll = 0;
        else if (quirk == SubgroupZero)
            roll = 5;
        else if (quirk == MissingGroup)
            roll = 15;
        else if (quirk == MissingSubgroup)
            roll = 17;
        else if (quirk != NoQuirk)
            roll = 999;
        if (roll < 5) { // not classified at all
            out += "0;0";
        } else if (roll < 15) { // sold straight from the group
            appendInt(out, kind.groupId);
            out += ";0";
        } else if (roll < 17) { // classifier lags behind the price list
            appendInt(out, kMissingGroupId);
            out += ';';
            appendInt(out, m_rng.chance(500) ? 0 : 100 * kMissingGroupId + kMissingSubgroupOffset);
        } else if (roll < 19) {
            appendInt(out, kind.groupId);
            out += ';';
            appendInt(out, 1000 * (kind.group + 1) + kMissingSubgroupOffset);
        } else {
            appendInt(out, kind.groupId);
            out += ';';
            appendInt(out, kind.subgroupId);
        }
    }

    void appendBarcode(QByteArray& out, int index, const Country& country) {
        // 3^18 is prime to 10^9, so distinct products get distinct item numbers.
        const quint64 item = (static_cast<quint64>(index) * 387420489ULL + m_barcodeOffset) % 1'000'000'000ULL;
        const int prefix = country.barcodePrefixes[m_rng.below(country.barcodePrefixes.size())];
        char digits[13];
        const qsizetype start = out.size();
        appendPadded(out, static_cast<quint64>(prefix), 3);
        appendPadded(out, item, 9);
        std::copy_n(out.constData() + start, 12, digits);
        out += static_cast<char>('0' + ean13CheckDigit(digits));
    }

    Options m_options;
    Rng m_rng;
    NameWords m_words;
    QList<QByteArray> m_tradeMarks;
    QList<QByteArray> m_sellingPoints;
    QList<QByteArray> m_cyrillicPrefixes;
    std::vector<Country> m_countries;
    int m_countryWeightTotal = 0;
    std::vector<Kind> m_kinds;
    std::vector<int> m_kindWeightEnds;
    int m_kindWeightTotal = 0;
    std::vector<int> m_expensiveKinds;
    quint64 m_barcodeOffset = 0;
    qint64 m_nextId = 1;
    qint64 m_nextKCode = 10000;
    qint64 m_nextBCode = 10000;
    qint64 m_nextDigitCode = 300000;
    QByteArray m_name;
};

} // namespace

Counts generateCatalog(const Options& options, QIODevice& price, QIODevice& classes) {
    if (options.products < kMinProducts || options.products > kMaxProducts)
        throw AppError(QStringLiteral("Число товаров должно быть от %1 до %2, задано %3")
                           .arg(kMinProducts)
                           .arg(kMaxProducts)
                           .arg(options.products));
    Generator generator(options);
    Sink priceSink(price, kPriceFileName);
    generator.writePrice(priceSink);
    Sink classSink(classes, kClassFileName);
    const int entries = generator.writeClasses(classSink);
    return {options.products, entries};
}

Counts writeCatalogFiles(const Options& options, const QString& dir) {
    if (!QDir().mkpath(dir))
        throw AppError(QStringLiteral("Не удалось создать папку «%1»").arg(dir));
    QSaveFile price(QDir(dir).filePath(kPriceFileName));
    QSaveFile classes(QDir(dir).filePath(kClassFileName));
    for (QSaveFile* file : {&price, &classes}) {
        if (!file->open(QIODevice::WriteOnly))
            throw AppError(
                QStringLiteral("Не удалось открыть файл «%1»: %2").arg(file->fileName(), file->errorString()));
    }
    const Counts counts = generateCatalog(options, price, classes);
    for (QSaveFile* file : {&price, &classes}) {
        if (!file->commit())
            throw AppError(
                QStringLiteral("Не удалось записать файл «%1»: %2").arg(file->fileName(), file->errorString()));
    }
    return counts;
}

} // namespace CatalogGen
