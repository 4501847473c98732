#include "UpdateCommands.h"

#include "CatalogBrowser.h"
#include "DataGrid.h"
#include "Error.h"
#include "ErrorReporter.h"
#include "ExchangeDesk.h"
#include "GroupTree.h"
#include "OrderDesk.h"
#include "PictureName.h"
#include "PriceImport.h"
#include "Prompts.h"
#include "StatusLine.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"
#include "csExchange.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

// A product code that would lead the download out of the picture folder is not fetched.
bool staysInFolder(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1String(".."));
}

} // namespace

UpdateCommands::UpdateCommands(ExchangeDesk& exchange, CatalogBrowser& browser, OrderDesk& orders,
                               WorkingTables& tables, const TZarenOptions& options, StatusLine& status,
                               Prompts& prompts, const UpdateWidgets& widgets)
    : m_exchange(exchange), m_browser(browser), m_orders(orders), m_tables(tables), m_options(options),
      m_status(status), m_prompts(prompts), w(widgets) {}

// ---- the three commands ----------------------------------------------------------------------------

void UpdateCommands::btnGetNewPriceClick() {
    if (m_exchange.transferRunning() || m_exchange.closing())
        return;
    m_exchange.SetupExchange();
    const std::optional<bool> downloaded = m_exchange.run([](TcsExchange& x) { return x.GetNewPrice(); });
    if (!downloaded || m_exchange.closing())
        return;
    if (!*downloaded) {
        m_prompts.information(QStringLiteral("Не удается получить новый прайс из Интернета"));
        return;
    }
    importDownloadedPrice();
}

void UpdateCommands::btnGetNewPicturesClick() {
    const std::optional<bool> ran = m_exchange.run([](TcsExchange& x) { return x.GetNewPictures(); });
    if (ran && !m_exchange.closing())
        m_browser.PriceAfterScroll(); // a picture fetched for the current product shows at once
}

void UpdateCommands::btnGetOnePictureClick() {
    const Table& price = m_tables.Price;
    if (price.active() && price.recNo() >= 0 && price.value(u"ID").toInt() > 0) {
        // The name the product card looks for.
        const QString name = PictureFileName(price.value(u"CODE").toString().trimmed());
        if (staysInFolder(name))
            m_exchange.run([&name](TcsExchange& x) { return x.GetOnePicture(name); });
        else
            ErrorReporter::log(QStringLiteral("Изображение «%1» не загружено: имя ведёт за пределы папки").arg(name));
    }
    if (!m_exchange.closing())
        m_browser.PriceAfterScroll();
}

// ---- the price update after the download ---------------------------------------------------------

void UpdateCommands::importDownloadedPrice() {
    const QString& dir = m_options.WorkDir;
    if (!QFileInfo::exists(dir + m_options.ExportPriceFile) || !QFileInfo::exists(dir + m_options.ExportClassFile)) {
        m_prompts.information(QStringLiteral("Файлы импорта не найдены. Импорт остановлен"));
        return;
    }
    showSplash();
    try {
        // Order lines never pass into the new catalogue.
        m_orders.SpeedButton1Click();
        tearDownCatalogue();
        m_status.setStatus(QStringLiteral("Инициализация данных"));
        ImportPrice(m_tables, m_options, m_status, m_prompts);
        m_orders.order().qPrice.close();
        m_tables.fPrice.close();
        detachGrid();
        LoadTables(m_tables, m_options, m_status, m_prompts);
        m_status.setStatus(QStringLiteral("Инициализация классификатора"));
        m_browser.BuildGroupTree();
        reopenPrice();
        w.DBGridEh1->setFocus();
        resetBrowsing();
    } catch (...) {
        restorePreviousCatalogue();
        throw;
    }
    m_tornDown = false;
    closeSplash();
    tickOnlyNew();
}

void UpdateCommands::showSplash() {
    if (!m_splash)
        return;
    m_splash->show(); // it stays on top by itself
    // Once, so that it is on screen: the rebuild processes no window messages.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_status.setStatus(QString());
}

void UpdateCommands::closeSplash() {
    if (m_splash)
        m_splash->hide();
}

void UpdateCommands::tearDownCatalogue() {
    m_tornDown = true;
    Table& classifier = m_tables.GroupsTree;
    classifier.close();
    classifier.emptyTable();
    m_browser.groupTreeModel()->clear();
    Table& tree = m_tables.tr2;
    tree.close();
    tree.emptyTable();
    // The grid follows Price again only when the new catalogue is in.
    Table& price = m_tables.Price;
    if (!m_priceHeld) {
        price.disableControls();
        m_priceHeld = true;
    }
    price.close();
    Query& groups = m_browser.qGroupsTree;
    groups.close();
    groups.setSql(QStringLiteral("delete from class"));
    groups.execSql();
    m_tables.fPrice.close();
    detachGrid();
    price.emptyTable();
}

void UpdateCommands::detachGrid() {
    DataGrid* grid = w.DBGridEh1;
    if (m_detachedModel || !grid->datasetModel())
        return;
    m_detachedModel = grid->datasetModel();
    m_columnWidths.clear();
    for (int c = 0; c < m_detachedModel->columnCount(); ++c)
        m_columnWidths << grid->columnWidth(c);
    grid->setDatasetModel(nullptr);
}

void UpdateCommands::attachGrid() {
    if (!m_detachedModel)
        return;
    DataGrid* grid = w.DBGridEh1;
    grid->setDatasetModel(m_detachedModel);
    m_detachedModel = nullptr;
    // The user's column widths outlast the update.
    for (int c = 0; c < m_columnWidths.size() && c < grid->datasetModel()->columnCount(); ++c)
        grid->setColumnWidth(c, m_columnWidths[c]);
}

void UpdateCommands::reopenPrice() {
    m_tables.Price.open();
    if (m_priceHeld) {
        m_priceHeld = false;
        m_tables.Price.enableControls();
    }
    m_tables.fPrice.open();
    attachGrid();
}

void UpdateCommands::resetBrowsing() {
    m_browser.ResetPriceSort();
    w.SerchText->clear();
    m_browser.CurrentPictureFile.clear();
    m_tables.Price.setFilter(QString());
    m_tables.Price.setFiltered(true);
    m_browser.selectFirstTreeNode();
}

void UpdateCommands::tickOnlyNew() {
    // The condition is applied once, whether the box was ticked before or not.
    {
        const QSignalBlocker quiet(w.chbOnlyNew);
        w.chbOnlyNew->setChecked(true);
    }
    m_browser.chbOnlyNewClick();
}

// The import leaves the table files as they were when it fails, so the catalogue the user had comes
// back from them; the window is usable again before the error is reported.
void UpdateCommands::restorePreviousCatalogue() noexcept {
    const auto attempt = [](const auto& step) {
        try {
            step();
        } catch (const AppError& e) {
            ErrorReporter::log(e.message());
        } catch (const std::exception& e) {
            ErrorReporter::log(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            ErrorReporter::log(QStringLiteral("Неизвестная ошибка при восстановлении каталога"));
        }
    };
    if (m_tornDown) {
        m_tornDown = false;
        attempt([this] {
            m_orders.order().qPrice.close();
            m_tables.Price.close();
            m_tables.fPrice.close();
            LoadTables(m_tables, m_options, m_status, m_prompts);
        });
        attempt([this] { m_browser.BuildGroupTree(); });
        attempt([this] { reopenPrice(); });
        attempt([this] {
            if (m_priceHeld) {
                m_priceHeld = false;
                m_tables.Price.enableControls();
            }
            attachGrid();
        });
        attempt([this] {
            resetBrowsing();
            // The list agrees with the box again.
            if (w.chbOnlyNew->isChecked())
                m_browser.chbOnlyNewClick();
        });
    }
    attempt([this] { closeSplash(); });
}
