#include "KolForm.h"

#include "DisplayFormat.h"
#include "KolSplit.h"
#include "QuantityEntry.h"
#include "WorkingTables.h"
#include "ZakazOrder.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kDialogWidth = 560;
const QString kPieces = QStringLiteral("# ##0");
const QString kMoney = QStringLiteral("# ##0.00");
const QString kMeasure = QStringLiteral("# ##0.####");

QLabel* label(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    return l;
}

QLineEdit* numberBox(const char* name, QWidget* parent, bool readOnly = true) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    e->setFixedWidth(96);
    e->setReadOnly(readOnly);
    if (readOnly) {
        e->setFocusPolicy(Qt::NoFocus);
        QPalette p = e->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Window));
        e->setPalette(p);
    }
    return e;
}

QFrame* panel(QWidget* parent) {
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Raised);
    return f;
}

bool isEnter(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

} // namespace

TAppKolForm::TAppKolForm(QuantityEntry& entry, ZakazOrder& order, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_entry(entry), m_order(order) {
    setObjectName(QStringLiteral("AppKolForm"));
    setWindowTitle(QStringLiteral("Количество товара в заявке"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);

    // Product: name, the three packaging standards, the box's volume and weight.
    QFrame* product = panel(this);
    auto* pv = new QVBoxLayout(product);
    pv->setContentsMargins(8, 6, 8, 6);
    pv->setSpacing(4);
    auto* pg = new QGridLayout;
    pg->setHorizontalSpacing(6);
    pg->setVerticalSpacing(2);
    Label1 = label("Label1", QString(), product);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setWordWrap(true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pv->addWidget(Label1);
    pv->addLayout(pg);
    Label15 = label("Label15", QString(), product);
    Label16 = label("Label16", QString(), product);
    Label17 = label("Label17", QString(), product);
    Label18 = label("Label18", QString(), product);
    Label19 = label("Label19", QString(), product);
    Label20 = label("Label20", QString(), product);
    QLabel* standards[] = {Label15, Label16, Label17};
    QLabel* pieces[] = {Label18, Label19, Label20};
    for (int row = 0; row < 3; ++row) {
        pg->addWidget(standards[row], row, 0);
        pieces[row]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        pieces[row]->setMinimumWidth(40);
        pg->addWidget(pieces[row], row, 1);
        pg->addWidget(label(nullptr, QStringLiteral("шт"), product), row, 2);
    }
    lblVolume = label("lblVolume", QString(), product);
    lblWeight = label("lblWeight", QString(), product);
    lblVolume->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblWeight->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* box = new QHBoxLayout;
    box->setSpacing(4);
    box->addWidget(label(nullptr, QStringLiteral("Объем:"), product));
    box->addWidget(lblVolume);
    box->addWidget(label(nullptr, QStringLiteral("м.куб.   Вес:"), product));
    box->addWidget(lblWeight);
    box->addWidget(label(nullptr, QStringLiteral("кг."), product));
    pg->addLayout(box, 2, 4, 1, 3, Qt::AlignRight);
    pg->setColumnStretch(3, 1);
    layout->addWidget(product);

    // Quantity and its split.
    QFrame* quantity = panel(this);
    auto* qg = new QGridLayout(quantity);
    qg->setContentsMargins(8, 6, 8, 6);
    qg->setHorizontalSpacing(6);
    qg->setVerticalSpacing(3);
    auto* caption = label(nullptr, QStringLiteral("Количество"), quantity);
    QFont big = caption->font();
    big.setBold(true);
    caption->setFont(big);
    MaskEdit1 = numberBox("MaskEdit1", quantity, false);
    MaskEdit1->setFont(big);
    MaskEdit1->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d{0,9}")), MaskEdit1));
    caption->setBuddy(MaskEdit1);
    qg->addWidget(caption, 0, 0);
    qg->addWidget(MaskEdit1, 0, 1);
    qg->addWidget(label(nullptr, QStringLiteral(" ="), quantity), 0, 2);
    MaskEdit6 = numberBox("MaskEdit6", quantity);
    MaskEdit5 = numberBox("MaskEdit5", quantity);
    MaskEdit4 = numberBox("MaskEdit4", quantity);
    MaskEdit9 = numberBox("MaskEdit9", quantity);
    Label10 = label("Label10", QString(), quantity);
    Label9 = label("Label9", QString(), quantity);
    Label8 = label("Label8", QString(), quantity);
    QLineEdit* splits[] = {MaskEdit6, MaskEdit5, MaskEdit4, MaskEdit9};
    QLabel* units[] = {Label10, Label9, Label8, label(nullptr, QStringLiteral("россыпью"), quantity)};
    for (int row = 0; row < 4; ++row) {
        qg->addWidget(splits[row], row, 3);
        qg->addWidget(units[row], row, 4);
    }
    qg->setColumnStretch(5, 1);
    layout->addWidget(quantity);

    // Sum, volume and weight of the whole quantity.
    QFrame* totals = panel(this);
    auto* tg = new QGridLayout(totals);
    tg->setContentsMargins(8, 6, 8, 6);
    tg->setHorizontalSpacing(6);
    tg->setVerticalSpacing(3);
    MaskEdit2 = numberBox("MaskEdit2", totals);
    MaskEdit3 = numberBox("MaskEdit3", totals);
    MaskEdit8 = numberBox("MaskEdit8", totals);
    MaskEdit7 = numberBox("MaskEdit7", totals);
    tg->addWidget(label(nullptr, QStringLiteral("Цена по прайсу"), totals), 0, 0);
    tg->addWidget(MaskEdit2, 0, 1);
    tg->addWidget(label(nullptr, QStringLiteral("руб."), totals), 0, 2);
    tg->addWidget(label(nullptr, QStringLiteral("Сумма по прайсу"), totals), 1, 0);
    tg->addWidget(MaskEdit3, 1, 1);
    tg->addWidget(label(nullptr, QStringLiteral("руб."), totals), 1, 2);
    tg->setColumnMinimumWidth(3, 16);
    tg->addWidget(label(nullptr, QStringLiteral("Объем:"), totals), 0, 4);
    tg->addWidget(MaskEdit8, 0, 5);
    tg->addWidget(label(nullptr, QStringLiteral("м.куб."), totals), 0, 6);
    tg->addWidget(label(nullptr, QStringLiteral("Вес:"), totals), 1, 4);
    tg->addWidget(MaskEdit7, 1, 5);
    tg->addWidget(label(nullptr, QStringLiteral("кг."), totals), 1, 6);
    tg->setColumnStretch(3, 1);
    layout->addWidget(totals);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    BitBtn2 = new QPushButton(QStringLiteral("ОК"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn1 = new QPushButton(QStringLiteral("Отмена"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    for (QPushButton* b : {BitBtn2, BitBtn1}) {
        b->setMinimumWidth(90);
        b->installEventFilter(this);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    MaskEdit1->installEventFilter(this);
    connect(MaskEdit1, &QLineEdit::textChanged, this, &TAppKolForm::MaskEdit1Change);
    connect(BitBtn2, &QPushButton::clicked, this, &TAppKolForm::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TAppKolForm::BitBtn1Click);
    setFixedWidth(kDialogWidth);
}

TAppKolForm::~TAppKolForm() = default;

void TAppKolForm::fitHeight() {
    // Height to the content (a long name takes two lines or more), centred on the screen.
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    layout()->invalidate();
    layout()->activate();
    setFixedHeight(layout()->totalHeightForWidth(width()));
    const QScreen* s = parentWidget() && parentWidget()->screen() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (s) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TAppKolForm::setVisible(bool visible) {
    const bool showing = visible && !isVisible();
    if (showing) {
        FormActivate();
        fitHeight();
    }
    QDialog::setVisible(visible);
    if (showing) {
        // A hidden label's new text is measured only once it shows.
        fitHeight();
        MaskEdit1->setFocus(Qt::OtherFocusReason);
        MaskEdit1->selectAll();
    }
}

void TAppKolForm::showNumber(QLineEdit* box, double value, const QString& format) {
    box->setText(formatNumber(value, format));
}

int TAppKolForm::quantity() const { return MaskEdit1->text().trimmed().toInt(); }

void TAppKolForm::FormActivate() {
    Table& fPrice = m_order.tables().fPrice;
    const bool found = m_order.locateProduct(m_entry.KolPriceId);
    auto field = [&](const char* name) { return found ? fPrice.value(QString::fromLatin1(name)) : QVariant(); };

    const QString name = field("FULLNAME").toString();
    Label15->setText(QStringLiteral("Стандарт (упаковка):"));
    Label16->setText(QStringLiteral("Стандарт (блок):"));
    Label17->setText(QStringLiteral("Стандарт (коробка):"));
    Label8->setText(QStringLiteral("упаковка"));
    Label9->setText(QStringLiteral("блок"));
    Label10->setText(QStringLiteral("коробка"));
    Label18->setText(field("ST1").toString());
    Label19->setText(field("ST2").toString());
    Label20->setText(field("ST3").toString());
    lblWeight->setText(field("WST3").toString());
    lblVolume->setText(field("VST3").toString());
    const int nameWidth = Label1->fontMetrics().horizontalAdvance(name);
    Label1->setText(nameWidth > width() ? BreakLongName(name) : name);

    m_price = field("CENA").toDouble();
    m_st1 = field("ST1").toInt();
    m_st2 = field("ST2").toInt();
    m_st3 = field("ST3").toInt();
    m_wst3 = field("WST3").toDouble();
    m_vst3 = field("VST3").toDouble();
    showNumber(MaskEdit2, m_price, kMoney);

    const int ordered = m_entry.IsKolInZakaz ? m_order.orderedKol() : 0;
    if (MaskEdit1->text() == QString::number(ordered))
        MaskEdit1Change();
    else
        MaskEdit1->setText(QString::number(ordered));
    MaskEdit1->selectAll();
}

void TAppKolForm::MaskEdit1Change() {
    const KolSplit s = SplitKol(quantity(), m_price, m_st1, m_st2, m_st3, m_wst3, m_vst3);
    showNumber(MaskEdit6, s.boxes, kPieces);
    showNumber(MaskEdit5, s.blocks, kPieces);
    showNumber(MaskEdit4, s.packages, kPieces);
    showNumber(MaskEdit9, s.loose, kPieces);
    showNumber(MaskEdit3, s.sum, kMoney);
    showNumber(MaskEdit7, s.weight, kMeasure);
    showNumber(MaskEdit8, s.volume, kMeasure);
}

void TAppKolForm::BitBtn2Click() {
    if (MaskEdit1->text().trimmed().isEmpty())
        MaskEdit1->setText(QStringLiteral("0"));
    const int q = quantity();
    if (m_entry.IsKolInZakaz)
        m_order.SetZakazKol(m_entry.KolPriceId, q);
    else
        m_order.AddZakazLine(m_entry.KolPriceId, q);
    accept();
}

void TAppKolForm::BitBtn1Click() { reject(); }

void TAppKolForm::done(int result) {
    QDialog::done(result);
    FormClose();
}

void TAppKolForm::FormClose() { m_entry.IsKolInZakaz = false; }

void TAppKolForm::keyPressEvent(QKeyEvent* event) {
    // Keys no control took: Enter (with or without Ctrl) confirms, Esc closes.
    if (isEnter(event)) {
        BitBtn2Click();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        BitBtn1Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TAppKolForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == MaskEdit1) {
        if (isEnter(key)) {
            BitBtn2Click();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            BitBtn1Click();
            return true;
        }
    } else if (watched == BitBtn2 || watched == BitBtn1) {
        // Plain Enter presses the focused button, as buttons do.
        if (isEnter(key) && (key->modifiers() & Qt::ControlModifier)) {
            BitBtn2Click();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            BitBtn1Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
