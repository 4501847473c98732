// Program entry. Until the main window exists, start-up runs as far as preparing the data and
// reports on the console what it did.
#include "Error.h"
#include "Prompts.h"
#include "Settings.h"
#include "StatusLine.h"
#include "WorkingTables.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

class ConsoleStatus final : public StatusLine {
public:
    void setStatus(const QString& text) override {
        flush();
        m_line = text;
    }
    void appendStatus(const QString& text) override { m_line += text; }
    void flush() {
        if (!m_line.isEmpty())
            QTextStream(stdout) << m_line << Qt::endl;
        m_line.clear();
    }

private:
    QString m_line;
};

class ConsolePrompts final : public Prompts {
public:
    void error(const QString& text) override { QTextStream(stderr) << "Ошибка: " << text << Qt::endl; }
    void information(const QString& text) override { QTextStream(stdout) << text << Qt::endl; }
    bool confirm(const QString& text) override {
        QTextStream(stdout) << text << " — нет" << Qt::endl;
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    ConsoleStatus status;
    ConsolePrompts prompts;
    try {
        TZarenOptions options;
        bool firstRun = false;
        status.setStatus(QStringLiteral("Инициализация настроек..."));
        InitPaths(options, firstRun);
        status.setStatus(QStringLiteral("Инициализация данных..."));
        WorkingTables tables;
        const bool ok = InitData(tables, options, status, prompts);
        status.flush();
        if (!ok)
            return 1;
        QTextStream out(stdout);
        out << "Рабочий каталог: " << options.WorkDir << (firstRun ? " (первый запуск)" : "") << Qt::endl
            << "Товаров в прайсе: " << tables.Price.recordCount() << Qt::endl
            << "Групп и подгрупп: " << tables.GroupsTree.recordCount() << Qt::endl
            << "Заказов в архиве: " << tables.Main.recordCount() << Qt::endl;
    } catch (const AppError& e) {
        status.flush();
        prompts.error(e.message());
        return 1;
    }
    return 0;
}
