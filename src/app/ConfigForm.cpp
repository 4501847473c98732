#include "ConfigForm.h"

#include "Error.h"
#include "Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace {

constexpr int kClientWidth = 518;
constexpr int kClientHeight = 372;
constexpr int kOuterMargin = 6;
constexpr int kPageMargin = 8;

const QString kDataFolderTitle = QStringLiteral("Укажите путь до файлов с данными");
const QString kPictureFolderTitle = QStringLiteral("Укажите каталог с изображениями");

QLineEdit* newEdit(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

// Typed characters show as '*' whatever the style would choose.
QLineEdit* newPasswordEdit(const QString& name, QWidget* parent) {
    QLineEdit* edit = newEdit(name, parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    return edit;
}

// A whole-number edit that can also be empty while the user types a new value.
QLineEdit* newPortEdit(const QString& name, QWidget* parent) {
    QLineEdit* edit = newEdit(name, parent);
    auto* validator = new QIntValidator(0, 65535, edit);
    // Digits only: a group separator would make the text unreadable as a number.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(c);
    edit->setValidator(validator);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return edit;
}

// The label names the field for the eye (buddy) and for assistive technology (accessible name).
QLabel* newLabel(const QString& text, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    field->setAccessibleName(text);
    return label;
}

QCheckBox* newCheckBox(const QString& name, const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setAccessibleName(text);
    return box;
}

// Breaks a caption into lines no wider than width, at blanks; a check box does not wrap by itself.
QString wrapped(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines << line;
            line = word;
        } else {
            line = candidate;
        }
    }
    lines << line;
    return lines.join(QLatin1Char('\n'));
}

QString withTrailingSeparator(const QString& text) {
    QString folder = text.trimmed();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// An empty port edit counts as 0.
std::int32_t portValue(const QLineEdit* edit) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

// Only focus moving between the dialog's own controls counts as entering or leaving an edit, not the
// dialog window losing or regaining activation.
bool movesWithinDialog(const QEvent* event) {
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

void enterPortEdit(QLineEdit* edit) {
    bool ok = false;
    if (edit->text().trimmed().toInt(&ok) == 0 && ok)
        edit->clear();
}

void leavePortEdit(QLineEdit* edit) {
    if (edit->text().trimmed().isEmpty())
        edit->setText(QStringLiteral("0"));
}

// Gives a label column of each grid the width of the widest label in that column among all of them,
// so that the fields of stacked group boxes line up. Fields spanning the column do not count.
void alignColumn(std::initializer_list<QGridLayout*> grids, int column) {
    int width = 0;
    for (QGridLayout* grid : grids) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (QLayoutItem* item = grid->itemAtPosition(row, column); item && qobject_cast<QLabel*>(item->widget()))
                width = std::max(width, item->widget()->sizeHint().width());
        }
    }
    for (QGridLayout* grid : grids)
        grid->setColumnMinimumWidth(column, width);
}

} // namespace

TAppConfigForm::TAppConfigForm(TZarenOptions& options, bool& firstRun, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_options(options), m_firstRun(firstRun), m_prompts(prompts) {
    setObjectName(QStringLiteral("AppConfigForm"));
    setWindowTitle(QStringLiteral("Настройки"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);

    pgCofigs = new QTabWidget(this);
    pgCofigs->setObjectName(QStringLiteral("pgCofigs"));
    buildInformationTab();
    buildSystemTab();
    buildConnectionTab();
    buildButtonBar();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kOuterMargin, kOuterMargin, kOuterMargin, kOuterMargin);
    layout->addWidget(pgCofigs, 1);
    layout->addWidget(pButtons);

    m_textFields = {
        {Edit1, &TZarenOptions::PostName},         {Edit2, &TZarenOptions::PostAdress},
        {Edit3, &TZarenOptions::PostInn},          {Edit4, &TZarenOptions::PostKpp},
        {Edit5, &TZarenOptions::PostContactFace},  {Edit6, &TZarenOptions::PostTels},
        {Edit7, &TZarenOptions::MailForsend},      {Edit8, &TZarenOptions::Orgname},
        {Edit9, &TZarenOptions::OrgAdress},        {Edit10, &TZarenOptions::OrgInn},
        {Edit11, &TZarenOptions::OrgKpp},          {Edit12, &TZarenOptions::OrgContactFace},
        {Edit13, &TZarenOptions::OrgTels},         {Edit14, &TZarenOptions::OrgMail},
        {Edit19, &TZarenOptions::ConnectHost},     {Edit18, &TZarenOptions::ConnectUserName},
        {Edit17, &TZarenOptions::ConnectPassword}, {Edit20, &TZarenOptions::ProxyHost},
        {Edit21, &TZarenOptions::ProxyUserName},   {Edit22, &TZarenOptions::ProxyPassword},
    };

    DBNumberEditEh1->installEventFilter(this);
    DBNumberEditEh2->installEventFilter(this);
}

void TAppConfigForm::buildInformationTab() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    pgCofigs->addTab(TabSheet1, QStringLiteral("Информационные"));

    const QStringList labels = {
        QStringLiteral("Наименование:"), QStringLiteral("Адресс:"),          QStringLiteral("ИНН:"),
        QStringLiteral("КПП:"),          QStringLiteral("Контактное лицо:"), QStringLiteral("Телефоны:"),
        QStringLiteral("E-Mail:"),
    };
    // Customer edits are Edit8..Edit14, the supplier's Edit1..Edit7, row by row.
    auto makeGroup = [&](const QString& name, const QString& title, int firstEdit, QLineEdit** edits[]) {
        auto* group = new QGroupBox(title, TabSheet1);
        group->setObjectName(name);
        auto* form = new QFormLayout(group);
        form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        for (int row = 0; row < labels.size(); ++row) {
            QLineEdit* edit = newEdit(QStringLiteral("Edit%1").arg(firstEdit + row), group);
            *edits[row] = edit;
            form->addRow(newLabel(labels[row], edit, group), edit);
        }
        return group;
    };
    QLineEdit** customer[] = {&Edit8, &Edit9, &Edit10, &Edit11, &Edit12, &Edit13, &Edit14};
    QLineEdit** supplier[] = {&Edit1, &Edit2, &Edit3, &Edit4, &Edit5, &Edit6, &Edit7};
    GroupBox1 = makeGroup(QStringLiteral("GroupBox1"), QStringLiteral("Покупатель"), 8, customer);
    GroupBox2 = makeGroup(QStringLiteral("GroupBox2"), QStringLiteral("Поставщик"), 1, supplier);
    // The supplier's details come with the program; they pass through the dialog unseen.
    GroupBox2->hide();

    auto* layout = new QVBoxLayout(TabSheet1);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);
    layout->addStretch(1);
}

void TAppConfigForm::buildSystemTab() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    pgCofigs->addTab(TabSheet2, QStringLiteral("Системные"));

    auto* layout = new QVBoxLayout(TabSheet2);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);

    auto addFolderRow = [&](const QString& editName, const QString& buttonName, const QString& labelText,
                            const QString& browserTitle, QLineEdit*& edit, QToolButton*& button) {
        edit = newEdit(editName, TabSheet2);
        button = new QToolButton(TabSheet2);
        button->setObjectName(buttonName);
        button->setText(QStringLiteral("..."));
        button->setAccessibleDescription(browserTitle);
        // As tall as the edit beside it, so the pair reads as one control.
        button->setFixedHeight(edit->sizeHint().height());
        button->setMinimumWidth(button->sizeHint().height());
        auto* row = new QHBoxLayout;
        row->setSpacing(2);
        row->addWidget(edit, 1);
        row->addWidget(button);
        layout->addWidget(newLabel(labelText, edit, TabSheet2));
        layout->addLayout(row);
    };
    addFolderRow(QStringLiteral("Edit15"), QStringLiteral("SpeedButton3"),
                 QStringLiteral("Путь до файлов экспорта данных:"), kDataFolderTitle, Edit15, SpeedButton3);
    layout->addSpacing(8);
    addFolderRow(QStringLiteral("Edit16"), QStringLiteral("SpeedButton4"),
                 QStringLiteral("Путь до файлов изображений товаров:"), kPictureFolderTitle, Edit16, SpeedButton4);
    layout->addSpacing(16);

    CheckBox1 = newCheckBox(
        QStringLiteral("CheckBox1"),
        QStringLiteral("Всегда, при старте программы, автоматически импортировать новые данные по FTP"), TabSheet2);
    CheckBox2 = newCheckBox(QStringLiteral("CheckBox2"), QStringLiteral("Ввод количества в заказ через окно диалога"),
                            TabSheet2);
    // The dialog has a fixed width; a caption longer than the page goes onto a second line.
    const int textWidth = kClientWidth - 2 * kOuterMargin - 2 * kPageMargin - 16 -
                          style()->pixelMetric(QStyle::PM_IndicatorWidth) -
                          style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    for (QCheckBox* box : {CheckBox1, CheckBox2})
        box->setText(wrapped(box->accessibleName(), box->fontMetrics(), textWidth));
    layout->addWidget(CheckBox1);
    layout->addWidget(CheckBox2);
    layout->addStretch(1);

    connect(SpeedButton3, &QToolButton::clicked, this, &TAppConfigForm::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TAppConfigForm::SpeedButton4Click);
}

void TAppConfigForm::buildConnectionTab() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    pgCofigs->addTab(TabSheet3, QStringLiteral("Связь"));

    // Host and port, then login and password, side by side in each group.
    auto makeGroup = [&](const QString& name, const QString& title, const QString& firstEdit, const QString& portEdit,
                         const QString& loginEdit, const QString& passwordEdit, QLineEdit*& host, QLineEdit*& port,
                         QLineEdit*& login, QLineEdit*& password, QGridLayout*& grid) {
        auto* group = new QGroupBox(title, TabSheet3);
        group->setObjectName(name);
        host = newEdit(firstEdit, group);
        port = newPortEdit(portEdit, group);
        login = newEdit(loginEdit, group);
        password = newPasswordEdit(passwordEdit, group);
        grid = new QGridLayout(group);
        grid->setHorizontalSpacing(8);
        grid->addWidget(newLabel(QStringLiteral("Хост:"), host, group), 0, 0);
        grid->addWidget(host, 0, 1);
        grid->addWidget(newLabel(QStringLiteral("порт:"), port, group), 0, 2);
        grid->addWidget(port, 0, 3);
        grid->addWidget(newLabel(QStringLiteral("Логин:"), login, group), 1, 0);
        grid->addWidget(login, 1, 1);
        grid->addWidget(newLabel(QStringLiteral("пароль:"), password, group), 1, 2);
        grid->addWidget(password, 1, 3);
        grid->setColumnStretch(1, 3);
        grid->setColumnStretch(3, 2);
        return group;
    };

    QGridLayout* ftpGrid = nullptr;
    GroupBox3 = makeGroup(QStringLiteral("GroupBox3"), QStringLiteral("FTP"), QStringLiteral("Edit19"),
                          QStringLiteral("DBNumberEditEh1"), QStringLiteral("Edit18"), QStringLiteral("Edit17"), Edit19,
                          DBNumberEditEh1, Edit18, Edit17, ftpGrid);
    CheckBox3 = newCheckBox(QStringLiteral("CheckBox3"), QStringLiteral("Пассивный режим"), GroupBox3);
    ftpGrid->addWidget(CheckBox3, 2, 1, 1, 3);

    QGridLayout* proxyGrid = nullptr;
    GroupBox4 = makeGroup(QStringLiteral("GroupBox4"), QStringLiteral("Параметры  Прокси"), QStringLiteral("Edit20"),
                          QStringLiteral("DBNumberEditEh2"), QStringLiteral("Edit21"), QStringLiteral("Edit22"), Edit20,
                          DBNumberEditEh2, Edit21, Edit22, proxyGrid);
    ComboBox1 = new QComboBox(GroupBox4);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    // Positions are the values of the key ProxyType.
    ComboBox1->addItems({QString(), QStringLiteral("HTTP-прокси с поддержкой FTP"),
                         QStringLiteral("Посылать команду OPEN"),
                         QStringLiteral("Посылать команду SITE (с входом в систему)"), QStringLiteral("Прозрачный"),
                         QStringLiteral("USER PASS"), QStringLiteral("USER SITE"), QStringLiteral("Socket5")});
    ComboBox1->setCurrentIndex(-1);
    proxyGrid->addWidget(newLabel(QStringLiteral("Тип прокси:"), ComboBox1, GroupBox4), 2, 0);
    proxyGrid->addWidget(ComboBox1, 2, 1, 1, 3);

    alignColumn({ftpGrid, proxyGrid}, 0);
    alignColumn({ftpGrid, proxyGrid}, 2);

    auto* layout = new QVBoxLayout(TabSheet3);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->addWidget(GroupBox3);
    layout->addWidget(GroupBox4);
    layout->addStretch(1);
}

void TAppConfigForm::buildButtonBar() {
    pButtons = new QWidget(this);
    pButtons->setObjectName(QStringLiteral("pButtons"));
    SpeedButton2 = new QPushButton(QStringLiteral("Сохранить"), pButtons);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton1 = new QPushButton(QStringLiteral("Отмена"), pButtons);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    auto* layout = new QHBoxLayout(pButtons);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addStretch(1);
    for (QPushButton* button : {SpeedButton2, SpeedButton1}) {
        // Enter in an edit must not save or discard behind the user's back.
        button->setAutoDefault(false);
        button->setMinimumWidth(std::max(button->sizeHint().width(), 96));
        layout->addWidget(button);
    }
    connect(SpeedButton2, &QPushButton::clicked, this, &TAppConfigForm::SpeedButton2Click);
    connect(SpeedButton1, &QPushButton::clicked, this, &TAppConfigForm::SpeedButton1Click);
}

void TAppConfigForm::showEvent(QShowEvent* event) {
    FormActivate();
    centreOnScreen();
    QDialog::showEvent(event);
}

void TAppConfigForm::centreOnScreen() {
    QScreen* target = screen();
    if (!target)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

bool TAppConfigForm::eventFilter(QObject* watched, QEvent* event) {
    const bool focusIn = event->type() == QEvent::FocusIn;
    if ((focusIn || event->type() == QEvent::FocusOut) && movesWithinDialog(event)) {
        if (watched == DBNumberEditEh1)
            focusIn ? DBNumberEditEh1Enter() : DBNumberEditEh1Exit();
        else if (watched == DBNumberEditEh2)
            focusIn ? DBNumberEditEh2Enter() : DBNumberEditEh2Exit();
    }
    return QDialog::eventFilter(watched, event);
}

void TAppConfigForm::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TAppConfigForm::FormActivate() {
    pgCofigs->setCurrentWidget(TabSheet1);
    Edit8->setFocus();

    for (const TextField& f : m_textFields)
        f.edit->setText(m_options.*f.setting);
    Edit15->setText(m_options.PathBase);
    Edit16->setText(m_options.PathPicture);
    CheckBox1->setChecked(m_options.IsImportOnStart > 0);
    CheckBox2->setChecked(m_options.IsInputKolByWindow > 0);
    DBNumberEditEh1->setText(QString::number(m_options.ConnectPort));
    CheckBox3->setChecked(m_options.ConnectPassive);
    DBNumberEditEh2->setText(QString::number(m_options.ProxyPort));

    if (m_options.UseSocks5)
        ComboBox1->setCurrentIndex(kSocks5ProxyPosition);
    else if (const std::optional<int> position = proxyTypePosition(m_options.ProxyType))
        ComboBox1->setCurrentIndex(*position);
    // A proxy type the list does not offer leaves the selection as it was.
}

void TAppConfigForm::FormClose() {
    // Whichever way the first-run opening ends, it is not repeated during this run.
    m_firstRun = false;
}

void TAppConfigForm::SpeedButton2Click() {
    for (const TextField& f : m_textFields)
        m_options.*f.setting = f.edit->text().trimmed();
    m_options.PathBase = withTrailingSeparator(Edit15->text());
    m_options.PathPicture = withTrailingSeparator(Edit16->text());

    m_options.ConnectPort = portValue(DBNumberEditEh1);
    m_options.ProxyPort = portValue(DBNumberEditEh2);
    m_options.ConnectPassive = CheckBox3->isChecked();

    m_options.UseSocks5 = false;
    const int position = ComboBox1->currentIndex();
    if (const std::optional<TIdFtpProxyType> type = proxyTypeAtPosition(position)) {
        m_options.ProxyType = *type;
        m_options.UseSocks5 = position == kSocks5ProxyPosition;
    }

    m_options.IsImportOnStart = CheckBox1->isChecked() ? 1 : 0;
    m_options.IsInputKolByWindow = CheckBox2->isChecked() ? 1 : 0;
    if (onOrderGridMode)
        onOrderGridMode(m_options.IsInputKolByWindow == 1);

    try {
        SaveOptions(m_options, m_options.WorkDir, m_options.ConfigFile);
    } catch (const AppError& e) {
        // The user can fix the folder and save again, or cancel.
        m_prompts.error(e.message());
        return;
    }
    accept();
}

void TAppConfigForm::SpeedButton1Click() {
    reject();
}

void TAppConfigForm::SpeedButton3Click() {
    chooseFolderInto(Edit15, kDataFolderTitle);
}

void TAppConfigForm::SpeedButton4Click() {
    chooseFolderInto(Edit16, kPictureFolderTitle);
}

void TAppConfigForm::chooseFolderInto(QLineEdit* edit, const QString& title) {
    const QString current = edit->text().trimmed();
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : QString();
    const QString chosen = m_prompts.chooseFolder(title, start);
    if (chosen.trimmed().isEmpty())
        return;
    edit->setText(withTrailingSeparator(chosen));
}

void TAppConfigForm::DBNumberEditEh1Enter() {
    enterPortEdit(DBNumberEditEh1);
}

void TAppConfigForm::DBNumberEditEh1Exit() {
    leavePortEdit(DBNumberEditEh1);
}

void TAppConfigForm::DBNumberEditEh2Enter() {
    enterPortEdit(DBNumberEditEh2);
}

void TAppConfigForm::DBNumberEditEh2Exit() {
    leavePortEdit(DBNumberEditEh2);
}
