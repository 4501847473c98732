#include "QtPrompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace {

QWidget* owner() { return QApplication::activeWindow(); }

// "Описание (*.xls)|*.XLS" pairs become Qt's "Описание (*.xls *.XLS)" entries.
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i];
        const QString patterns = parts[i + 1];
        if (!caption.contains(QLatin1Char('(')))
            caption += QStringLiteral(" (%1)").arg(patterns);
        else if (!caption.contains(patterns, Qt::CaseSensitive))
            caption.replace(QLatin1Char(')'), QLatin1Char(' ') + patterns + QLatin1Char(')'));
        entries << caption;
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace

void QtPrompts::error(const QString& text) { QMessageBox::critical(owner(), QStringLiteral("Ошибка"), text); }

void QtPrompts::information(const QString& text) {
    QMessageBox::information(owner(), QStringLiteral("Информация"), text);
}

bool QtPrompts::confirm(const QString& text) {
    return QMessageBox::question(owner(), QStringLiteral("Подтверждение"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

QString QtPrompts::chooseFolder(const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner(), title, startFolder);
}

QString QtPrompts::chooseSaveFile(const QString& title, const QString& filter, const QString& fileName) {
    return QFileDialog::getSaveFileName(owner(), title, fileName, qtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool QtDesktop::openDocument(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

bool QtDesktop::startProgram(const QString& path) { return QProcess::startDetached(path, {}); }
