#include "DataGrid.h"
#include "ErrorReporter.h"
#include "KolForm.h"
#include "KolSplit.h"
#include "MainForm.h"
#include "OpenForm.h"
#include "OrderDesk.h"
#include "OrderFixture.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

// Entering quantities and using the archive through the real main window and its dialogs.
class TestOrderWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_profile;
    RecordingStatus m_status;
    ScriptedPrompts m_prompts;
    RecordingDesktop m_desktop;
    std::unique_ptr<TAppMainForm> m_form;

    const QString kLongName = u"Набор цветных карандашей трёхгранных с точилкой в металлическом пенале для школы"_qs;

    QString workDir() const { return m_profile->path() + QStringLiteral("/Application Data/TavrelCatalog/"); }

    void writeCatalogue() {
        QVERIFY(QDir().mkpath(workDir()));
        writeCp1251(workDir() + QStringLiteral("ZarenConfig.ini"),
                    {QStringLiteral("[COMMON]"), QStringLiteral("PathBase=") + workDir(), QStringLiteral("IsInputKolByWindow=1")});
        auto product = [](int id, const QString& code, const QString& name, const QString& price, const QString& st1,
                          const QString& st2, const QString& st3) {
            return priceLine(id, {{2, code}, {3, name}, {6, price}, {11, st1}, {12, st2}, {13, st3}, {14, u"10"_qs},
                                  {15, u"0.2"_qs}});
        };
        writeCp1251(workDir() + QStringLiteral("ExportPrice.csv"),
                    {kPriceHeader, product(1, u"К100"_qs, u"Ручка шариковая"_qs, u"12.50"_qs, u"10"_qs, u"50"_qs, u"200"_qs),
                     product(2, u"К200"_qs, u"Карандаш"_qs, u"3"_qs, u"0"_qs, u"0"_qs, u"0"_qs),
                     product(3, u"К300"_qs, kLongName, u"250"_qs, u"1"_qs, u"5"_qs, u"20"_qs),
                     product(4, u"К400"_qs, u"Тетрадь"_qs, u"40"_qs, u"10"_qs, u"0"_qs, u"100"_qs)});
        writeCp1251(workDir() + QStringLiteral("ExportClass.csv"),
                    {kClassHeader, QStringLiteral("1;Канцтовары;0"), QStringLiteral("11;Ручки;1")});
    }

    TAppMainForm& form() { return *m_form; }
    WorkingTables& t() { return m_form->tables(); }
    QuantityEntry& entry() { return m_form->orders().entry(); }
    ZakazOrder& order() { return m_form->orders().order(); }
    Table& zakaz() { return t().Zakaz; }

    void goTo(const QString& code) { QVERIFY(t().Price.locate(QStringLiteral("CODE"), {code})); }
    QStringList orderLines() {
        QStringList result;
        SqlStatement st = t().engine.db().prepare(QStringLiteral("select code, kol from zakaz order by id"));
        while (st.step())
            result << st.columnText(0) + QLatin1Char('=') + st.columnText(1);
        return result;
    }

    void setDirectMode(bool direct) {
        form().options().IsInputKolByWindow = direct ? 0 : 1;
        form().setOrderGridMode(!direct);
    }

    // Runs act on the next modal window; whatever act leaves open is closed afterwards, so a failed
    // check cannot hang the test.
    void onNextModal(std::function<void(QWidget*)> act, bool* seen) {
        QTimer::singleShot(0, this, [this, act, seen] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                onNextModal(act, seen);
                return;
            }
            *seen = true;
            act(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
                dialog->reject();
        });
    }
    void withKolForm(std::function<void(TAppKolForm*)> act, bool* seen) {
        onNextModal([act](QWidget* modal) { act(qobject_cast<TAppKolForm*>(modal)); }, seen);
    }

    static void type(QWidget* widget, const QString& text) { QTest::keyClicks(widget, text); }
    QLineEdit* cellEditor() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }

    void clickRow(DataGrid* grid, int row, int column) {
        const QModelIndex index = grid->model()->index(row, column);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }

private slots:
    void init() {
        m_profile = std::make_unique<QTemporaryDir>();
        qputenv("USERPROFILE", m_profile->path().toLocal8Bit());
        m_status = {};
        m_prompts = {};
        m_desktop = {};
        ErrorReporter::install(&m_prompts);
        writeCatalogue();
        m_form = std::make_unique<TAppMainForm>(m_status, m_prompts, m_desktop);
        QVERIFY(!form().terminationRequested());
        form().createDialogs();
        form().show();
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        QCOMPARE(t().Price.recordCount(), 4);
        QVERIFY(m_prompts.errors.isEmpty());
    }
    void cleanup() { m_form.reset(); }

    void orderGridShowsItsColumns() {
        const DatasetModel* model = form().grdZakaz->datasetModel();
        QStringList titles;
        for (int c = 0; c < model->columnCount(); ++c)
            titles << model->column(c).title;
        QCOMPARE(titles, (QStringList{u"№ п/п"_qs, u"Код"_qs, u"Наименование"_qs, u"Артикул"_qs, u"Кол-во"_qs,
                                      u"Цена прайса"_qs, u"Скидка %"_qs, u"Цена"_qs, u"Сумма"_qs, u"Скидка цены"_qs,
                                      u"Сумма по прайсу"_qs, u"Скидка суммы"_qs, u"% НДС"_qs, u"Торговая марка"_qs,
                                      u"Страна изготовитель"_qs}));
        QCOMPARE(form().grdZakaz->frozenColumns(), 3);
        order().AddZakazLine(1, 1234);
        QCOMPARE(model->displayText(0, 4), u"1 234"_qs);
        QCOMPARE(model->displayText(0, 8), u"15 425.00"_qs);
        QCOMPARE(form().Label1->text(), u"Сумма заказа: 15 425.00 - 0.00 = 15 425.00"_qs);
    }

    void dialogSplitsANewQuantityAndAddsTheLine() {
        goTo(u"К100"_qs);
        bool seen = false;
        withKolForm(
            [](TAppKolForm* kol) {
                QCOMPARE(kol->windowTitle(), u"Количество товара в заявке"_qs);
                QCOMPARE(kol->Label1->text(), u"Ручка шариковая"_qs);
                QCOMPARE(kol->Label15->text(), u"Стандарт (упаковка):"_qs);
                QCOMPARE(kol->Label10->text(), u"коробка"_qs);
                QCOMPARE((QStringList{kol->Label18->text(), kol->Label19->text(), kol->Label20->text()}),
                         (QStringList{u"10"_qs, u"50"_qs, u"200"_qs}));
                QCOMPARE(kol->MaskEdit1->text(), u"0"_qs);
                QCOMPARE(kol->MaskEdit2->text(), u"12.50"_qs);
                QCOMPARE(kol->MaskEdit6->text(), u"0"_qs);
                type(kol->MaskEdit1, u"473"_qs); // the whole text was selected: typing replaces it
                QCOMPARE((QStringList{kol->MaskEdit6->text(), kol->MaskEdit5->text(), kol->MaskEdit4->text(),
                                      kol->MaskEdit9->text()}),
                         (QStringList{u"2"_qs, u"1"_qs, u"2"_qs, u"3"_qs}));
                QCOMPARE(kol->MaskEdit3->text(), u"5 912.50"_qs);
                QCOMPARE(kol->MaskEdit7->text(), u"23.65"_qs);
                QCOMPARE(kol->MaskEdit8->text(), u"0.473"_qs);
                QTest::keyClick(kol->MaskEdit1, Qt::Key_Return);
            },
            &seen);
        QTest::keyClick(form().DBGridEh1, Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(orderLines(), QStringList{u"К100=473"_qs});
        QCOMPARE(kolzak(t(), 1).toInt(), 473);
        const DatasetModel* price = form().DBGridEh1->datasetModel();
        QCOMPARE(price->displayText(t().Price.recNo(), price->columnOfField(u"KOLZAK")), u"473"_qs);
        QVERIFY(!entry().IsKolInZakaz);
    }

    void dialogOpensAtTheOrderedQuantityAndZeroRemovesTheLine() {
        order().AddZakazLine(1, 25);
        goTo(u"К100"_qs);
        bool seen = false;
        withKolForm(
            [](TAppKolForm* kol) {
                QCOMPARE(kol->MaskEdit1->text(), u"25"_qs);
                QCOMPARE((QStringList{kol->MaskEdit6->text(), kol->MaskEdit5->text(), kol->MaskEdit4->text(),
                                      kol->MaskEdit9->text()}),
                         (QStringList{u"0"_qs, u"0"_qs, u"2"_qs, u"5"_qs}));
                QCOMPARE(kol->MaskEdit3->text(), u"312.50"_qs);
                type(kol->MaskEdit1, u"0"_qs);
                QCOMPARE(kol->MaskEdit3->text(), u"0.00"_qs);
                QTest::keyClick(kol->MaskEdit1, Qt::Key_Enter, Qt::ControlModifier);
            },
            &seen);
        QTest::keyClick(form().DBGridEh1, Qt::Key_Return);
        QVERIFY(seen);
        QVERIFY(orderLines().isEmpty());
        QVERIFY(kolzak(t(), 1).isNull());
        QCOMPARE(form().Label1->text(), kEmptyOrderTotal);
    }

    void withoutStandardsEveryPieceIsLoose() {
        goTo(u"К200"_qs);
        bool seen = false;
        withKolForm(
            [](TAppKolForm* kol) {
                type(kol->MaskEdit1, u"7"_qs);
                QCOMPARE((QStringList{kol->MaskEdit6->text(), kol->MaskEdit5->text(), kol->MaskEdit4->text(),
                                      kol->MaskEdit9->text(), kol->MaskEdit7->text(), kol->MaskEdit8->text()}),
                         (QStringList{u"0"_qs, u"0"_qs, u"0"_qs, u"7"_qs, u"0"_qs, u"0"_qs}));
                kol->BitBtn2->click();
            },
            &seen);
        QTest::keyClick(form().DBGridEh1, Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(orderLines(), QStringList{u"К200=7"_qs});
    }

    void dialogKeys_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<bool>("added");
        QTest::newRow("Esc in the box") << u"box"_qs << int(Qt::Key_Escape) << false << false;
        QTest::newRow("Ctrl+Enter on Отмена") << u"cancel"_qs << int(Qt::Key_Return) << true << true;
        QTest::newRow("Enter on Отмена") << u"cancel"_qs << int(Qt::Key_Return) << false << false;
        QTest::newRow("Esc on ОК") << u"ok"_qs << int(Qt::Key_Escape) << false << false;
        QTest::newRow("Enter on ОК") << u"ok"_qs << int(Qt::Key_Return) << false << true;
        QTest::newRow("Enter on the dialog") << u"dialog"_qs << int(Qt::Key_Enter) << false << true;
        QTest::newRow("Esc on the dialog") << u"dialog"_qs << int(Qt::Key_Escape) << false << false;
    }
    void dialogKeys() {
        QFETCH(QString, where);
        QFETCH(int, key);
        QFETCH(bool, ctrl);
        QFETCH(bool, added);
        goTo(u"К400"_qs);
        bool seen = false;
        withKolForm(
            [&](TAppKolForm* kol) {
                type(kol->MaskEdit1, u"5"_qs);
                QWidget* target = where == u"box"_qs      ? static_cast<QWidget*>(kol->MaskEdit1)
                                  : where == u"cancel"_qs ? static_cast<QWidget*>(kol->BitBtn1)
                                  : where == u"ok"_qs     ? static_cast<QWidget*>(kol->BitBtn2)
                                                          : static_cast<QWidget*>(kol);
                target->setFocus();
                QTest::keyClick(target, Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
                QVERIFY(!kol->isVisible());
            },
            &seen);
        QTest::keyClick(form().DBGridEh1, Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(orderLines(), added ? QStringList{u"К400=5"_qs} : QStringList());
        QVERIFY(!entry().IsKolInZakaz);
    }

    void enterWithoutAProductDoesNothing() {
        // A dialog that opens anyway is closed and counted, so a fault cannot hang the test.
        int opened = 0;
        QTimer guard;
        connect(&guard, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++opened;
                modal->close();
            }
        });
        guard.start(0);
        t().Price.setFilter(QStringLiteral("id=999"));
        t().Price.setFiltered(true);
        QCOMPARE(t().Price.recordCount(), 0);
        QTest::keyClick(form().DBGridEh1, Qt::Key_Return);
        form().SerchText->setFocus();
        QTest::keyClick(form().SerchText, Qt::Key_Return);
        QTest::keyClick(form().grdZakaz, Qt::Key_Return);
        QTest::keyClick(form().grdZakaz, Qt::Key_Delete);
        QCOMPARE(opened, 0);
        QVERIFY(m_prompts.questions.isEmpty());
        QVERIFY(orderLines().isEmpty());
    }

    void enterInTheSearchBoxOpensTheDialog() {
        goTo(u"К400"_qs);
        form().SerchText->setFocus();
        bool seen = false;
        QString shown;
        withKolForm([&](TAppKolForm* kol) { shown = kol->Label1->text(); }, &seen);
        QTest::keyClick(form().SerchText, Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(shown, u"Тетрадь"_qs);
        // The window's focus went to the price grid (it has it again once the window is active).
        QCOMPARE(form().focusWidget(), form().DBGridEh1);
    }

    void aLongNameGoesOnTwoLines() {
        goTo(u"К300"_qs);
        bool seen = false;
        QString shown;
        int width = 0;
        withKolForm(
            [&](TAppKolForm* kol) {
                shown = kol->Label1->text();
                width = kol->width();
            },
            &seen);
        QTest::keyClick(form().DBGridEh1, Qt::Key_Return);
        QVERIFY(seen);
        QVERIFY(QFontMetrics(form().font()).horizontalAdvance(kLongName) > width);
        QCOMPARE(shown, BreakLongName(kLongName));
        QVERIFY(shown.contains(QLatin1Char('\n')));
    }

    void enterOnAnOrderLineChangesItThroughTheDialog() {
        order().AddZakazLine(4, 3);
        form().grdZakaz->setFocus();
        bool seen = false;
        withKolForm(
            [](TAppKolForm* kol) {
                QCOMPARE(kol->Label1->text(), u"Тетрадь"_qs);
                QCOMPARE(kol->MaskEdit1->text(), u"3"_qs);
                type(kol->MaskEdit1, u"8"_qs);
                QTest::keyClick(kol->MaskEdit1, Qt::Key_Return);
            },
            &seen);
        QTest::keyClick(form().grdZakaz, Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(orderLines(), QStringList{u"К400=8"_qs});
        QCOMPARE(kolzak(t(), 4).toInt(), 8);
    }

    void deleteOnAnOrderLineAsksFirst() {
        order().AddZakazLine(4, 3);
        order().AddZakazLine(1, 2);
        QVERIFY(zakaz().locate(QStringLiteral("IDPRICE"), {4}));
        m_prompts.answers = {false, true};
        QTest::keyClick(form().grdZakaz, Qt::Key_Delete);
        QCOMPARE(m_prompts.questions, QStringList{u"Удалить текщую позицию?"_qs});
        QCOMPARE(orderLines().size(), 2);
        QTest::keyClick(form().grdZakaz, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(orderLines(), QStringList{u"К100=2"_qs});
        QVERIFY(kolzak(t(), 4).isNull());
        QCOMPARE(form().Label1->text(), u"Сумма заказа: 25.00 - 0.00 = 25.00"_qs);
    }

    void directEntryInThePriceGrid() {
        setDirectMode(true);
        DataGrid* grid = form().DBGridEh1;
        goTo(u"К100"_qs);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(entry().IsKolEditInPrice);
        QVERIFY(!grid->rowSelect());
        QCOMPARE(grid->currentColumn(), grid->datasetModel()->columnOfField(u"KOLZAK"));
        QLineEdit* editor = cellEditor();
        QVERIFY(editor);
        type(editor, u"12"_qs);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(orderLines(), QStringList{u"К100=12"_qs});
        QVERIFY(!entry().IsKolEditInPrice);
        QVERIFY(grid->rowSelect());

        // The cell opens with the ordered quantity; emptying it removes the line.
        QTest::keyClick(grid, Qt::Key_Return);
        editor = cellEditor();
        QVERIFY(editor);
        QCOMPARE(editor->text(), u"12"_qs);
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(orderLines().isEmpty());
        QVERIFY(kolzak(t(), 1).isNull());

        // Esc while typing changes nothing and returns to browsing.
        QTest::keyClick(grid, Qt::Key_Return);
        type(cellEditor(), u"5"_qs);
        QTest::keyClick(cellEditor(), Qt::Key_Escape);
        QVERIFY(orderLines().isEmpty());
        QVERIFY(kolzak(t(), 1).isNull());
        QVERIFY(!entry().IsKolEditInPrice);
        QVERIFY(!entry().IsKolInZakaz);
        QVERIFY(grid->rowSelect());
        QVERIFY(!t().Price.editing());
    }

    void movingToAnotherProductPostsTheTypedQuantity() {
        setDirectMode(true);
        DataGrid* grid = form().DBGridEh1;
        goTo(u"К100"_qs);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        type(cellEditor(), u"4"_qs);
        clickRow(grid, 3, 0);
        QCOMPARE(orderLines(), QStringList{u"К100=4"_qs});
        QCOMPARE(t().Price.value(u"CODE").toString(), u"К400"_qs);
        QVERIFY(!entry().IsKolEditInPrice);
        QVERIFY(grid->rowSelect());
    }

    void directEntryInTheOrderGrid() {
        order().AddZakazLine(1, 2);
        order().AddZakazLine(4, 3);
        setDirectMode(true);
        DataGrid* grid = form().grdZakaz;
        const int kolColumn = grid->datasetModel()->columnOfField(u"KOL");
        QVERIFY(!grid->rowSelect());
        QCOMPARE(grid->currentColumn(), kolColumn);
        clickRow(grid, 0, kolColumn);
        type(grid, u"7"_qs);
        // Clicking another line posts the first.
        clickRow(grid, 1, kolColumn);
        QCOMPARE(orderLines(), (QStringList{u"К100=7"_qs, u"К400=3"_qs}));
        QCOMPARE(kolzak(t(), 1).toInt(), 7);
        QVERIFY(!entry().IsKolEditInZakaz);
        // Enter on a line nobody typed into changes nothing.
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(orderLines(), (QStringList{u"К100=7"_qs, u"К400=3"_qs}));
        // Typing and Enter commits; 0 removes the line.
        type(grid, u"0"_qs);
        QTest::keyClick(cellEditor(), Qt::Key_Return);
        QCOMPARE(orderLines(), QStringList{u"К100=7"_qs});
        QVERIFY(kolzak(t(), 4).isNull());
        QCOMPARE(form().Label1->text(), u"Сумма заказа: 87.50 - 0.00 = 87.50"_qs);
    }

    void theDiscountBoxRepricesAtEveryKeystroke() {
        order().AddZakazLine(1, 2);
        form().eProc->setFocus();
        type(form().eProc, u"1"_qs);
        QCOMPARE(form().Label1->text(), u"Сумма заказа: 25.00 - 0.26 = 24.74"_qs);
        type(form().eProc, u"2"_qs);
        QCOMPARE(form().Label1->text(), u"Сумма заказа: 25.00 - 3.00 = 22.00"_qs);
        // Above 100 is refused as typed; a comma becomes the decimal point.
        type(form().eProc, u"0"_qs);
        QCOMPARE(form().eProc->text(), u"12"_qs);
        type(form().eProc, u",5"_qs);
        QCOMPARE(form().eProc->text(), u"12.5"_qs);
        QVERIFY(zakaz().locate(QStringLiteral("IDPRICE"), {1}));
        QCOMPARE(zakaz().value(u"CENA").toDouble(), 10.94);
    }

    void saveNewOrderAndTheArchiveWindow() {
        order().AddZakazLine(1, 2);
        order().AddZakazLine(4, 1);
        QTest::mouseClick(form().SpeedButton3, Qt::LeftButton);
        QCOMPARE(m_prompts.infos, QStringList{u"Текущий заказ сохранен."_qs});
        QTest::qWait(5); // a later moment for the second copy
        form().eProc->setText(u"10"_qs);
        m_prompts.answers = {true};
        QTest::mouseClick(form().SpeedButton1, Qt::LeftButton);
        QCOMPARE(m_prompts.questions,
                 QStringList{u"Перед открытием нового заказа ,можно сохранить текущий заказ. Сохранить?"_qs});
        QCOMPARE(m_prompts.infos.size(), 2);
        QVERIFY(orderLines().isEmpty());
        QVERIFY(marks(t()).isEmpty());
        QVERIFY(form().eProc->text().isEmpty());
        QCOMPARE(form().Label1->text(), kEmptyOrderTotal);
        QCOMPARE(t().Main.recordCount(), 2);

        // Deleting one and loading the other over a non-empty current order.
        order().AddZakazLine(2, 5);
        m_prompts.questions.clear();
        m_prompts.answers = {true, true};
        bool seen = false;
        QString newestSum;
        int headersBefore = 0, headersAfter = 0, linesShown = 0;
        onNextModal(
            [&](QWidget* modal) {
                auto* archive = qobject_cast<TAppOpenForm*>(modal);
                QVERIFY(archive);
                QCOMPARE(archive->windowTitle(), u"Архив заказов"_qs);
                headersBefore = archive->qMain.recordCount();
                linesShown = archive->DBGridEh2->model()->rowCount();
                // The newest, discounted copy is on top.
                newestSum = archive->DBGridEh1->datasetModel()->displayText(0, 1);
                QTest::keyClick(archive->DBGridEh1, Qt::Key_Delete);
                headersAfter = archive->qMain.recordCount();
                QTest::keyClick(archive->DBGridEh1, Qt::Key_Return, Qt::ControlModifier);
            },
            &seen);
        QTest::mouseClick(form().SpeedButton2, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(headersBefore, 2);
        QCOMPARE(linesShown, 2);
        QCOMPARE(newestSum, u"58.50"_qs);
        QCOMPARE(headersAfter, 1);
        QCOMPARE(m_prompts.questions, (QStringList{u"Удалить текущий заказ из архива?"_qs,
                                                   u"Загрузка заказа из архива заказов перепишет текущий заказ. Продолжить?"_qs}));
        QCOMPARE(orderLines(), (QStringList{u"К100=2"_qs, u"К400=1"_qs}));
        QCOMPARE(marks(t()), (QStringList{u"1=2"_qs, u"4=1"_qs}));
        QVERIFY(!form().AppOpenForm->isVisible());
    }

    void doubleClickLoadsIntoAnEmptyOrderWithoutAsking() {
        order().AddZakazLine(4, 6);
        form().orders().SpeedButton3Click();
        order().ClearZakaz();
        m_prompts.questions.clear();
        bool seen = false;
        onNextModal(
            [&](QWidget* modal) {
                auto* archive = qobject_cast<TAppOpenForm*>(modal);
                QVERIFY(QTest::qWaitForWindowExposed(archive));
                const QModelIndex first = archive->DBGridEh1->model()->index(0, 0);
                const QPoint at = archive->DBGridEh1->visualRect(first).center();
                QTest::mouseClick(archive->DBGridEh1->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(archive->DBGridEh1->viewport(), Qt::LeftButton, {},
                                   archive->DBGridEh1->visualRect(first).center());
            },
            &seen);
        QTest::mouseClick(form().SpeedButton2, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(m_prompts.questions.isEmpty());
        QCOMPARE(orderLines(), QStringList{u"К400=6"_qs});
    }
};

int main(int argc, char* argv[]) {
    TavrelApplication app(argc, argv);
    TestOrderWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_order_window.moc"
