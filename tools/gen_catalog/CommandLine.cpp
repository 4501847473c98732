#include "CommandLine.h"

namespace CatalogGen {

QString usageText() {
    return QStringLiteral("Использование: tavrel-gen-catalog --products N --out ПАПКА [--seed S]\n"
                          "  --products N  число товаров, от %1 до %2\n"
                          "  --out ПАПКА   куда записать %3 и %4 (папка создаётся)\n"
                          "  --seed S      начальное число, десятичное или 0x..., по умолчанию %5;\n"
                          "                одно и то же число даёт одни и те же файлы\n")
        .arg(kMinProducts)
        .arg(kMaxProducts)
        .arg(kPriceFileName, kClassFileName)
        .arg(kDefaultSeed);
}

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine result;
    bool haveProducts = false;
    bool haveOut = false;
    auto fail = [&result](const QString& message) {
        result.error = message;
        return result;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        bool inlineValue = false;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            result.help = true;
            return result;
        }
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            inlineValue = true;
        }
        if (name != QLatin1String("--products") && name != QLatin1String("--out") && name != QLatin1String("--seed"))
            return fail(QStringLiteral("Неизвестный параметр «%1»").arg(arguments[i]));
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("После %1 нужно значение").arg(name));
            value = arguments[++i];
        }

        if (name == QLatin1String("--products")) {
            bool ok = false;
            const qlonglong n = value.toLongLong(&ok);
            if (!ok || n < kMinProducts || n > kMaxProducts)
                return fail(QStringLiteral("Число товаров должно быть целым от %1 до %2, задано «%3»")
                                .arg(kMinProducts)
                                .arg(kMaxProducts)
                                .arg(value));
            result.options.products = static_cast<int>(n);
            haveProducts = true;
        } else if (name == QLatin1String("--out")) {
            if (value.isEmpty())
                return fail(QStringLiteral("Папка для --out не задана"));
            result.outDir = value;
            haveOut = true;
        } else {
            bool ok = false;
            const bool hex = value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
            const qulonglong seed = hex ? value.mid(2).toULongLong(&ok, 16) : value.toULongLong(&ok, 10);
            if (!ok)
                return fail(QStringLiteral("Начальное число должно быть целым без знака, задано «%1»").arg(value));
            result.options.seed = seed;
        }
    }
    if (!haveProducts)
        return fail(QStringLiteral("Не задано число товаров (--products)"));
    if (!haveOut)
        return fail(QStringLiteral("Не задана папка (--out)"));
    return result;
}

} // namespace CatalogGen
