#include "CatalogBrowser.h"

#include "BigImageForm.h"
#include "DataGrid.h"
#include "GroupTree.h"
#include "GroupTreeBuild.h"
#include "PictureName.h"
#include "PictureView.h"
#include "PriceColumns.h"
#include "PriceFilter.h"
#include "Pricing.h"
#include "Prompts.h"
#include "StatusLine.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValidator>

namespace {

const QColor kSortedTitle(0x6d, 0x6d, 0x6d); // the grey-text colour of the ordering column's title
const QString kPriceFormat = QStringLiteral("# ##0.00 руб.");

// The search box shows and keeps what is typed in upper case, pasted text included.
class UpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

// Keeps the card's bound controls from re-filtering: the price list is redrawn once per change.
class FrozenControls {
public:
    explicit FrozenControls(Dataset& d) : m_d(d) { m_d.disableControls(); }
    ~FrozenControls() { m_d.enableControls(); }
    FrozenControls(const FrozenControls&) = delete;
    FrozenControls& operator=(const FrozenControls&) = delete;

private:
    Dataset& m_d;
};

void styleCardField(QWidget* field) {
    QFont bold = field->font();
    bold.setBold(true);
    field->setFont(bold);
    QPalette face = field->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    field->setPalette(face);
    field->setFocusPolicy(Qt::ClickFocus);
}

// A picture name that would leave the picture folder is no picture of ours.
bool safePictureName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1String(".."));
}

} // namespace

CatalogBrowser::CatalogBrowser(const BrowserWidgets& widgets, WorkingTables& tables, const TZarenOptions& options,
                               StatusLine& status, Prompts& prompts, QObject* parent)
    : QObject(parent), qGroupsTree(tables.engine, QStringLiteral("qGroupsTree")), w(widgets), m_tables(tables),
      m_options(options), m_status(status), m_prompts(prompts) {
    createPictureControl();
    setUpTree();
    createCardDetails();
    setUpSearchBox();
    setUpGrid();
    m_tables.Price.afterScroll = [this](Dataset&) { PriceAfterScroll(); };
}

CatalogBrowser::~CatalogBrowser() {
    m_tables.Price.afterScroll = nullptr;
    disconnect(&m_tables.Price, nullptr, this, nullptr);
}

// ---- set-up ---------------------------------------------------------------------------------------

void CatalogBrowser::createPictureControl() {
    Image1 = new PictureView(w.Panel4);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaleToFit(true);
    Image1->setCenter(true);
    Image1->setBackground(Qt::white);
    Image1->setScale(1.0);
    Image1->hide();
    if (auto* layout = w.Panel4->layout())
        layout->addWidget(Image1);
    connect(Image1, &PictureView::clicked, this, &CatalogBrowser::Image1Click);

    // The save command has no other way in: it is the picture's context menu.
    popImage = new QMenu(w.window);
    popImage->setObjectName(QStringLiteral("popImage"));
    miSavePicture = popImage->addAction(QStringLiteral("Сохранить изображение"));
    miSavePicture->setObjectName(QStringLiteral("miSavePicture"));
    connect(miSavePicture, &QAction::triggered, this, &CatalogBrowser::miSavePictureClick);
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popImage->popup(Image1->mapToGlobal(at)); });
}

void CatalogBrowser::createCardDetails() {
    auto* details = qobject_cast<QVBoxLayout*>(w.Panel5->layout());
    if (!details) {
        details = new QVBoxLayout(w.Panel5);
        details->addWidget(w.btnGetOnePicture);
        details->addStretch(1);
    }
    QFont small = w.Panel2->font();
    small.setPointSize(8);
    w.Panel2->setFont(small);
    // The details are cut off at the bottom rather than keep the order pane from growing.
    w.Panel5->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    // 143 pixels wide unless the caption needs more in this font.
    w.btnGetOnePicture->setFixedSize(qMax(143, w.btnGetOnePicture->sizeHint().width()), 25);
    w.btnGetOnePicture->setToolTip(QStringLiteral("Загрузить изображение  этого товара"));
    details->setAlignment(w.btnGetOnePicture, Qt::AlignRight);
    connect(w.btnGetOnePicture, &QPushButton::clicked, this, [this] {
        if (onGetOnePicture)
            onGetOnePicture();
    });

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, w.Panel5);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    Label4 = label("Label4", QStringLiteral("Код:"));
    DBEditEh1 = new QLineEdit(w.Panel5);
    DBEditEh1->setObjectName(QStringLiteral("DBEditEh1"));
    DBEditEh1->setReadOnly(true);
    DBEditEh1->setFixedSize(137, 21);
    styleCardField(DBEditEh1);
    Label5 = label("Label5", QStringLiteral("Наименование:"));
    DBMemo1 = new QPlainTextEdit(w.Panel5);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setReadOnly(true);
    DBMemo1->setFixedSize(233, 62);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    styleCardField(DBMemo1);
    Label10 = label("Label10", QStringLiteral("Цена со скидкой:"));
    edtCena = new QLineEdit(w.Panel5);
    edtCena->setObjectName(QStringLiteral("edtCena"));
    edtCena->setReadOnly(true);
    edtCena->setFixedSize(109, 21);
    edtCena->setAlignment(Qt::AlignRight);
    styleCardField(edtCena);
    Label4->setBuddy(DBEditEh1);
    Label5->setBuddy(DBMemo1);
    Label10->setBuddy(edtCena);

    // Below the button, above the stretch that keeps the details at the top.
    int at = details->indexOf(w.btnGetOnePicture) + 1;
    for (QWidget* item :
         {static_cast<QWidget*>(Label4), static_cast<QWidget*>(DBEditEh1), static_cast<QWidget*>(Label5),
          static_cast<QWidget*>(DBMemo1), static_cast<QWidget*>(Label10), static_cast<QWidget*>(edtCena)})
        details->insertWidget(at++, item);

    Dataset& price = m_tables.Price;
    connect(&price, &Dataset::currentRowChanged, this, &CatalogBrowser::showBoundFields);
    connect(&price, &Dataset::rowChanged, this, [this](int row) {
        if (row == m_tables.Price.recNo())
            showBoundFields();
    });
    connect(&price, &Dataset::rowsReset, this, &CatalogBrowser::showBoundFields);
    showBoundFields();
}

void CatalogBrowser::setUpSearchBox() {
    QLineEdit* box = w.SerchText;
    box->setValidator(new UpperCase(box));
    box->setToolTip(QStringLiteral("Для поиска по частям слова используйте символ <*>. Пример: Ручка*2001"));
    box->setFocusPolicy(Qt::ClickFocus);
    box->setAutoFillBackground(true);
    box->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this, &CatalogBrowser::SerchTextChange);
    connect(w.CheckBox1, &QCheckBox::toggled, this, &CatalogBrowser::CheckBox1Click);
    connect(w.chbOnlyNew, &QCheckBox::toggled, this, &CatalogBrowser::chbOnlyNewClick);
    w.CheckBox1->setFocusPolicy(Qt::NoFocus);
    w.chbOnlyNew->setFocusPolicy(Qt::NoFocus);
    SerchTextExit();
}

void CatalogBrowser::setUpGrid() {
    DataGrid* grid = w.DBGridEh1;
    // The column widths are meant for a small 8-point face.
    QFont small = grid->font();
    small.setPointSize(8);
    grid->setFont(small);
    // Number columns are sized for digits five pixels wide; wider digits widen them to match.
    QList<GridColumn> columns = priceGridColumns();
    const double digit = QFontMetricsF(small).horizontalAdvance(QLatin1Char('0'));
    for (GridColumn& c : columns) {
        if (!c.displayFormat.isEmpty())
            c.width = qRound(c.width * qMax(1.0, digit / 5.0));
    }
    grid->setDatasetModel(new DatasetModel(m_tables.Price, columns, grid));
    grid->setFrozenColumns(2);
    grid->setRowSelect(true);
    grid->setEditing(false);
    grid->onKeyPress = [this](QChar c) { return DBGridEh1KeyPress(c); };
    connect(grid, &DataGrid::titleClicked, this, &CatalogBrowser::DBGridEh1TitleClick);
    setPriceColumnTitles();
}

void CatalogBrowser::setUpTree() {
    m_tree = new GroupTreeModel(w.vdtGroupsTree);
    w.vdtGroupsTree->setModel(m_tree);
    w.vdtGroupsTree->setHeaderHidden(true);
    QFont small = w.vdtGroupsTree->font();
    small.setPointSize(8);
    w.vdtGroupsTree->setFont(small);
    w.vdtGroupsTree->setUniformRowHeights(true);
    w.vdtGroupsTree->setFocusPolicy(Qt::ClickFocus);
    w.vdtGroupsTree->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(w.vdtGroupsTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) { vdtGroupsTreeFocusChanging(before, now); });
}

void CatalogBrowser::createBigImage() {
    if (!AppBigImage)
        AppBigImage = new TAppBigImage([this] { return CurrentPictureFile; }, w.window);
}

// ---- group tree ------------------------------------------------------------------------------------

void CatalogBrowser::BuildGroupTree() {
    BuildGroupTreeNodes(m_tables, qGroupsTree, *m_tree, m_options.WorkDir, m_status);
    if (m_tree->rowCount() > 0)
        w.vdtGroupsTree->expand(m_tree->index(0, 0));
}

void CatalogBrowser::vdtGroupsTreeFocusChanging(const QModelIndex&, const QModelIndex& newNode) {
    // Only the new node sets the condition; a change that leaves no node focused keeps the filter.
    const TGroupNodeData* node = m_tree->nodeData(newNode);
    if (!node)
        return;
    const TGroupNodeData record = *node;
    if (!w.CheckBox1->isChecked()) {
        w.SerchText->clear();
        SearchFilter.clear();
    }
    TreeFilter = GroupNode::treeCondition(record);
    ApplyPriceFilter(true);
    m_tables.Price.setFiltered(true);
}

void CatalogBrowser::selectFirstTreeNode() {
    if (m_tree->rowCount() > 0)
        w.vdtGroupsTree->selectionModel()->select(m_tree->index(0, 0), QItemSelectionModel::ClearAndSelect);
    w.vdtGroupsTree->viewport()->update();
}

// ---- filter, search and sort --------------------------------------------------------------------

void CatalogBrowser::BuildSearchFilter() {
    SearchFilter = PriceFilter::searchCondition(w.SerchText->text(), SearchField);
}

void CatalogBrowser::ApplyPriceFilter(bool includeTree) {
    // The whole text at once, so a filtered table evaluates it once.
    m_tables.Price.setFilter(PriceFilter::compose(TreeFilter, SearchFilter, includeTree, w.chbOnlyNew->isChecked()));
}

void CatalogBrowser::refilter() {
    // Switching filtering off and on again evaluates the filter anew; setting the text of a filtered
    // table has done that already.
    if (!m_tables.Price.filtered())
        m_tables.Price.setFiltered(true);
}

void CatalogBrowser::SerchTextChange() {
    BuildSearchFilter();
    FrozenControls frozen(m_tables.Price);
    ApplyPriceFilter(w.CheckBox1->isChecked());
    refilter();
}

void CatalogBrowser::SerchTextEnter() {
    QPalette p = w.SerchText->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    w.SerchText->setPalette(p);
    QFont f = w.SerchText->font();
    f.setBold(false);
    w.SerchText->setFont(f);
}

void CatalogBrowser::SerchTextExit() {
    QPalette p = w.SerchText->palette();
    p.setColor(QPalette::Base, QColor(0x80, 0x80, 0x80)); // the application-workspace grey
    p.setColor(QPalette::Text, Qt::white);
    w.SerchText->setPalette(p);
    QFont f = w.SerchText->font();
    f.setBold(true);
    w.SerchText->setFont(f);
}

bool CatalogBrowser::SerchTextKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        w.DBGridEh1->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onSearchEnter) {
        onSearchEnter();
        return true;
    }
    return false;
}

void CatalogBrowser::CheckBox1Click() {
    FrozenControls frozen(m_tables.Price);
    m_tables.Price.setFiltered(false);
    ApplyPriceFilter(w.CheckBox1->isChecked());
    m_tables.Price.setFiltered(true);
}

void CatalogBrowser::chbOnlyNewClick() {
    Table& price = m_tables.Price;
    FrozenControls frozen(price);
    price.setFiltered(false);
    price.setFilter(PriceFilter::toggleOnlyNew(price.filter(), w.chbOnlyNew->isChecked()));
    price.setFiltered(true);
}

void CatalogBrowser::markSortColumn(int column) {
    DatasetModel* model = w.DBGridEh1->datasetModel();
    for (const char16_t* field : kSortableFields) {
        const int c = model->columnOfField(QStringView(field));
        if (c >= 0) {
            model->setTitleColor(c, QColor());
            model->setSortMarker(c, SortMarker::None);
        }
    }
    if (column >= 0) {
        model->setSortMarker(column, SortMarker::Up);
        model->setTitleColor(column, kSortedTitle);
    }
}

void CatalogBrowser::DBGridEh1TitleClick(int column) {
    DatasetModel* model = w.DBGridEh1->datasetModel();
    if (column < 0 || column >= model->columnCount() || model->column(column).field.isEmpty())
        return;
    PriceFilter::SortChoice choice;
    if (!PriceFilter::sortChoiceFor(model->column(column).field, choice))
        return;
    markSortColumn(column);
    Table& price = m_tables.Price;
    if (choice.sortField.trimmed() != SortField.trimmed()) {
        SortField = choice.sortField;
        price.setIndexFieldNames(SortField);
    }
    if (choice.searchField.trimmed() == SearchField.trimmed())
        return;
    SearchField = choice.searchField;
    BuildSearchFilter();
    const bool keepTree = w.CheckBox1->isChecked();
    if (keepTree && !SearchFilter.trimmed().isEmpty())
        ApplyPriceFilter(true);
    else if (!keepTree)
        ApplyPriceFilter(false);
    price.setFiltered(false);
    price.setFiltered(true);
}

bool CatalogBrowser::DBGridEh1KeyPress(QChar key) {
    if (quantityBeingTyped && quantityBeingTyped())
        return false;
    const char16_t c = key.unicode();
    if (c == 13 || c == 27 || c == u'&' || c == u'(')
        return false;
    // Printable characters and Backspace; other control characters are the grid's own keys.
    if (!key.isPrint() && c != 8)
        return false;
    QLineEdit* box = w.SerchText;
    box->clear();
    const int code = c == 8 ? int(Qt::Key_Backspace) : int(key.toUpper().unicode());
    QKeyEvent typed(QEvent::KeyPress, code, Qt::NoModifier, QString(key));
    QCoreApplication::sendEvent(box, &typed);
    box->setFocus(Qt::OtherFocusReason);
    box->setCursorPosition(static_cast<int>(box->text().trimmed().size()));
    return true;
}

void CatalogBrowser::ResetPriceSort() {
    const DatasetModel* model = w.DBGridEh1->datasetModel();
    markSortColumn(model->columnOfField(u"CODE"));
    SortField = QStringLiteral("code");
    SearchField = QStringLiteral("code");
    m_tables.Price.setIndexFieldNames(SortField);
}

void CatalogBrowser::setPriceColumnTitles() {
    DatasetModel* model = w.DBGridEh1->datasetModel();
    for (const PackagingTitle& t : kPackagingTitles) {
        const int c = model->columnOfField(QStringView(t.field));
        if (c >= 0)
            model->setTitle(c, QString::fromUtf16(t.title));
    }
}

bool CatalogBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == w.SerchText) {
        switch (event->type()) {
        case QEvent::FocusIn:
            SerchTextEnter();
            break;
        case QEvent::FocusOut:
            SerchTextExit();
            break;
        case QEvent::KeyPress:
            if (SerchTextKeyDown(static_cast<QKeyEvent*>(event)))
                return true;
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- product card --------------------------------------------------------------------------------

void CatalogBrowser::showBoundFields() {
    const Dataset& price = m_tables.Price;
    const bool onRow = price.active() && price.recNo() >= 0;
    DBEditEh1->setText(onRow ? price.value(u"CODE").toString() : QString());
    DBEditEh1->setCursorPosition(0);
    DBMemo1->setPlainText(onRow ? price.value(u"FULLNAME").toString() : QString());
}

QString CatalogBrowser::pictureIn(const QString& folder, const QString& name) const {
    if (folder.trimmed().isEmpty())
        return {};
    const QString path = folder + name;
    return QFileInfo(path).isFile() ? path : QString();
}

void CatalogBrowser::showPlaceholder() {
    w.ImageNull->show();
    Image1->hide();
}

void CatalogBrowser::PriceAfterScroll() {
    Table& price = m_tables.Price;
    const bool onRow = price.active() && price.recNo() >= 0;

    double shown = 0;
    if (onRow) {
        const QString box = w.eProc ? w.eProc->text().trimmed() : QString();
        bool ok = false;
        const double boxValue = box.toDouble(&ok);
        const double d =
            EffectiveDiscount(ok ? std::optional<double>(boxValue) : std::nullopt, price.value(u"MAXDISCOUNT"));
        shown = RoundDec((100.0 - d) / 100.0 * price.value(u"CENA").toDouble(), 2);
    }
    edtCena->setText(formatNumber(shown, kPriceFormat));

    if (onRow && price.hasField(u"ISPHOTO")) {
        const bool hasPhoto = price.value(u"ISPHOTO").toBool();
        if (w.btnGetOnePicture->isEnabled() != hasPhoto)
            w.btnGetOnePicture->setEnabled(hasPhoto);
    }

    const QString code = onRow ? price.value(u"CODE").toString().trimmed() : QString();
    const QString name = PictureFileName(code);
    QString found;
    if (!code.isEmpty() && safePictureName(name)) {
        found = pictureIn(m_options.TempPictureDir, name);
        if (found.isEmpty())
            found = pictureIn(m_options.PathPicture, name);
    }
    if (found.isEmpty()) {
        showPlaceholder();
        return;
    }
    CurrentPictureFile = found;
    Image1->loadFromFile(found); // a file that cannot be read leaves the placeholder
    if (Image1->isEmpty()) {
        showPlaceholder();
        return;
    }
    Image1->show();
    w.ImageNull->hide();
    Image1->setCursor(Qt::PointingHandCursor);
}

void CatalogBrowser::Image1Click() {
    if (Image1->cursor().shape() != Qt::PointingHandCursor || Image1->isHidden())
        return;
    createBigImage();
    AppBigImage->exec();
}

void CatalogBrowser::miSavePictureClick() {
    QString path = m_prompts.chooseSaveFile(QStringLiteral("Сохранить изображение"),
                                            QStringLiteral("Изображение JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg"), QString());
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".jpg");
    if (!Image1->saveToFile(path))
        m_prompts.error(QStringLiteral("Ошибка пр сохранении файла"));
}

void CatalogBrowser::SpeedButton7Click() {
    w.Panel2->setVisible(w.Panel2->isHidden());
}
