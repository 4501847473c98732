#pragma once

#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QMainWindow>

#include <memory>

class Desktop;
class Prompts;
class QCheckBox;
class QFrame;
class QProgressBar;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTableView;
class CatalogBrowser;
class DataGrid;
class ExchangeDesk;
class OrderDesk;
class TcsExchange;
class UpdateCommands;
class TAppKolForm;
class TAppOpenForm;
class QToolBar;
class QToolButton;
class QTreeView;
class StatusLine;
class TAppConfigForm;
class TAppSplashForm;

// The main window: the hub that owns every working table and the browsing and entry state, and the
// start-up that brings settings, tables, group tree and exchange up before it shows.
class TAppMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs the whole start-up (FormCreate) with its texts on the splash's status line.
    TAppMainForm(StatusLine& splashStatus, Prompts& prompts, Desktop& desktop, QWidget* parent = nullptr);
    ~TAppMainForm() override;

    // Creates the other windows, once, hidden; the first activation finds them all.
    void createDialogs();
    // Start-up asked for the end of the program (missing tables, hand-off to a newer program file).
    bool terminationRequested() const { return m_terminate; }

    TZarenOptions& options() { return Options; }
    bool& firstRun() { return FirstRun; }
    WorkingTables& tables() { return Tables; }
    const QString& helpFile() const { return m_helpFile; }
    TAppConfigForm* configForm() const { return AppConfigForm; }
    CatalogBrowser& browser() const { return *Browser; }
    OrderDesk& orders() const { return *Orders; }
    ExchangeDesk& exchange() const { return *Exchange; }
    UpdateCommands& updates() const { return *Updates; }
    TcsExchange* csExchang() const;
    // The splash window, shown again over the main window while a price update rebuilds the catalogue.
    void setSplashForm(QWidget* splash);

    void setExchangePanelVisible(bool visible);
    bool exchangePanelVisible() const;

    // Switches the order grid between dialog entry (read-only, whole rows) and entry in place.
    void setOrderGridMode(bool byWindow);

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void SpeedButton4Click();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void ApplicationHelp();
    void Splitter1CanResize(QSplitter* splitter, int& newSize, bool& accept);
    void Splitter2CanResize(QSplitter* splitter, int& newSize, bool& accept);
    // The order: new, save, archive, discount.
    void SpeedButton1Click();
    void SpeedButton3Click();
    void SpeedButton2Click();
    void SpeedButton6Click();
    void eProcChange();

    // Data exchange: the component, its panel and the update commands.
    void SetupExchange();
    void csExchangcsMessage(const QString& Msg);
    void btnGetNewPriceClick();
    void btnGetNewPicturesClick();
    void btnGetOnePictureClick();
    void btnExchangeCancelClick();

    void BuildGroupTree();
    void ResetPriceSort();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildToolBar();
    void buildCentralArea();
    QWidget* buildTreePane();
    QWidget* buildPricePane();
    QWidget* buildCardPane();
    QWidget* buildOrderPane();
    void chooseHelpFile();
    bool handOff();
    void requestTermination();
    void fitToWorkArea();
    void setPriceColumnTitles();
    void createCatalogBrowser();
    void createOrderDesk();
    void createExchangeDesk();

    TZarenOptions Options;
    bool FirstRun = false;
    WorkingTables Tables;
    // Group tree, price filter/search/sort and product card; goes before the tables it follows.
    std::unique_ptr<CatalogBrowser> Browser;
    // The current order, quantity entry and the archive; likewise before the tables.
    std::unique_ptr<OrderDesk> Orders;
    // The exchange component with its panel, and the update commands; they use the two above.
    std::unique_ptr<ExchangeDesk> Exchange;
    std::unique_ptr<UpdateCommands> Updates;
    StatusLine& m_status;
    Prompts& m_prompts;
    Desktop& m_desktop;
    QString m_helpFile;
    bool m_terminate = false;
    bool m_shown = false;
    QAction* m_exchangePanelAction = nullptr;

public:
    // Components, under the names the rest of the program and the tests know them by.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* btnGetNewPrice = nullptr;
    QToolButton* btnGetNewPictures = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QToolButton* SpeedButton8 = nullptr;
    QToolButton* SpeedButton9 = nullptr;
    QFrame* pnlExchange = nullptr;
    QLabel* lblcsMsg = nullptr;
    QProgressBar* pbExchange = nullptr;
    QPushButton* btnExchangeCancel = nullptr;
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* pTree = nullptr;
    QTreeView* vdtGroupsTree = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QWidget* pPrice = nullptr;
    DataGrid* DBGridEh1 = nullptr;
    QWidget* pSearch = nullptr;
    QLineEdit* SerchText = nullptr;
    QCheckBox* chbOnlyNew = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel4 = nullptr;
    QLabel* ImageNull = nullptr;
    QWidget* Panel5 = nullptr;
    QPushButton* btnGetOnePicture = nullptr;
    QWidget* pZakaz = nullptr;
    DataGrid* grdZakaz = nullptr;
    QWidget* pZakazInfo = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* eProc = nullptr;
    QLabel* Label3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    TAppConfigForm* AppConfigForm = nullptr;
    TAppKolForm* AppKolForm = nullptr;
    TAppOpenForm* AppOpenForm = nullptr;
};
