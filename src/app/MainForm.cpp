#include "MainForm.h"

#include "Artwork.h"
#include "CatalogBrowser.h"
#include "ConfigForm.h"
#include "DataGrid.h"
#include "Desktop.h"
#include "Error.h"
#include "ErrorReporter.h"
#include "ExchangeDesk.h"
#include "HandOff.h"
#include "KolForm.h"
#include "OpenForm.h"
#include "OrderDesk.h"
#include "Prompts.h"
#include "Settings.h"
#include "SplitterBar.h"
#include "StatusLine.h"
#include "UpdateCommands.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDoubleValidator>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kHandOffProgram = QStringLiteral("Prixel.exe");
const QString kHelpFile = QStringLiteral("TavrelCatalog.chm");
const QString kDownloadedHelpFile = QStringLiteral("ZarenCatalog.chm");

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& hint, const char* art) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    b->setAutoRaise(true);
    b->setFixedSize(54, 56);
    b->setIconSize(QSize(40, 40));
    b->setIcon(Artwork::icon(QLatin1String(art), QSize(40, 40)));
    b->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(b);
    return b;
}

QLabel* label(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

TAppMainForm::TAppMainForm(StatusLine& splashStatus, Prompts& prompts, Desktop& desktop, QWidget* parent)
    : QMainWindow(parent), m_status(splashStatus), m_prompts(prompts), m_desktop(desktop) {
    setObjectName(QStringLiteral("AppMainForm"));
    setWindowTitle(QStringLiteral("Сервис Таврел. Электронный каталог"));
    resize(1024, 776);
    setMinimumSize(1024, 728);
    setMaximumWidth(2048);
    buildToolBar();
    buildCentralArea();
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    FormCreate();
}

TAppMainForm::~TAppMainForm() = default;

void TAppMainForm::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(63);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    SpeedButton1 = toolButton(ToolBar1, "SpeedButton1", QStringLiteral("Новый заказ"), "new-order");
    SpeedButton3 = toolButton(ToolBar1, "SpeedButton3", QStringLiteral("Сохранить заказ в архив"), "save-order");
    SpeedButton2 = toolButton(ToolBar1, "SpeedButton2", QStringLiteral("Архив заказов"), "archive");
    SpeedButton6 = toolButton(ToolBar1, "SpeedButton6", QStringLiteral("Экспорт заказа в MS Excel"), "export-excel");
    ToolBar1->addSeparator();
    btnGetNewPrice = toolButton(ToolBar1, "btnGetNewPrice", QStringLiteral("Обновить данные"), "update-data");
    btnGetNewPictures = toolButton(ToolBar1, "btnGetNewPictures", QStringLiteral("Обновить изображения"), "update-pictures");
    ToolBar1->addSeparator();
    SpeedButton4 = toolButton(ToolBar1, "SpeedButton4", QStringLiteral("Настройки"), "settings");
    SpeedButton7 = toolButton(ToolBar1, "SpeedButton7", QStringLiteral("Вкл/Выкл информации о товаре"), "product-card");
    SpeedButton7->setCheckable(true);
    SpeedButton8 = toolButton(ToolBar1, "SpeedButton8", QStringLiteral("Помощь"), "help");
    SpeedButton9 = toolButton(ToolBar1, "SpeedButton9", QStringLiteral("Выход из программы"), "exit");

    pnlExchange = new QFrame(ToolBar1);
    pnlExchange->setObjectName(QStringLiteral("pnlExchange"));
    pnlExchange->setFrameShape(QFrame::Panel);
    pnlExchange->setFrameShadow(QFrame::Sunken);
    pnlExchange->setFixedSize(311, 56);
    auto* exchangeLayout = new QHBoxLayout(pnlExchange);
    // The label's 221 pixels and the Stop button fill the panel's 311.
    exchangeLayout->setContentsMargins(4, 1, 3, 1);
    exchangeLayout->setSpacing(3);
    auto* statusColumn = new QVBoxLayout;
    statusColumn->setSpacing(1);
    lblcsMsg = label("lblcsMsg", QString(), pnlExchange);
    lblcsMsg->setFixedSize(221, 40);
    lblcsMsg->setWordWrap(true);
    lblcsMsg->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont small = lblcsMsg->font();
    small.setPointSize(8); // three lines in the label's height
    lblcsMsg->setFont(small);
    pbExchange = new QProgressBar(pnlExchange);
    pbExchange->setObjectName(QStringLiteral("pbExchange"));
    pbExchange->setAccessibleName(QStringLiteral("Ход загрузки файла"));
    pbExchange->setFixedSize(221, 8);
    statusColumn->addWidget(lblcsMsg);
    statusColumn->addWidget(pbExchange);
    btnExchangeCancel = new QPushButton(QStringLiteral("Остановить"), pnlExchange);
    btnExchangeCancel->setObjectName(QStringLiteral("btnExchangeCancel"));
    btnExchangeCancel->setToolTip(QStringLiteral("Остановить загрузку"));
    btnExchangeCancel->setAccessibleName(QStringLiteral("Остановить"));
    btnExchangeCancel->setEnabled(false);
    exchangeLayout->addLayout(statusColumn);
    exchangeLayout->addWidget(btnExchangeCancel);
    m_exchangePanelAction = ToolBar1->addWidget(pnlExchange);
    setExchangePanelVisible(false);

    connect(SpeedButton4, &QToolButton::clicked, this, &TAppMainForm::SpeedButton4Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TAppMainForm::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TAppMainForm::SpeedButton8Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TAppMainForm::SpeedButton9Click);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &TAppMainForm::ApplicationHelp);
}

void TAppMainForm::setExchangePanelVisible(bool visible) {
    // A widget in a tool bar is shown and hidden through its action.
    m_exchangePanelAction->setVisible(visible);
}

bool TAppMainForm::exchangePanelVisible() const { return m_exchangePanelAction->isVisible(); }

void TAppMainForm::buildCentralArea() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* split1 = new SplitterBar(Qt::Vertical, true, central);
    Splitter1 = split1;
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    auto* split2 = new SplitterBar(Qt::Horizontal, false, Splitter1);
    Splitter2 = split2;
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->addWidget(buildTreePane());
    Splitter2->addWidget(buildPricePane());
    Splitter2->setStretchFactor(1, 1);
    Splitter1->addWidget(Splitter2);
    Splitter1->addWidget(buildOrderPane());
    Splitter1->setStretchFactor(0, 1);
    split1->setCanResize([this](QSplitter* s, int& size, bool& accept) { Splitter1CanResize(s, size, accept); });
    split2->setCanResize([this](QSplitter* s, int& size, bool& accept) { Splitter2CanResize(s, size, accept); });
    // The bars' own minimum sizes.
    pTree->setMinimumWidth(195);
    pZakaz->setMinimumHeight(150);
    Splitter2->setSizes({229, 795});
    Splitter1->setSizes({470, 239});
    layout->addWidget(Splitter1);
    setCentralWidget(central);
}

QWidget* TAppMainForm::buildTreePane() {
    pTree = new QWidget;
    pTree->setObjectName(QStringLiteral("pTree"));
    auto* layout = new QVBoxLayout(pTree);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->setSpacing(2);
    vdtGroupsTree = new QTreeView(pTree);
    vdtGroupsTree->setObjectName(QStringLiteral("vdtGroupsTree"));
    vdtGroupsTree->setAccessibleName(QStringLiteral("Группы товаров"));
    vdtGroupsTree->setHeaderHidden(true);
    vdtGroupsTree->setUniformRowHeights(true);
    CheckBox1 = new QCheckBox(QStringLiteral("Сохранять фильтр дерева"), pTree);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setAccessibleName(CheckBox1->text());
    CheckBox1->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(vdtGroupsTree, 1);
    layout->addWidget(CheckBox1);
    return pTree;
}

QWidget* TAppMainForm::buildPricePane() {
    pPrice = new QWidget;
    pPrice->setObjectName(QStringLiteral("pPrice"));
    auto* row = new QHBoxLayout(pPrice);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    DBGridEh1 = new DataGrid(pPrice);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setAccessibleName(QStringLiteral("Прайс-лист"));
    DBGridEh1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGridEh1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridEh1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridEh1->verticalHeader()->setDefaultSectionSize(18);
    pSearch = new QWidget(pPrice);
    pSearch->setObjectName(QStringLiteral("pSearch"));
    auto* search = new QHBoxLayout(pSearch);
    search->setContentsMargins(4, 3, 4, 3);
    auto* searchLabel = new QLabel(QStringLiteral("Поиск:"), pSearch);
    SerchText = new QLineEdit(pSearch);
    SerchText->setObjectName(QStringLiteral("SerchText"));
    SerchText->setAccessibleName(QStringLiteral("Поиск"));
    SerchText->setToolTip(QStringLiteral("Для поиска по частям слова используйте символ <*>. Пример: Ручка*2001"));
    SerchText->setFocusPolicy(Qt::ClickFocus);
    searchLabel->setBuddy(SerchText);
    chbOnlyNew = new QCheckBox(QStringLiteral("Только новинки"), pSearch);
    chbOnlyNew->setObjectName(QStringLiteral("chbOnlyNew"));
    chbOnlyNew->setAccessibleName(chbOnlyNew->text());
    chbOnlyNew->setFocusPolicy(Qt::NoFocus);
    search->addWidget(searchLabel);
    search->addWidget(SerchText, 1);
    search->addSpacing(8);
    search->addWidget(chbOnlyNew);
    column->addWidget(DBGridEh1, 1);
    column->addWidget(pSearch);
    row->addLayout(column, 1);
    row->addWidget(buildCardPane());
    return pPrice;
}

QWidget* TAppMainForm::buildCardPane() {
    Panel2 = new QWidget;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(250);
    auto* layout = new QVBoxLayout(Panel2);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->setSpacing(0);
    Panel4 = new QWidget(Panel2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(248);
    Panel4->setAutoFillBackground(true);
    QPalette white = Panel4->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel4->setPalette(white);
    auto* pictureLayout = new QVBoxLayout(Panel4);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    ImageNull = new QLabel(Panel4);
    ImageNull->setObjectName(QStringLiteral("ImageNull"));
    ImageNull->setAlignment(Qt::AlignCenter);
    ImageNull->setPixmap(Artwork::pixmap(QStringLiteral("image-null"), QSize(200, 200)));
    pictureLayout->addWidget(ImageNull);
    Panel5 = new QWidget(Panel2);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto* details = new QVBoxLayout(Panel5);
    details->setContentsMargins(4, 4, 4, 4);
    btnGetOnePicture = new QPushButton(QStringLiteral("<Загрузить изображение>"), Panel5);
    btnGetOnePicture->setObjectName(QStringLiteral("btnGetOnePicture"));
    btnGetOnePicture->setAccessibleName(QStringLiteral("Загрузить изображение"));
    btnGetOnePicture->setFlat(true);
    details->addWidget(btnGetOnePicture);
    details->addStretch(1);
    layout->addWidget(Panel4);
    layout->addWidget(Panel5, 1);
    return Panel2;
}

QWidget* TAppMainForm::buildOrderPane() {
    pZakaz = new QWidget;
    pZakaz->setObjectName(QStringLiteral("pZakaz"));
    auto* layout = new QVBoxLayout(pZakaz);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    grdZakaz = new DataGrid(pZakaz);
    grdZakaz->setObjectName(QStringLiteral("grdZakaz"));
    grdZakaz->setAccessibleName(QStringLiteral("Текущий заказ"));
    grdZakaz->verticalHeader()->setDefaultSectionSize(18);
    pZakazInfo = new QWidget(pZakaz);
    pZakazInfo->setObjectName(QStringLiteral("pZakazInfo"));
    auto* info = new QHBoxLayout(pZakazInfo);
    info->setContentsMargins(6, 3, 6, 3);
    Label1 = label("Label1", QStringLiteral("Сумма заказа: 0.00 - 0.00 = 0.00"), pZakazInfo);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = label("Label2", QStringLiteral("Скидка:"), pZakazInfo);
    eProc = new QLineEdit(pZakazInfo);
    eProc->setObjectName(QStringLiteral("eProc"));
    eProc->setAccessibleName(QStringLiteral("Скидка"));
    eProc->setFixedWidth(60);
    eProc->setAlignment(Qt::AlignRight);
    auto* percent = new QDoubleValidator(0.0, 100.0, 2, eProc);
    percent->setNotation(QDoubleValidator::StandardNotation);
    percent->setLocale(QLocale::c());
    eProc->setValidator(percent);
    Label2->setBuddy(eProc);
    Label3 = label("Label3", QStringLiteral("%"), pZakazInfo);
    info->addWidget(Label1);
    info->addStretch(1);
    info->addWidget(Label2);
    info->addWidget(eProc);
    info->addWidget(Label3);
    layout->addWidget(grdZakaz, 1);
    layout->addWidget(pZakazInfo);
    return pZakaz;
}

void TAppMainForm::FormCreate() {
    createCatalogBrowser(); // the card's picture control, the tree's node records, the price columns
    createOrderDesk();
    createExchangeDesk();
    try {
        m_status.setStatus(QStringLiteral("Инициализация настроек..."));
        InitPaths(Options, FirstRun);
        ErrorReporter::setLogFolder(Options.WorkDir);
        chooseHelpFile();
        if (!handOff()) {
            m_status.setStatus(QStringLiteral("Инициализация данных..."));
            if (!InitData(Tables, Options, m_status, m_prompts))
                requestTermination();
            m_status.setStatus(QStringLiteral("Инициализация дерева групп/подгрупп..."));
            BuildGroupTree();
            m_status.setStatus(QStringLiteral("ЗАПУСК..."));
        }
        Panel2->setVisible(false);
        SetupExchange();
    } catch (const AppError& e) {
        // The rest of start-up is skipped; the window opens with what was done until then.
        ErrorReporter::report(e.message());
    }
}

void TAppMainForm::chooseHelpFile() {
    const QString downloaded = Options.WorkDir + kDownloadedHelpFile;
    const QString local = Options.WorkDir + kHelpFile;
    if (QFileInfo::exists(downloaded))
        m_helpFile = downloaded;
    else if (QFileInfo::exists(local))
        m_helpFile = local;
    else
        m_helpFile = programFolder() + kHelpFile;
}

// A newer program file left in the working folder by an update takes over the start. Returns true
// when it did, so this instance ends.
bool TAppMainForm::handOff() {
    const QString program = Options.WorkDir + kHandOffProgram;
    if (!QFileInfo::exists(program))
        return false;
    if (sameProgramFile(program, QCoreApplication::applicationFilePath()))
        return false;
    QString reason = whyNotRunnable(program);
    if (reason.isEmpty()) {
        QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
        if (m_desktop.startProgram(program)) {
            requestTermination();
            return true;
        }
        reason = QStringLiteral("программа не запустилась");
    }
    ErrorReporter::log(QStringLiteral("Новая версия программы «%1» не запущена: %2").arg(program, reason));
    return false;
}

void TAppMainForm::requestTermination() {
    m_terminate = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void TAppMainForm::createDialogs() {
    AppKolForm = new TAppKolForm(Orders->entry(), Orders->order(), this);
    Orders->entry().setKolForm(AppKolForm);
    AppConfigForm = new TAppConfigForm(Options, FirstRun, m_prompts, this);
    AppOpenForm = new TAppOpenForm(Orders->order(), Orders->archive(), Options, m_prompts, this);
    AppOpenForm->ExportOrder = [this](const QString& orgName, Dataset& lines) { Orders->ExportOrder(orgName, lines); };
    Browser->createBigImage();
    AppConfigForm->onOrderGridMode = [this](bool byWindow) {
        setOrderGridMode(byWindow);
        repaint();
    };
}

void TAppMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TAppMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TAppMainForm::FormShow() {
    SpeedButton7Click();
    SpeedButton7->setChecked(true);
}

void TAppMainForm::FormActivate() {
    fitToWorkArea();
    setPriceColumnTitles();
    setOrderGridMode(Options.IsInputKolByWindow > 0);
    if (FirstRun && AppConfigForm)
        AppConfigForm->exec();
    DBGridEh1->setFocus();
    ResetPriceSort();
    Browser->selectFirstTreeNode();
}

void TAppMainForm::fitToWorkArea() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    // On a screen smaller than the minimum size the window keeps that size from the top-left corner.
    const QSize size = area.size().expandedTo(minimumSize()).boundedTo(maximumSize());
    setGeometry(QRect(area.topLeft(), size));
}

void TAppMainForm::setPriceColumnTitles() { Browser->setPriceColumnTitles(); }

void TAppMainForm::createCatalogBrowser() {
    BrowserWidgets w;
    w.window = this;
    w.vdtGroupsTree = vdtGroupsTree;
    w.CheckBox1 = CheckBox1;
    w.DBGridEh1 = DBGridEh1;
    w.SerchText = SerchText;
    w.chbOnlyNew = chbOnlyNew;
    w.Panel2 = Panel2;
    w.Panel4 = Panel4;
    w.ImageNull = ImageNull;
    w.Panel5 = Panel5;
    w.btnGetOnePicture = btnGetOnePicture;
    w.eProc = eProc;
    Browser = std::make_unique<CatalogBrowser>(w, Tables, Options, m_status, m_prompts);
}

void TAppMainForm::setOrderGridMode(bool byWindow) { Orders->entry().setOrderGridMode(byWindow); }

void TAppMainForm::createOrderDesk() {
    Orders = std::make_unique<OrderDesk>(Tables, Options, m_prompts, m_desktop);
    Orders->attach({grdZakaz, Label1, eProc, DBGridEh1});
    Browser->quantityBeingTyped = [this] { return Orders->entry().IsKolEditInPrice; };
    Browser->onSearchEnter = [this] { Orders->entry().SerchTextKeyPress(QChar(13)); };
    connect(SpeedButton1, &QToolButton::clicked, this, &TAppMainForm::SpeedButton1Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TAppMainForm::SpeedButton3Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TAppMainForm::SpeedButton2Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TAppMainForm::SpeedButton6Click);
    connect(eProc, &QLineEdit::textChanged, this, &TAppMainForm::eProcChange);
}

void TAppMainForm::SpeedButton1Click() { Orders->SpeedButton1Click(); }

void TAppMainForm::SpeedButton3Click() { Orders->SpeedButton3Click(); }

void TAppMainForm::SpeedButton2Click() {
    if (AppOpenForm)
        AppOpenForm->exec();
}

void TAppMainForm::SpeedButton6Click() { Orders->SpeedButton6Click(); }

void TAppMainForm::eProcChange() { Orders->eProcChange(); }

void TAppMainForm::closeEvent(QCloseEvent* event) {
    // A transfer is cut off first; the window closes once it has ended.
    if (!Exchange->mayClose()) {
        event->ignore();
        return;
    }
    // Help goes with the window; the current order is not saved.
    m_helpFile.clear();
    QMainWindow::closeEvent(event);
}

void TAppMainForm::SpeedButton4Click() {
    if (AppConfigForm)
        AppConfigForm->exec();
    SetupExchange();
}

void TAppMainForm::SpeedButton7Click() { Browser->SpeedButton7Click(); }

void TAppMainForm::SpeedButton8Click() {
    if (!m_helpFile.isEmpty())
        m_desktop.openDocument(m_helpFile);
}

void TAppMainForm::ApplicationHelp() { SpeedButton8Click(); }

void TAppMainForm::SpeedButton9Click() { close(); }

void TAppMainForm::Splitter1CanResize(QSplitter*, int& newSize, bool& accept) {
    if (newSize < 210)
        accept = false;
}

void TAppMainForm::Splitter2CanResize(QSplitter*, int& newSize, bool& accept) {
    if (newSize < 200)
        accept = false;
}

void TAppMainForm::BuildGroupTree() { Browser->BuildGroupTree(); }

void TAppMainForm::createExchangeDesk() {
    ExchangeWidgets ew;
    ew.window = this;
    ew.pnlExchange = pnlExchange;
    ew.lblcsMsg = lblcsMsg;
    ew.pbExchange = pbExchange;
    ew.btnExchangeCancel = btnExchangeCancel;
    ew.btnGetNewPrice = btnGetNewPrice;
    ew.btnGetNewPictures = btnGetNewPictures;
    ew.btnGetOnePicture = btnGetOnePicture;
    ew.setPanelVisible = [this](bool visible) { setExchangePanelVisible(visible); };
    ew.panelVisible = [this] { return exchangePanelVisible(); };
    Exchange = std::make_unique<ExchangeDesk>(ew, Options, m_prompts);
    Updates = std::make_unique<UpdateCommands>(*Exchange, *Browser, *Orders, Tables, Options, m_status, m_prompts,
                                               UpdateWidgets{DBGridEh1, SerchText, chbOnlyNew});
    Browser->onGetOnePicture = [this] { btnGetOnePictureClick(); };
    connect(btnGetNewPrice, &QToolButton::clicked, this, &TAppMainForm::btnGetNewPriceClick);
    connect(btnGetNewPictures, &QToolButton::clicked, this, &TAppMainForm::btnGetNewPicturesClick);
    connect(btnExchangeCancel, &QPushButton::clicked, this, &TAppMainForm::btnExchangeCancelClick);
}

void TAppMainForm::setSplashForm(QWidget* splash) { Updates->setSplashForm(splash); }

TcsExchange* TAppMainForm::csExchang() const { return Exchange->csExchang(); }

void TAppMainForm::SetupExchange() { Exchange->SetupExchange(); }

void TAppMainForm::csExchangcsMessage(const QString& Msg) { Exchange->csExchangcsMessage(Msg); }

void TAppMainForm::btnGetNewPriceClick() { Updates->btnGetNewPriceClick(); }

void TAppMainForm::btnGetNewPicturesClick() { Updates->btnGetNewPicturesClick(); }

void TAppMainForm::btnGetOnePictureClick() { Updates->btnGetOnePictureClick(); }

void TAppMainForm::btnExchangeCancelClick() { Exchange->btnExchangeCancelClick(); }

void TAppMainForm::ResetPriceSort() { Browser->ResetPriceSort(); }
