#include "ConfigForm.h"
#include "IniFile.h"
#include "Settings.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <memory>

namespace {

const QString kIni = QStringLiteral("ZarenConfig.ini");

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct TextField {
    QString edit;
    QString key;
    QString TZarenOptions::*setting;
};

// Every plain text edit and the setting it edits; the supplier's are hidden but saved all the same.
const QList<TextField> kTextFields = {
    {QStringLiteral("Edit1"), QStringLiteral("PostName"), &TZarenOptions::PostName},
    {QStringLiteral("Edit2"), QStringLiteral("PostAdress"), &TZarenOptions::PostAdress},
    {QStringLiteral("Edit3"), QStringLiteral("PostInn"), &TZarenOptions::PostInn},
    {QStringLiteral("Edit4"), QStringLiteral("PostKpp"), &TZarenOptions::PostKpp},
    {QStringLiteral("Edit5"), QStringLiteral("PostContactFace"), &TZarenOptions::PostContactFace},
    {QStringLiteral("Edit6"), QStringLiteral("PostTels"), &TZarenOptions::PostTels},
    {QStringLiteral("Edit7"), QStringLiteral("MailForsend"), &TZarenOptions::MailForsend},
    {QStringLiteral("Edit8"), QStringLiteral("Orgname"), &TZarenOptions::Orgname},
    {QStringLiteral("Edit9"), QStringLiteral("OrgAdress"), &TZarenOptions::OrgAdress},
    {QStringLiteral("Edit10"), QStringLiteral("OrgInn"), &TZarenOptions::OrgInn},
    {QStringLiteral("Edit11"), QStringLiteral("OrgKpp"), &TZarenOptions::OrgKpp},
    {QStringLiteral("Edit12"), QStringLiteral("OrgContactFace"), &TZarenOptions::OrgContactFace},
    {QStringLiteral("Edit13"), QStringLiteral("OrgTels"), &TZarenOptions::OrgTels},
    {QStringLiteral("Edit14"), QStringLiteral("OrgMail"), &TZarenOptions::OrgMail},
    {QStringLiteral("Edit15"), QStringLiteral("PathBase"), &TZarenOptions::PathBase},
    {QStringLiteral("Edit16"), QStringLiteral("PathPicture"), &TZarenOptions::PathPicture},
    {QStringLiteral("Edit19"), QStringLiteral("ConnectHost"), &TZarenOptions::ConnectHost},
    {QStringLiteral("Edit18"), QStringLiteral("ConnectUserName"), &TZarenOptions::ConnectUserName},
    {QStringLiteral("Edit17"), QStringLiteral("ConnectPassword"), &TZarenOptions::ConnectPassword},
    {QStringLiteral("Edit20"), QStringLiteral("ProxyHost"), &TZarenOptions::ProxyHost},
    {QStringLiteral("Edit21"), QStringLiteral("ProxyUserName"), &TZarenOptions::ProxyUserName},
    {QStringLiteral("Edit22"), QStringLiteral("ProxyPassword"), &TZarenOptions::ProxyPassword},
};

// Remembers where the folder browser was asked to start.
class FolderPrompts final : public Prompts {
public:
    void error(const QString& text) override { errors << text; }
    void information(const QString&) override {}
    bool confirm(const QString&) override { return false; }
    QString chooseFolder(const QString& title, const QString& startFolder) override {
        titles << title;
        starts << startFolder;
        return answer;
    }
    QString chooseSaveFile(const QString&, const QString&, const QString&) override { return {}; }
    QStringList errors, titles, starts;
    QString answer;
};

// A working folder whose settings file a first run has just written, and the dialog over that record,
// wired to a stand-in for the main window's order grid.
class Fixture {
public:
    explicit Fixture(Prompts* prompts = nullptr) : m_promptsInUse(prompts ? prompts : &prompts_) {
        options.WorkDir = dir.path() + QLatin1Char('/');
        options.ConfigFile = kIni;
        LoadOptions(options, firstRun, options.WorkDir, options.ConfigFile);
        createDialog();
    }

    // As if the program started again: the record read back from the file, a new dialog over it.
    void restart() {
        TZarenOptions fresh;
        fresh.WorkDir = options.WorkDir;
        fresh.ConfigFile = options.ConfigFile;
        bool first = true;
        LoadOptions(fresh, first, fresh.WorkDir, fresh.ConfigFile);
        options = fresh;
        createDialog();
    }

    QString iniPath() const { return options.WorkDir + kIni; }
    QByteArray file() const { return readBytes(iniPath()); }
    int fileInteger(const QString& key) const { return IniFile::load(iniPath()).readInteger(u"COMMON", key, -1); }
    TZarenOptions reloaded() const {
        TZarenOptions o = options;
        bool first = true;
        LoadOptions(o, first, options.WorkDir, options.ConfigFile);
        return o;
    }

    // Writes the record to the file, so that the file and the record start out alike.
    void store() { SaveOptions(options, options.WorkDir, options.ConfigFile); }

    void open() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void openActive() {
        open();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }

    template <class T> T* get(const QString& name) const {
        T* widget = form->findChild<T*>(name);
        if (!widget)
            qFatal("no %s in the dialog", qPrintable(name));
        return widget;
    }
    QLineEdit* edit(const QString& name) const { return get<QLineEdit>(name); }
    QCheckBox* box(const QString& name) const { return get<QCheckBox>(name); }
    QComboBox* proxyList() const { return get<QComboBox>(QStringLiteral("ComboBox1")); }
    QPushButton* saveButton() const { return get<QPushButton>(QStringLiteral("SpeedButton2")); }
    QPushButton* cancelButton() const { return get<QPushButton>(QStringLiteral("SpeedButton1")); }

    // Shows the tab holding the widget by clicking its title, as a user would.
    void showTabOf(QWidget* widget) const {
        auto* tabs = get<QTabWidget>(QStringLiteral("pgCofigs"));
        auto* bar = tabs->findChild<QTabBar*>();
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(widget)) {
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
                return;
            }
        }
    }

    // Replaces the whole text of an edit from the keyboard.
    static void retype(QLineEdit* target, const QString& text) {
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_Delete);
        for (const QChar c : text) {
            // QTest knows key codes for ASCII only; other letters arrive as text, as from a Russian layout.
            if (c.unicode() < 0x80)
                QTest::keyClick(target, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    void clickSave() const { QTest::mouseClick(saveButton(), Qt::LeftButton); }
    void clickCancel() const { QTest::mouseClick(cancelButton(), Qt::LeftButton); }

    QTemporaryDir dir;
    TZarenOptions options;
    bool firstRun = false;
    ScriptedPrompts prompts_;
    std::unique_ptr<TAppConfigForm> form;

    // What the order grid was told, whether the dialog was still open then, and the file at that moment.
    QList<bool> gridModes;
    QList<bool> openAtSwitch;
    QByteArray fileAtSwitch;

private:
    void createDialog() {
        form = std::make_unique<TAppConfigForm>(options, firstRun, *m_promptsInUse, nullptr);
        form->onOrderGridMode = [this](bool byWindow) {
            gridModes << byWindow;
            openAtSwitch << form->isVisible();
            fileAtSwitch = file();
        };
    }

    Prompts* m_promptsInUse;
};

// Distinct values in every text setting, so that an edit wired to the wrong setting shows.
void fillDistinct(TZarenOptions& options) {
    for (const TextField& f : kTextFields)
        options.*f.setting = QStringLiteral("было ") + f.key;
    options.PathBase = QStringLiteral("/было/база/");
    options.PathPicture = QStringLiteral("/было/картинки/");
}

} // namespace

Q_DECLARE_METATYPE(TIdFtpProxyType)

class TestConfigForm : public QObject {
    Q_OBJECT

private slots:
    void formLooksAsDesigned();
    void labelsNameTheirFields_data();
    void labelsNameTheirFields();
    void nothingClippedAndFieldsLineUp();
    void passwordsShowStars();

    void textFieldsShownAndSavedTrimmed_data();
    void textFieldsShownAndSavedTrimmed();
    void foldersEndWithOneSeparator_data();
    void foldersEndWithOneSeparator();
    void folderButtons_data();
    void folderButtons();
    void proxyPositionRoundTrip_data();
    void proxyPositionRoundTrip();
    void unlistedProxyTypeKeepsSelection();
    void checkBoxes_data();
    void checkBoxes();
    void orderGridSwitchedBeforeClosing_data();
    void orderGridSwitchedBeforeClosing();

    void portEditEmptyWhileZero_data();
    void portEditEmptyWhileZero();
    void portSaved_data();
    void portSaved();

    void cancelLeavesRecordAndFile();
    void everyClosingClearsFirstRun_data();
    void everyClosingClearsFirstRun();
    void failedSaveShowsErrorAndStaysOpen();
};

void TestConfigForm::formLooksAsDesigned() {
    Fixture f;
    f.open();
    TAppConfigForm& form = *f.form;

    QCOMPARE(form.windowTitle(), QStringLiteral("Настройки"));
    QCOMPARE(form.size(), QSize(518, 372));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QPoint offCentre = form.frameGeometry().center() - form.screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 40, "not centred on the screen");

    auto* tabs = f.get<QTabWidget>(QStringLiteral("pgCofigs"));
    QCOMPARE(tabs->count(), 3);
    const QStringList names = {QStringLiteral("TabSheet1"), QStringLiteral("TabSheet2"), QStringLiteral("TabSheet3")};
    const QStringList titles = {QStringLiteral("Информационные"), QStringLiteral("Системные"), QStringLiteral("Связь")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), names[i]);
        QCOMPARE(tabs->tabText(i), titles[i]);
    }
    QCOMPARE(tabs->currentIndex(), 0);

    const QList<std::pair<QString, QString>> groups = {
        {QStringLiteral("GroupBox1"), QStringLiteral("Покупатель")},
        {QStringLiteral("GroupBox2"), QStringLiteral("Поставщик")},
        {QStringLiteral("GroupBox3"), QStringLiteral("FTP")},
        {QStringLiteral("GroupBox4"), QStringLiteral("Параметры  Прокси")},
    };
    for (const auto& [name, title] : groups)
        QCOMPARE(f.get<QGroupBox>(name)->title(), title);
    QVERIFY(f.get<QGroupBox>(QStringLiteral("GroupBox1"))->isVisible());
    // The supplier's group and every edit in it stay out of sight.
    QVERIFY(!f.get<QGroupBox>(QStringLiteral("GroupBox2"))->isVisibleTo(&form));
    for (int i = 1; i <= 7; ++i)
        QVERIFY(!f.edit(QStringLiteral("Edit%1").arg(i))->isVisibleTo(&form));

    QCOMPARE(f.saveButton()->text(), QStringLiteral("Сохранить"));
    QCOMPARE(f.cancelButton()->text(), QStringLiteral("Отмена"));
    QVERIFY(f.get<QWidget>(QStringLiteral("pButtons"))->isAncestorOf(f.saveButton()));
    QCOMPARE(f.get<QToolButton>(QStringLiteral("SpeedButton3"))->text(), QStringLiteral("..."));
    QCOMPARE(f.get<QToolButton>(QStringLiteral("SpeedButton4"))->text(), QStringLiteral("..."));

    const QStringList entries = {QString(),
                                 QStringLiteral("HTTP-прокси с поддержкой FTP"),
                                 QStringLiteral("Посылать команду OPEN"),
                                 QStringLiteral("Посылать команду SITE (с входом в систему)"),
                                 QStringLiteral("Прозрачный"),
                                 QStringLiteral("USER PASS"),
                                 QStringLiteral("USER SITE"),
                                 QStringLiteral("Socket5")};
    QComboBox* list = f.proxyList();
    QVERIFY(!list->isEditable());
    QCOMPARE(list->count(), entries.size());
    for (int i = 0; i < entries.size(); ++i)
        QCOMPARE(list->itemText(i), entries[i]);
}

void TestConfigForm::labelsNameTheirFields_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");

    const QStringList info = {
        QStringLiteral("Наименование:"), QStringLiteral("Адресс:"),          QStringLiteral("ИНН:"),
        QStringLiteral("КПП:"),          QStringLiteral("Контактное лицо:"), QStringLiteral("Телефоны:"),
        QStringLiteral("E-Mail:")};
    for (int row = 0; row < info.size(); ++row) {
        QTest::addRow("Edit%d", row + 8) << QStringLiteral("Edit%1").arg(row + 8) << info[row];
        QTest::addRow("Edit%d", row + 1) << QStringLiteral("Edit%1").arg(row + 1) << info[row];
    }
    QTest::newRow("Edit15") << QStringLiteral("Edit15") << QStringLiteral("Путь до файлов экспорта данных:");
    QTest::newRow("Edit16") << QStringLiteral("Edit16") << QStringLiteral("Путь до файлов изображений товаров:");
    QTest::newRow("Edit19") << QStringLiteral("Edit19") << QStringLiteral("Хост:");
    QTest::newRow("DBNumberEditEh1") << QStringLiteral("DBNumberEditEh1") << QStringLiteral("порт:");
    QTest::newRow("Edit18") << QStringLiteral("Edit18") << QStringLiteral("Логин:");
    QTest::newRow("Edit17") << QStringLiteral("Edit17") << QStringLiteral("пароль:");
    QTest::newRow("Edit20") << QStringLiteral("Edit20") << QStringLiteral("Хост:");
    QTest::newRow("DBNumberEditEh2") << QStringLiteral("DBNumberEditEh2") << QStringLiteral("порт:");
    QTest::newRow("Edit21") << QStringLiteral("Edit21") << QStringLiteral("Логин:");
    QTest::newRow("Edit22") << QStringLiteral("Edit22") << QStringLiteral("пароль:");
    QTest::newRow("ComboBox1") << QStringLiteral("ComboBox1") << QStringLiteral("Тип прокси:");
    // Check boxes are their own labels; a long caption may be broken over two lines on screen.
    QTest::newRow("CheckBox1") << QStringLiteral("CheckBox1")
                               << QStringLiteral(
                                      "Всегда, при старте программы, автоматически импортировать новые данные по FTP");
    QTest::newRow("CheckBox2") << QStringLiteral("CheckBox2")
                               << QStringLiteral("Ввод количества в заказ через окно диалога");
    QTest::newRow("CheckBox3") << QStringLiteral("CheckBox3") << QStringLiteral("Пассивный режим");
}

void TestConfigForm::labelsNameTheirFields() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    Fixture f;
    QWidget* widget = f.get<QWidget>(field);

    QCOMPARE(widget->accessibleName(), text);
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QCOMPARE(box->text().replace(QLatin1Char('\n'), QLatin1Char(' ')), text);
        return;
    }
    // Exactly one label, in the same group, names the field and leads the keyboard to it.
    QList<QLabel*> naming;
    for (QLabel* label : f.form->findChildren<QLabel*>()) {
        if (label->buddy() == widget)
            naming << label;
    }
    QCOMPARE(naming.size(), 1);
    QCOMPARE(naming.front()->text(), text);
    QCOMPARE(naming.front()->parentWidget(), widget->parentWidget());
}

void TestConfigForm::nothingClippedAndFieldsLineUp() {
    Fixture f;
    f.open();
    auto* tabs = f.get<QTabWidget>(QStringLiteral("pgCofigs"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QWidget* page = tabs->widget(i);
        QApplication::processEvents();
        QList<QWidget*> shown;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (w->isVisible() && (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                                   qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w)))
                shown << w;
        }
        QVERIFY(!shown.isEmpty());
        for (QWidget* w : shown) {
            const QByteArray what =
                w->objectName().toUtf8() + ' ' + w->metaObject()->className() + " on tab " + QByteArray::number(i + 1);
            const QRect onPage(w->mapTo(page, QPoint(0, 0)), w->size());
            QVERIFY2(page->rect().contains(onPage), what.constData());
            // Captions and entries are not cut; an edit shows at least ten characters.
            const QSize needed = qobject_cast<QLineEdit*>(w)
                                     ? QSize(w->fontMetrics().horizontalAdvance(QString(10, QLatin1Char('0'))),
                                             w->minimumSizeHint().height())
                                     : w->sizeHint();
            QVERIFY2(w->width() >= needed.width() && w->height() >= needed.height(), what.constData());
        }
    }
    for (QPushButton* button : {f.saveButton(), f.cancelButton()}) {
        QVERIFY(f.form->rect().contains(QRect(button->mapTo(f.form.get(), QPoint(0, 0)), button->size())));
        QVERIFY(button->width() >= button->sizeHint().width());
    }
    // The fields of the two connection groups line up, column by column.
    tabs->setCurrentIndex(2);
    auto left = [&](const char* name) {
        return f.get<QWidget>(QLatin1String(name))->mapTo(f.form.get(), QPoint(0, 0)).x();
    };
    QCOMPARE(left("Edit19"), left("Edit20"));
    QCOMPARE(left("Edit18"), left("Edit21"));
    QCOMPARE(left("DBNumberEditEh1"), left("DBNumberEditEh2"));
    QCOMPARE(left("Edit17"), left("Edit22"));
}

void TestConfigForm::passwordsShowStars() {
    Fixture f;
    f.open();
    for (const QString& name : {QStringLiteral("Edit17"), QStringLiteral("Edit22")}) {
        QLineEdit* password = f.edit(name);
        Fixture::retype(password, QStringLiteral("тайна 7"));
        QCOMPARE(password->text(), QStringLiteral("тайна 7"));
        QCOMPARE(password->displayText(), QString(7, QLatin1Char('*')));
    }
    // Logins are shown as typed.
    QCOMPARE(f.edit(QStringLiteral("Edit18"))->echoMode(), QLineEdit::Normal);
}

void TestConfigForm::textFieldsShownAndSavedTrimmed_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < kTextFields.size(); ++i) {
        // The folders get a separator as well; their own test covers them.
        if (kTextFields[i].key.startsWith(QLatin1String("Path")))
            continue;
        QTest::newRow(qPrintable(kTextFields[i].edit + QLatin1Char(' ') + kTextFields[i].key)) << i;
    }
}

void TestConfigForm::textFieldsShownAndSavedTrimmed() {
    QFETCH(int, index);
    const TextField& field = kTextFields[index];
    Fixture f;
    fillDistinct(f.options);
    f.store();
    f.open();

    QLineEdit* target = f.edit(field.edit);
    QCOMPARE(target->text(), f.options.*field.setting);

    TZarenOptions expected = f.options;
    expected.*field.setting = QStringLiteral("Новое  значение");
    Fixture::retype(target, QStringLiteral("  Новое  значение  "));
    f.clickSave();

    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.options, expected);
    QCOMPARE(f.reloaded(), expected);
}

void TestConfigForm::foldersEndWithOneSeparator_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");

    for (const QString& edit : {QStringLiteral("Edit15"), QStringLiteral("Edit16")}) {
        const QByteArray e = edit.toLatin1();
        QTest::addRow("%s emptied", e.constData()) << edit << QString() << QStringLiteral("/");
        QTest::addRow("%s blanks only", e.constData()) << edit << QStringLiteral("   ") << QStringLiteral("/");
        QTest::addRow("%s separator added", e.constData())
            << edit << QStringLiteral("/данные/прайс") << QStringLiteral("/данные/прайс/");
        QTest::addRow("%s separator kept once", e.constData())
            << edit << QStringLiteral("/данные/прайс/") << QStringLiteral("/данные/прайс/");
        QTest::addRow("%s blanks around", e.constData())
            << edit << QStringLiteral("  /данные/прайс/  ") << QStringLiteral("/данные/прайс/");
    }
}

void TestConfigForm::foldersEndWithOneSeparator() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    Fixture f;
    fillDistinct(f.options);
    f.store();
    f.open();

    TZarenOptions expected = f.options;
    (field == QLatin1String("Edit15") ? expected.PathBase : expected.PathPicture) = saved;
    f.showTabOf(f.edit(field));
    Fixture::retype(f.edit(field), typed);
    f.clickSave();

    QCOMPARE(f.options, expected);
    QCOMPARE(f.reloaded(), expected);
}

void TestConfigForm::folderButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("startExists");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("shown");

    const QString data = QStringLiteral("Укажите путь до файлов с данными");
    const QString pictures = QStringLiteral("Укажите каталог с изображениями");
    const QString b3 = QStringLiteral("SpeedButton3"), b4 = QStringLiteral("SpeedButton4");
    const QString e15 = QStringLiteral("Edit15"), e16 = QStringLiteral("Edit16");
    const QString was = QStringLiteral("<as before>");

    QTest::newRow("data folder chosen") << b3 << e15 << data << true << QStringLiteral("/srv/прайс")
                                        << QStringLiteral("/srv/прайс/");
    QTest::newRow("data folder with separator")
        << b3 << e15 << data << false << QStringLiteral("/srv/прайс/") << QStringLiteral("/srv/прайс/");
    QTest::newRow("data folder cancelled") << b3 << e15 << data << true << QString() << was;
    QTest::newRow("picture folder chosen")
        << b4 << e16 << pictures << false << QStringLiteral(" /srv/фото ") << QStringLiteral("/srv/фото/");
    QTest::newRow("picture folder cancelled") << b4 << e16 << pictures << false << QString() << was;
}

void TestConfigForm::folderButtons() {
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, title);
    QFETCH(bool, startExists);
    QFETCH(QString, answer);
    QFETCH(QString, shown);

    FolderPrompts prompts;
    prompts.answer = answer;
    Fixture f(&prompts);
    QTemporaryDir existing;
    // The browser starts at the folder in the edit only when there is such a folder.
    const QString start = startExists ? existing.path() : existing.path() + QStringLiteral("/нет такой");
    (field == QLatin1String("Edit15") ? f.options.PathBase : f.options.PathPicture) = QStringLiteral("  ") + start;
    f.open();
    QLineEdit* target = f.edit(field);
    const QString before = target->text();

    f.showTabOf(target);
    QTest::mouseClick(f.get<QToolButton>(button), Qt::LeftButton);

    QCOMPARE(prompts.titles, QStringList{title});
    QCOMPARE(prompts.starts, QStringList{startExists ? start : QString()});
    QCOMPARE(target->text(), shown == QLatin1String("<as before>") ? before : shown);
    QVERIFY(f.form->isVisible());
}

void TestConfigForm::proxyPositionRoundTrip_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<TIdFtpProxyType>("type");
    QTest::addColumn<bool>("socks5");

    using T = TIdFtpProxyType;
    QTest::newRow("0 none") << 0 << QString() << T::fpcmNone << false;
    QTest::newRow("1 HTTP") << 1 << QStringLiteral("HTTP-прокси с поддержкой FTP") << T::fpcmHttpProxyWithFtp << false;
    QTest::newRow("2 OPEN") << 2 << QStringLiteral("Посылать команду OPEN") << T::fpcmOpen << false;
    QTest::newRow("3 SITE") << 3 << QStringLiteral("Посылать команду SITE (с входом в систему)") << T::fpcmSite
                            << false;
    QTest::newRow("4 transparent") << 4 << QStringLiteral("Прозрачный") << T::fpcmTransparent << false;
    QTest::newRow("5 USER PASS") << 5 << QStringLiteral("USER PASS") << T::fpcmUserPass << false;
    QTest::newRow("6 USER SITE") << 6 << QStringLiteral("USER SITE") << T::fpcmUserSite << false;
    QTest::newRow("7 Socket5") << 7 << QStringLiteral("Socket5") << T::fpcmNone << true;
}

void TestConfigForm::proxyPositionRoundTrip() {
    QFETCH(int, position);
    QFETCH(QString, entry);
    QFETCH(TIdFtpProxyType, type);
    QFETCH(bool, socks5);
    Fixture f;
    // Start from a different choice, SOCKS 5 among them, so that each row has to change both fields.
    if (socks5) {
        f.options.ProxyType = TIdFtpProxyType::fpcmOpen;
    } else {
        f.options.ProxyType = TIdFtpProxyType::fpcmNone;
        f.options.UseSocks5 = true;
    }
    f.store();
    f.open();

    QComboBox* list = f.proxyList();
    f.showTabOf(list);
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < position; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentText(), entry);
    f.clickSave();

    QCOMPARE(f.options.ProxyType, type);
    QCOMPARE(f.options.UseSocks5, socks5);
    QCOMPARE(f.fileInteger(QStringLiteral("ProxyType")), position);

    f.restart();
    f.open();
    QCOMPARE(f.proxyList()->currentIndex(), position);
    QCOMPARE(f.proxyList()->currentText(), entry);
}

void TestConfigForm::unlistedProxyTypeKeepsSelection() {
    Fixture f;
    f.options.ProxyType = TIdFtpProxyType::fpcmCustomProxy;
    f.open();
    // Nothing to select at first, and saving with nothing selected leaves the type alone.
    QCOMPARE(f.proxyList()->currentIndex(), -1);
    f.clickSave();
    QCOMPARE(f.options.ProxyType, TIdFtpProxyType::fpcmCustomProxy);
    QVERIFY(!f.options.UseSocks5);

    f.options.UseSocks5 = true;
    f.open();
    QCOMPARE(f.proxyList()->currentIndex(), 7);
    f.clickCancel();
    // An unlisted type at the next opening shows the previous choice again.
    f.options.UseSocks5 = false;
    f.open();
    QCOMPARE(f.proxyList()->currentIndex(), 7);
}

void TestConfigForm::checkBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<int>("saved");

    // Any positive number ticks the box; saving writes it back as 1 or 0.
    const QString c1 = QStringLiteral("CheckBox1"), c2 = QStringLiteral("CheckBox2"), c3 = QStringLiteral("CheckBox3");
    QTest::newRow("import 5") << c1 << QStringLiteral("IsImportOnStart") << 5 << true << 1;
    QTest::newRow("import -1") << c1 << QStringLiteral("IsImportOnStart") << -1 << false << 0;
    QTest::newRow("dialog entry 2") << c2 << QStringLiteral("IsInputKolByWindow") << 2 << true << 1;
    QTest::newRow("dialog entry 0") << c2 << QStringLiteral("IsInputKolByWindow") << 0 << false << 0;
    QTest::newRow("passive on") << c3 << QStringLiteral("ConnectPassive") << 1 << true << 1;
    QTest::newRow("passive off") << c3 << QStringLiteral("ConnectPassive") << 0 << false << 0;
}

void TestConfigForm::checkBoxes() {
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(int, stored);
    QFETCH(bool, ticked);
    QFETCH(int, saved);
    Fixture f;
    // The other boxes start the opposite way, so a box wired to the wrong setting shows.
    f.options.IsImportOnStart = ticked ? 0 : 1;
    f.options.IsInputKolByWindow = ticked ? 0 : 1;
    f.options.ConnectPassive = !ticked;
    if (key == QLatin1String("IsImportOnStart"))
        f.options.IsImportOnStart = stored;
    else if (key == QLatin1String("IsInputKolByWindow"))
        f.options.IsInputKolByWindow = stored;
    else
        f.options.ConnectPassive = stored != 0;
    f.open();

    QCOMPARE(f.box(name)->isChecked(), ticked);
    f.clickSave();
    QCOMPARE(f.fileInteger(key), saved);

    // Toggled from the keyboard, the setting follows.
    f.open();
    QCheckBox* box = f.box(name);
    f.showTabOf(box);
    QTest::keyClick(box, Qt::Key_Space);
    f.clickSave();
    QCOMPARE(f.fileInteger(key), 1 - saved);
}

void TestConfigForm::orderGridSwitchedBeforeClosing_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("byWindow");
    QTest::newRow("unticked: edit in place") << 1 << false;
    QTest::newRow("ticked: through the dialog") << 0 << true;
}

void TestConfigForm::orderGridSwitchedBeforeClosing() {
    QFETCH(int, stored);
    QFETCH(bool, byWindow);
    Fixture f;
    f.options.IsInputKolByWindow = stored;
    f.store();
    const QByteArray before = f.file();
    f.open();

    QCheckBox* box = f.box(QStringLiteral("CheckBox2"));
    f.showTabOf(box);
    QTest::keyClick(box, Qt::Key_Space);
    QVERIFY(f.gridModes.isEmpty());
    f.clickSave();

    QCOMPARE(f.gridModes, QList<bool>{byWindow});
    QCOMPARE(f.openAtSwitch, QList<bool>{true});
    // The grid changes first; the file is written afterwards.
    QCOMPARE(f.fileAtSwitch, before);
    QCOMPARE(f.fileInteger(QStringLiteral("IsInputKolByWindow")), byWindow ? 1 : 0);
    QVERIFY(!f.form->isVisible());
}

void TestConfigForm::portEditEmptyWhileZero_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("whileIn");
    QTest::addColumn<QString>("afterwards");

    const QString ftp = QStringLiteral("DBNumberEditEh1"), proxy = QStringLiteral("DBNumberEditEh2");
    QTest::newRow("FTP 0") << ftp << 0 << QString() << QStringLiteral("0");
    QTest::newRow("FTP 21") << ftp << 21 << QStringLiteral("21") << QStringLiteral("21");
    QTest::newRow("proxy 0") << proxy << 0 << QString() << QStringLiteral("0");
    QTest::newRow("proxy 3128") << proxy << 3128 << QStringLiteral("3128") << QStringLiteral("3128");
}

void TestConfigForm::portEditEmptyWhileZero() {
    QFETCH(QString, name);
    QFETCH(int, port);
    QFETCH(QString, whileIn);
    QFETCH(QString, afterwards);
    Fixture f;
    (name.endsWith(QLatin1Char('1')) ? f.options.ConnectPort : f.options.ProxyPort) = port;
    f.openActive();

    QLineEdit* edit = f.edit(name);
    QCOMPARE(edit->text(), QString::number(port));
    f.showTabOf(edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->text(), whileIn);

    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(!edit->hasFocus());
    QCOMPARE(edit->text(), afterwards);

    // Leaving it blank after typing restores 0 as well.
    QTest::mouseClick(edit, Qt::LeftButton);
    Fixture::retype(edit, QString());
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(edit->text(), QStringLiteral("0"));
}

void TestConfigForm::portSaved_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("saved");

    const QString ftp = QStringLiteral("DBNumberEditEh1"), proxy = QStringLiteral("DBNumberEditEh2");
    QTest::newRow("FTP emptied") << ftp << QStringLiteral("ConnectPort") << QString() << 0;
    QTest::newRow("FTP typed") << ftp << QStringLiteral("ConnectPort") << QStringLiteral("2121") << 2121;
    QTest::newRow("FTP letters ignored") << ftp << QStringLiteral("ConnectPort") << QStringLiteral("8a0 ,1") << 801;
    QTest::newRow("proxy emptied") << proxy << QStringLiteral("ProxyPort") << QString() << 0;
    QTest::newRow("proxy typed") << proxy << QStringLiteral("ProxyPort") << QStringLiteral("3128") << 3128;
}

void TestConfigForm::portSaved() {
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, typed);
    QFETCH(int, saved);
    Fixture f;
    f.options.ConnectPort = 21;
    f.options.ProxyPort = 8080;
    f.open();

    QLineEdit* edit = f.edit(name);
    f.showTabOf(edit);
    Fixture::retype(edit, typed);
    // Pressed without taking the focus, so the edit is saved as it stands, possibly empty.
    f.saveButton()->click();

    QCOMPARE(key == QLatin1String("ConnectPort") ? f.options.ConnectPort : f.options.ProxyPort, saved);
    QCOMPARE(f.fileInteger(key), saved);
}

void TestConfigForm::cancelLeavesRecordAndFile() {
    Fixture f;
    fillDistinct(f.options);
    f.options.ConnectPort = 2121;
    f.options.IsInputKolByWindow = 1;
    f.store();
    const TZarenOptions record = f.options;
    const QByteArray file = f.file();
    f.open();

    auto* tabs = f.get<QTabWidget>(QStringLiteral("pgCofigs"));
    Fixture::retype(f.edit(QStringLiteral("Edit8")), QStringLiteral("ООО Другое"));
    Fixture::retype(f.edit(QStringLiteral("Edit15")), QStringLiteral("/другая/"));
    QTest::keyClick(f.box(QStringLiteral("CheckBox2")), Qt::Key_Space);
    Fixture::retype(f.edit(QStringLiteral("DBNumberEditEh1")), QStringLiteral("99"));
    QTest::keyClick(f.proxyList(), Qt::Key_End);
    f.showTabOf(f.proxyList());
    QCOMPARE(tabs->currentIndex(), 2);
    f.clickCancel();

    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.options, record);
    QCOMPARE(f.file(), file);
    QVERIFY(f.gridModes.isEmpty());

    // The next opening starts on the first tab and shows the saved values, not the discarded ones.
    f.open();
    QCOMPARE(tabs->currentIndex(), 0);
    for (const TextField& field : kTextFields)
        QCOMPARE(f.edit(field.edit)->text(), record.*field.setting);
    QVERIFY(f.box(QStringLiteral("CheckBox2"))->isChecked());
    QCOMPARE(f.edit(QStringLiteral("DBNumberEditEh1"))->text(), QStringLiteral("2121"));
    QCOMPARE(f.proxyList()->currentIndex(), 0);
}

void TestConfigForm::everyClosingClearsFirstRun_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("saves");
    QTest::newRow("window close button") << QStringLiteral("close") << false;
    QTest::newRow("Отмена") << QStringLiteral("cancel") << false;
    QTest::newRow("Escape") << QStringLiteral("escape") << false;
    QTest::newRow("Сохранить") << QStringLiteral("save") << true;
}

void TestConfigForm::everyClosingClearsFirstRun() {
    QFETCH(QString, how);
    QFETCH(bool, saves);
    Fixture f;
    QVERIFY(f.firstRun);
    const QByteArray defaults = f.file();
    const TZarenOptions record = f.options;

    // Opened modally, as at the first activation of the main window.
    bool closedThatWay = false;
    QTimer::singleShot(0, f.form.get(), [&] {
        Fixture::retype(f.edit(QStringLiteral("Edit8")), QStringLiteral("ООО Ромашка"));
        if (how == QLatin1String("close"))
            f.form->windowHandle()->close();
        else if (how == QLatin1String("cancel"))
            f.clickCancel();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(f.edit(QStringLiteral("Edit8")), Qt::Key_Escape);
        else
            f.clickSave();
        closedThatWay = !f.form->isVisible();
        if (!closedThatWay)
            f.form->done(-1);
    });
    f.form->exec();

    QVERIFY(closedThatWay);
    QVERIFY(!f.firstRun);
    if (saves) {
        QCOMPARE(f.options.Orgname, QStringLiteral("ООО Ромашка"));
        QCOMPARE(f.reloaded().Orgname, QStringLiteral("ООО Ромашка"));
    } else {
        QCOMPARE(f.file(), defaults);
        QCOMPARE(f.options, record);
        QCOMPARE(f.options.PostName, QStringLiteral("ООО Сервис Таврел"));
    }
}

void TestConfigForm::failedSaveShowsErrorAndStaysOpen() {
    Fixture f;
    QVERIFY(f.firstRun);
    // A folder where the settings file should be: it can be neither read nor replaced.
    QVERIFY(QFile::remove(f.iniPath()));
    QVERIFY(QDir().mkdir(f.iniPath()));
    f.open();
    Fixture::retype(f.edit(QStringLiteral("Edit8")), QStringLiteral("ООО Ромашка"));
    f.clickSave();

    QCOMPARE(f.prompts_.errors.size(), 1);
    QVERIFY2(f.prompts_.errors.front().contains(kIni), qPrintable(f.prompts_.errors.front()));
    QVERIFY(f.form->isVisible());
    QVERIFY(f.firstRun);
    QCOMPARE(f.edit(QStringLiteral("Edit8"))->text(), QStringLiteral("ООО Ромашка"));

    // Once the folder is usable again, the same dialog saves.
    QVERIFY(QDir().rmdir(f.iniPath()));
    f.clickSave();
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.prompts_.errors.size(), 1);
    QCOMPARE(f.reloaded().Orgname, QStringLiteral("ООО Ромашка"));
}

QTEST_MAIN(TestConfigForm)
#include "tst_config_form.moc"
