#include "OpenForm.h"

#include "DataGrid.h"
#include "OrderArchive.h"
#include "OrderGrids.h"
#include "Prompts.h"
#include "WorkingTables.h"
#include "ZakazOrder.h"
#include "ZarenOptions.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QSvgRenderer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

static void registerOrdersArtwork() { Q_INIT_RESOURCE(orders); }

namespace {

QIcon artwork(const QString& name) {
    static const bool registered = (registerOrdersArtwork(), true);
    Q_UNUSED(registered);
    const QSize size(32, 32);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/orders-art/%1.svg").arg(name));
    QPainter painter(&pm);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return QIcon(pm);
}

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& hint, const char* art) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    b->setAutoRaise(true);
    b->setFixedSize(44, 44);
    b->setIconSize(QSize(32, 32));
    b->setIcon(artwork(QLatin1String(art)));
    b->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(b);
    return b;
}

DataGrid* grid(const char* name, const QString& accessibleName, QWidget* parent) {
    auto* g = new DataGrid(parent);
    g->setObjectName(QLatin1String(name));
    g->setAccessibleName(accessibleName);
    g->setRowSelect(true);
    g->setEditing(false);
    return g;
}

} // namespace

TAppOpenForm::TAppOpenForm(ZakazOrder& order, OrderArchive& archive, const TZarenOptions& options, Prompts& prompts,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      qMain(order.tables().engine, QStringLiteral("qMain")), qDoc(order.tables().engine, QStringLiteral("qDoc")),
      m_order(order), m_archive(archive), m_options(options), m_prompts(prompts) {
    setObjectName(QStringLiteral("AppOpenForm"));
    setWindowTitle(QStringLiteral("Архив заказов"));
    setModal(true);
    resize(980, 560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    SpeedButton1 = toolButton(ToolBar1, "SpeedButton1", QStringLiteral("Загрузить заказ"), "load-order");
    SpeedButton4 = toolButton(ToolBar1, "SpeedButton4", QStringLiteral("Экспорт заказа в MS Excel"), "export-excel");
    SpeedButton3 = toolButton(ToolBar1, "SpeedButton3", QStringLiteral("Удалить заказ"), "delete-order");
    ToolBar1->addSeparator();
    SpeedButton2 = toolButton(ToolBar1, "SpeedButton2", QStringLiteral("Выход"), "exit");
    layout->addWidget(ToolBar1);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    DBGridEh1 = grid("DBGridEh1", QStringLiteral("Заказы архива"), split);
    DBGridEh2 = grid("DBGridEh2", QStringLiteral("Строки заказа"), split);
    DBGridEh1->setDatasetModel(new DatasetModel(qMain, archiveHeaderColumns(), DBGridEh1));
    DBGridEh2->setDatasetModel(new DatasetModel(qDoc, archiveLineColumns(), DBGridEh2));
    // The moment in the user's own format, whole.
    const QString sample = QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)).toString(archiveDateTimeFormat());
    DBGridEh1->setColumnWidth(0, qMax(DBGridEh1->columnWidth(0), DBGridEh1->fontMetrics().horizontalAdvance(sample) + 16));
    DBGridEh2->setFocusPolicy(Qt::ClickFocus);
    split->addWidget(DBGridEh1);
    split->addWidget(DBGridEh2);
    split->setStretchFactor(1, 1);
    split->setSizes({310, 670});
    layout->addWidget(split, 1);

    qMain.setSql(QStringLiteral("select * from main order by datet desc"));
    qMain.afterScroll = [this](Dataset&) { qMainAfterScroll(); };
    DBGridEh1->onKeyDown = [this](QKeyEvent* e) { return DBGridEh1KeyDown(e); };
    connect(DBGridEh1, &QAbstractItemView::doubleClicked, this, [this] { DBGridEh1DblClick(); });
    connect(SpeedButton1, &QToolButton::clicked, this, &TAppOpenForm::SpeedButton1Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TAppOpenForm::SpeedButton4Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TAppOpenForm::SpeedButton3Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TAppOpenForm::SpeedButton2Click);
}

TAppOpenForm::~TAppOpenForm() { qMain.afterScroll = nullptr; }

void TAppOpenForm::showEvent(QShowEvent* event) {
    // Re-read on every showing, so the window keeps nothing from the last time.
    FormActivate();
    QDialog::showEvent(event);
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    DBGridEh1->setFocus(Qt::OtherFocusReason);
}

void TAppOpenForm::openQueries() {
    qMain.close();
    qDoc.close();
    qMain.open(); // its first row brings the lines (qMainAfterScroll)
    if (!qDoc.active())
        qMainAfterScroll();
}

void TAppOpenForm::FormActivate() { openQueries(); }

int TAppOpenForm::currentOrderId() const {
    return qMain.active() && qMain.recNo() >= 0 ? qMain.value(QStringLiteral("ID")).toInt() : 0;
}

void TAppOpenForm::qMainAfterScroll() {
    qDoc.close();
    qDoc.setSql(QStringList{QStringLiteral("select * from doc"),
                            QStringLiteral("where doc.iddoc=") + QString::number(currentOrderId())});
    qDoc.open();
}

void TAppOpenForm::SpeedButton1Click() {
    if (!m_order.tables().Zakaz.isEmpty() &&
        !m_prompts.confirm(QStringLiteral("Загрузка заказа из архива заказов перепишет текущий заказ. Продолжить?")))
        return;
    m_archive.loadIntoCurrentOrder(qDoc, m_order);
    accept();
}

void TAppOpenForm::SpeedButton4Click() {
    Query lines(m_order.tables().engine, QStringLiteral("qExportDoc"));
    lines.setSql(QStringLiteral("select * from doc where doc.iddoc = ") + QString::number(currentOrderId()));
    lines.open();
    if (ExportOrder)
        ExportOrder(m_options.Orgname, lines);
    lines.close();
}

void TAppOpenForm::SpeedButton3Click() {
    const int id = currentOrderId();
    if (id <= 0 || !m_prompts.confirm(QStringLiteral("Удалить текущий заказ из архива?")))
        return;
    qMain.close();
    qDoc.close();
    try {
        m_archive.deleteOrder(id);
    } catch (...) {
        openQueries();
        throw;
    }
    openQueries();
}

void TAppOpenForm::SpeedButton2Click() { close(); }

bool TAppOpenForm::DBGridEh1KeyDown(QKeyEvent* event) {
    // Whatever modifier keys are held.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SpeedButton1Click();
        return true;
    case Qt::Key_Delete:
        SpeedButton3Click();
        return true;
    default:
        return false;
    }
}

void TAppOpenForm::DBGridEh1DblClick() { SpeedButton1Click(); }
