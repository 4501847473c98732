#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class CatalogBrowser;
class DataGrid;
class DatasetModel;
class ExchangeDesk;
class OrderDesk;
class Prompts;
class QCheckBox;
class QLineEdit;
class StatusLine;
class WorkingTables;
struct TZarenOptions;

// The main window's components that the update commands use besides the browser's and the orders'.
struct UpdateWidgets {
    DataGrid* DBGridEh1 = nullptr;
    QLineEdit* SerchText = nullptr;
    QCheckBox* chbOnlyNew = nullptr;
};

// "Обновить данные", "Обновить изображения" and "<Загрузить изображение>": what each asks of the
// exchange component, and how the price update takes the catalogue down around the import and
// brings it back.
class UpdateCommands {
public:
    UpdateCommands(ExchangeDesk& exchange, CatalogBrowser& browser, OrderDesk& orders, WorkingTables& tables,
                   const TZarenOptions& options, StatusLine& status, Prompts& prompts, const UpdateWidgets& widgets);

    // The splash window, shown over the main window while the catalogue is rebuilt; none in tests
    // that do not look at it.
    void setSplashForm(QWidget* splash) { m_splash = splash; }

    void btnGetNewPriceClick();
    void btnGetNewPicturesClick();
    void btnGetOnePictureClick();

    // The price update after a successful download: checks the import files, starts a new order,
    // takes the catalogue down, imports, reloads, rebuilds the tree and shows the new products.
    // An error on the way brings the previous catalogue back from its files and passes on.
    void importDownloadedPrice();

private:
    void showSplash();
    void closeSplash();
    void tearDownCatalogue();
    void detachGrid();
    void attachGrid();
    void reopenPrice();
    void resetBrowsing();
    void tickOnlyNew();
    void restorePreviousCatalogue() noexcept;

    ExchangeDesk& m_exchange;
    CatalogBrowser& m_browser;
    OrderDesk& m_orders;
    WorkingTables& m_tables;
    const TZarenOptions& m_options;
    StatusLine& m_status;
    Prompts& m_prompts;
    UpdateWidgets w;
    QPointer<QWidget> m_splash;

    // What the teardown has done, so that a failure undoes exactly that.
    bool m_tornDown = false;
    bool m_priceHeld = false; // Price's views are held back
    DatasetModel* m_detachedModel = nullptr;
    QList<int> m_columnWidths;
};
