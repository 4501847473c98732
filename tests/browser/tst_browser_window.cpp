#include "BigImageForm.h"
#include "CatalogBrowser.h"
#include "DataGrid.h"
#include "ErrorReporter.h"
#include "GroupTree.h"
#include "MainForm.h"
#include "PictureView.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

// Browsing the catalogue in the real main window, over a small catalogue of its own.
class TestBrowserWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_profile;
    RecordingStatus m_status;
    ScriptedPrompts m_prompts;
    RecordingDesktop m_desktop;
    std::unique_ptr<TAppMainForm> m_form;

    QString workDir() const { return m_profile->path() + QStringLiteral("/Application Data/TavrelCatalog/"); }
    QString pictureDir() const { return m_profile->path() + QStringLiteral("/pictures/"); }
    QString tempPictureDir() const { return workDir() + QStringLiteral("TempPicture/"); }

    static QString product(int id, const QString& code, const QString& name, const QString& articul,
                           const QString& price, const QString& maxDiscount, int group, int subgroup, bool isNew,
                           bool hasPhoto, int stock) {
        return priceLine(id, {{2, code},
                              {3, name},
                              {5, QString::number(stock)},
                              {6, price},
                              {7, maxDiscount},
                              {8, articul},
                              {16, QString::number(group)},
                              {17, QString::number(subgroup)},
                              {18, isNew ? QStringLiteral("1") : QStringLiteral("0")},
                              {19, hasPhoto ? QStringLiteral("1") : QStringLiteral("0")}});
    }

    // Ordered by code: ../pic, 12345, 2001, 20015, Б0077, К12345, К30001, РУ100.
    void writeCatalogue() {
        QVERIFY(QDir().mkpath(workDir()));
        QVERIFY(QDir().mkpath(pictureDir()));
        writeCp1251(workDir() + QStringLiteral("ZarenConfig.ini"),
                    {QStringLiteral("[COMMON]"), QStringLiteral("PathBase=") + workDir(),
                     QStringLiteral("PathPicture=") + pictureDir(), QStringLiteral("IsInputKolByWindow=1")});
        writeCp1251(
            workDir() + QStringLiteral("ExportPrice.csv"),
            {kPriceHeader,
             product(1, u"К12345"_qs, u"Ручка шариковая синяя"_qs, u"RS-100"_qs, u"100"_qs, u"10"_qs, 1, 11, false,
                     true, 50),
             product(2, u"Б0077"_qs, u"Ручка гелевая 2001"_qs, u"GL-2001"_qs, u"100"_qs, u"0"_qs, 1, 11, true, true,
                     10),
             product(3, u"12345"_qs, u"Карандаш простой"_qs, u"2001-K"_qs, u"100"_qs, u"0.01"_qs, 1, 12, false, false,
                     30),
             product(4, u"2001"_qs, u"Тетрадь Школьная 2001"_qs, u"T-12"_qs, u"55.5"_qs, u"0"_qs, 2, 0, true, false, 5),
             product(5, u"РУ100"_qs, u"Блокнот"_qs, u"B-5"_qs, u"20"_qs, u"0"_qs, 2, 21, false, true, 70),
             product(6, u"К30001"_qs, u"Скрепки 2001"_qs, u"SK-1"_qs, u"10"_qs, u"0"_qs, 0, 0, true, false, 0),
             product(7, u"20015"_qs, u"Степлер"_qs, u"ST-5"_qs, u"300"_qs, u"0"_qs, 2, -1, false, false, 20),
             product(8, u"../pic"_qs, u"Проба пути"_qs, u"P-1"_qs, u"1"_qs, u"0"_qs, 3, 31, false, true, 1)});
        writeCp1251(workDir() + QStringLiteral("ExportClass.csv"),
                    {kClassHeader, QStringLiteral("1;Письменные;0"), QStringLiteral("2;Бумага;0"),
                     QStringLiteral("3;Прочее;0"), QStringLiteral("11;Ручки;1"), QStringLiteral("12;Карандаши;1"),
                     QStringLiteral("21;Блокноты;2"), QStringLiteral("31;Пробы;3")});
    }

    TAppMainForm& form() { return *m_form; }
    CatalogBrowser& browser() { return m_form->browser(); }
    Table& price() { return m_form->tables().Price; }

    QStringList codes() {
        QStringList result;
        const int field = price().fieldIndex(u"CODE");
        for (int r = 0; r < price().recordCount(); ++r)
            result << price().valueAt(r, field).toString();
        // The grid shows the same rows.
        if (form().DBGridEh1->model()->rowCount() != result.size())
            result << QStringLiteral("<grid shows %1 rows>").arg(form().DBGridEh1->model()->rowCount());
        return result;
    }

    // One key event per character: the test library's own typing takes Latin-1 only.
    static void typeText(QWidget* widget, const QString& text) {
        for (QChar c : text) {
            const auto key = static_cast<Qt::Key>(c.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
        }
    }

    static QStringList texts(std::initializer_list<const char*> items) {
        QStringList result;
        for (const char* item : items)
            result << QString::fromUtf8(item);
        return result;
    }

    QModelIndex node(const QStringList& path) {
        const GroupTreeModel* tree = browser().groupTreeModel();
        QModelIndex at;
        for (const QString& name : path) {
            QModelIndex found;
            for (int r = 0; r < tree->rowCount(at) && !found.isValid(); ++r) {
                if (tree->data(tree->index(r, 0, at)).toString() == name)
                    found = tree->index(r, 0, at);
            }
            if (!found.isValid())
                qFatal("no tree node %s", qPrintable(path.join(QLatin1Char('/'))));
            at = found;
        }
        return at;
    }

    void clickNode(const QStringList& path) {
        const QModelIndex index = node(path);
        form().vdtGroupsTree->expand(index.parent());
        form().vdtGroupsTree->scrollTo(index);
        const QRect r = form().vdtGroupsTree->visualRect(index);
        QTest::mouseClick(form().vdtGroupsTree->viewport(), Qt::LeftButton, {}, r.center());
    }

    void clickTitle(const QString& field) {
        DataGrid* grid = form().DBGridEh1;
        const int column = grid->datasetModel()->columnOfField(field);
        QHeaderView* header =
            column < grid->frozenColumns() ? grid->frozenView()->horizontalHeader() : grid->horizontalHeader();
        grid->scrollTo(grid->model()->index(0, column));
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() - 4));
    }

    void goTo(const QString& code) { QVERIFY(price().locate(QStringLiteral("CODE"), {code})); }

    static void writePicture(const QString& path, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(path, "JPG"));
    }

    // Runs check on the next modal window, then closes it with Esc.
    void onNextModal(std::function<void(QWidget*)> check, bool* seen) {
        QTimer::singleShot(0, this, [this, check, seen] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                check(modal);
                *seen = true;
                QTest::keyClick(modal, Qt::Key_Escape);
            } else {
                onNextModal(check, seen);
            }
        });
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
        QVERIFY(m_prompts.errors.isEmpty());
        form().createDialogs();
        form().show();
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        QCOMPARE(price().recordCount(), 8);
    }
    void cleanup() { m_form.reset(); }

    void searchFollowsTheOrderingFieldAndTheTree_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("keepTree");
        QTest::addColumn<QStringList>("nodePath");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const QStringList none;
        const QStringList group1 = {u"ВСЕ ТОВАРЫ"_qs, u"Письменные"_qs};
        QTest::newRow("blanks only") << "" << false << none << "   "
                                     << texts(
                                            {"../pic", "12345", "2001", "20015", "Б0077", "К12345", "К30001", "РУ100"});
        QTest::newRow("codes beginning with") << "" << false << none << "2001" << texts({"2001", "20015"});
        QTest::newRow("star finds it anywhere, by name")
            << "FULLNAME" << false << none << "*2001" << texts({"Б0077", "К30001", "2001"});
        QTest::newRow("quotes are dropped") << "FULLNAME" << false << none << "\"руч\"ка" << texts({"Б0077", "К12345"});
        QTest::newRow("stock orders and searches names")
            << "KOLTEK" << false << none << "р" << texts({"Б0077", "К12345"});
        QTest::newRow("price orders and searches names")
            << "CENA" << false << none << "*2001" << texts({"К30001", "2001", "Б0077"});
        QTest::newRow("article searches articles") << "ARTICUL" << false << none << "2001" << texts({"12345"});
        QTest::newRow("a title without an ordering changes nothing")
            << "KOLZAK" << false << none << "2001" << texts({"2001", "20015"});
        QTest::newRow("keeping the tree narrows the node") << "" << true << group1 << "к" << texts({"К12345"});
        QTest::newRow("not keeping it searches everything")
            << "" << false << group1 << "к" << texts({"К12345", "К30001"});
    }
    void searchFollowsTheOrderingFieldAndTheTree() {
        QFETCH(QString, title);
        QFETCH(bool, keepTree);
        QFETCH(QStringList, nodePath);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        form().CheckBox1->setChecked(keepTree);
        if (!title.isEmpty())
            clickTitle(title);
        if (!nodePath.isEmpty())
            clickNode(nodePath);
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, text);
        QCOMPARE(form().SerchText->text(), text.toUpper());
        QCOMPARE(codes(), expected);
    }

    void titlesShowTheOrderingAndActivationReturnsItToCode() {
        DatasetModel* model = form().DBGridEh1->datasetModel();
        const int code = model->columnOfField(u"CODE"), name = model->columnOfField(u"FULLNAME");
        QCOMPARE(model->sortMarker(code), SortMarker::Up);
        clickTitle(u"FULLNAME"_qs);
        QCOMPARE(model->sortMarker(name), SortMarker::Up);
        QCOMPARE(model->sortMarker(code), SortMarker::None);
        QVERIFY(model->titleColor(name).isValid());
        QVERIFY(!model->titleColor(code).isValid());
        QCOMPARE(price().indexFieldNames(), QStringLiteral("fullname_ind"));
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, u"руч"_qs);
        const QStringList found = codes();
        QCOMPARE(found, (QStringList{u"Б0077"_qs, u"К12345"_qs}));
        // Clicking a title that does not order leaves everything as it was.
        clickTitle(u"ISNEW"_qs);
        QCOMPARE(model->sortMarker(name), SortMarker::Up);
        QCOMPARE(price().indexFieldNames(), QStringLiteral("fullname_ind"));

        // A dialog closing activates the window: the order returns to code, the search stays (and
        // still looks at names until the text changes).
        const QString filter = price().filter();
        form().FormActivate();
        QCOMPARE(price().indexFieldNames(), QStringLiteral("code"));
        QCOMPARE(model->sortMarker(code), SortMarker::Up);
        QCOMPARE(model->sortMarker(name), SortMarker::None);
        QCOMPARE(form().SerchText->text(), QStringLiteral("РУЧ"));
        QCOMPARE(price().filter(), filter);
        QCOMPARE(codes(), (QStringList{u"Б0077"_qs, u"К12345"_qs}));
        // Two-level titles for the packaging columns, sharing "Вложение".
        const int st1 = model->columnOfField(u"ST1");
        QCOMPARE(model->column(st1).title, QStringLiteral("Вложение|упаковка"));
        QCOMPARE(form().DBGridEh1->titleHeader()->upperSpan(st1), qMakePair(st1, st1 + 2));
    }

    void treeNodesNarrowThePriceList() {
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Бумага"_qs, u"Прочие..."_qs});
        QCOMPARE(browser().TreeFilter, QStringLiteral("idgroup=2 and not(idsubgroup>0)"));
        QCOMPARE(codes(), (QStringList{u"2001"_qs, u"20015"_qs}));
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Письменные"_qs, u"Ручки"_qs});
        QCOMPARE(codes(), (QStringList{u"Б0077"_qs, u"К12345"_qs}));
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Бумага"_qs});
        QCOMPARE(codes(), (QStringList{u"2001"_qs, u"20015"_qs, u"РУ100"_qs}));
        // A product without a group is under no group, only under the root, which has no condition.
        const GroupTreeModel* tree = browser().groupTreeModel();
        QCOMPARE(tree->rowCount(node({u"ВСЕ ТОВАРЫ"_qs})), 3);
        clickNode({u"ВСЕ ТОВАРЫ"_qs});
        QCOMPARE(browser().TreeFilter, QString());
        QCOMPARE(price().recordCount(), 8);
        QVERIFY(codes().contains(u"К30001"_qs));
        // Activation selects the root without choosing it: the filter stays.
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Бумага"_qs});
        form().FormActivate();
        QVERIFY(form().vdtGroupsTree->selectionModel()->isSelected(node({u"ВСЕ ТОВАРЫ"_qs})));
        QCOMPARE(price().recordCount(), 3);
    }

    void keepTreeSwitchDecidesWhatEmptyingTheSearchShows() {
        // Off: choosing a node empties the search; a search covers everything, and emptying it
        // shows the whole list rather than the node's products.
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, u"к"_qs);
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Письменные"_qs});
        QCOMPARE(form().SerchText->text(), QString());
        QCOMPARE(price().recordCount(), 3);
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, u"к"_qs);
        QCOMPARE(codes(), (QStringList{u"К12345"_qs, u"К30001"_qs}));
        QTest::keyClick(form().SerchText, Qt::Key_Backspace);
        QCOMPARE(price().recordCount(), 8);

        // On: the search text stays on a node change and narrows the node; emptying shows the node.
        form().CheckBox1->setChecked(true);
        QCOMPARE(price().recordCount(), 3); // ticking applies the tree again
        typeText(form().SerchText, u"к"_qs);
        QCOMPARE(codes(), QStringList{u"К12345"_qs});
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Бумага"_qs});
        QCOMPARE(form().SerchText->text(), QStringLiteral("К"));
        QCOMPARE(codes(), QStringList());
        QTest::keyClick(form().SerchText, Qt::Key_Backspace);
        QCOMPARE(codes(), (QStringList{u"2001"_qs, u"20015"_qs, u"РУ100"_qs}));
        // Unticked again: the same search text, without the tree.
        typeText(form().SerchText, u"2"_qs);
        QCOMPARE(codes(), (QStringList{u"2001"_qs, u"20015"_qs}));
        form().CheckBox1->setChecked(false);
        QCOMPARE(codes(), (QStringList{u"2001"_qs, u"20015"_qs}));
    }

    void onlyNewIsAddedOnceAndRemovedFromAnywhere() {
        form().chbOnlyNew->setChecked(true);
        QCOMPARE(price().filter(), QStringLiteral(" IsNew > 0 "));
        QCOMPARE(codes(), (QStringList{u"2001"_qs, u"Б0077"_qs, u"К30001"_qs}));
        // The tree and the search keep it in force and it stays at the end.
        form().CheckBox1->setChecked(true);
        clickNode({u"ВСЕ ТОВАРЫ"_qs, u"Письменные"_qs});
        QCOMPARE(codes(), QStringList{u"Б0077"_qs});
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, u"к"_qs);
        QCOMPARE(price().filter(), QStringLiteral("idgroup=1 and  code like \"К%\" and IsNew > 0 "));
        QCOMPARE(price().filter().count(QStringLiteral("IsNew")), 1);
        QCOMPARE(codes(), QStringList());
        form().chbOnlyNew->setChecked(false);
        QCOMPARE(price().filter(), QStringLiteral("idgroup=1 and  code like \"К%\""));
        QCOMPARE(codes(), QStringList{u"К12345"_qs});
        // Ticking adds it to a filter once; unticking takes it from the middle of one.
        form().chbOnlyNew->setChecked(true);
        price().setFilter(QStringLiteral("idgroup=1 and IsNew > 0  and code like \"Б%\""));
        form().chbOnlyNew->setChecked(false);
        QCOMPARE(price().filter(), QStringLiteral("idgroup=1 and code like \"Б%\""));
        QVERIFY(price().filtered());
    }

    void typingInTheGridSearches() {
        DataGrid* grid = form().DBGridEh1;
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, u"2001"_qs);
        QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
        grid->setFocus();
        QVERIFY(!form().SerchText->hasFocus());
        // The search box's look without the focus: grey with bold white text.
        QCOMPARE(form().SerchText->palette().color(QPalette::Base), QColor(0x80, 0x80, 0x80));
        QVERIFY(form().SerchText->font().bold());
        typeText(grid, u"р"_qs);
        QCOMPARE(form().SerchText->text(), QStringLiteral("Р"));
        QVERIFY(form().SerchText->hasFocus());
        QCOMPARE(form().SerchText->cursorPosition(), 1);
        QCOMPARE(codes(), QStringList{u"РУ100"_qs});
        QCOMPARE(form().SerchText->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(!form().SerchText->font().bold());
        // The grid is redrawn once per change: emptying the box, then the letter.
        QCOMPARE(resets.count(), 2);
        resets.clear();
        typeText(form().SerchText, u"у"_qs);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(codes(), QStringList{u"РУ100"_qs});

        // Up and Down go back to the grid; '&' and '(' typed there do not search.
        QTest::keyClick(form().SerchText, Qt::Key_Down);
        QVERIFY(grid->hasFocus());
        typeText(grid, u"&("_qs);
        QCOMPARE(form().SerchText->text(), QStringLiteral("РУ"));
        QVERIFY(grid->hasFocus());
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        QTest::keyClick(form().SerchText, Qt::Key_Up);
        QVERIFY(grid->hasFocus());
        // While a quantity is typed into the grid its characters stay there.
        browser().quantityBeingTyped = [] { return true; };
        typeText(grid, u"5"_qs);
        QCOMPARE(form().SerchText->text(), QStringLiteral("РУ"));
    }

    void cardPriceFollowsTheDiscount_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("maximum caps the discount") << "15"
                                                   << "К12345"
                                                   << "90.00 руб.";
        QTest::newRow("maximum 0 sets no limit") << "15"
                                                 << "Б0077"
                                                 << "85.00 руб.";
        QTest::newRow("maximum 0.01 forbids any") << "15"
                                                  << "12345"
                                                  << "100.00 руб.";
        QTest::newRow("no discount") << ""
                                     << "Б0077"
                                     << "100.00 руб.";
        QTest::newRow("rounded to the cent") << "33.3"
                                             << "2001"
                                             << "37.02 руб.";
    }
    void cardPriceFollowsTheDiscount() {
        QFETCH(QString, box);
        QFETCH(QString, code);
        QFETCH(QString, shown);
        form().eProc->setText(box);
        goTo(code);
        QCOMPARE(browser().edtCena->text(), shown);
        QCOMPARE(browser().DBEditEh1->text(), code);
    }

    void anEmptyListShowsNoPriceAndThePlaceholder() {
        writePicture(pictureDir() + QStringLiteral("912345.jpg"), QSize(40, 30), Qt::red);
        goTo(u"К12345"_qs);
        QVERIFY(form().ImageNull->isHidden());
        QTest::mouseClick(form().SerchText, Qt::LeftButton);
        typeText(form().SerchText, u"ЯЯЯ"_qs);
        QCOMPARE(price().recordCount(), 0);
        QCOMPARE(browser().edtCena->text(), QStringLiteral("0.00 руб."));
        QVERIFY(!form().ImageNull->isHidden());
        QVERIFY(browser().Image1->isHidden());
        QCOMPARE(browser().DBEditEh1->text(), QString());
    }

    void picturesAreFoundByCodeTemporaryFolderFirst() {
        writePicture(pictureDir() + QStringLiteral("912345.jpg"), QSize(40, 30), Qt::red);
        writePicture(pictureDir() + QStringLiteral("80077.jpg"), QSize(40, 30), Qt::green);
        writePicture(tempPictureDir() + QStringLiteral("80077.jpg"), QSize(60, 30), Qt::blue);
        writePicture(pictureDir() + QStringLiteral("12345.jpg"), QSize(30, 40), Qt::yellow);
        goTo(u"К12345"_qs);
        QCOMPARE(browser().CurrentPictureFile, pictureDir() + QStringLiteral("912345.jpg"));
        QVERIFY(!browser().Image1->isHidden());
        QVERIFY(form().ImageNull->isHidden());
        QCOMPARE(browser().Image1->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(form().btnGetOnePicture->isEnabled());
        goTo(u"Б0077"_qs);
        QCOMPARE(browser().CurrentPictureFile, tempPictureDir() + QStringLiteral("80077.jpg"));
        QCOMPARE(browser().Image1->pictureSize(), QSize(60, 30));
        goTo(u"12345"_qs);
        QCOMPARE(browser().CurrentPictureFile, pictureDir() + QStringLiteral("12345.jpg"));
        QVERIFY(!form().btnGetOnePicture->isEnabled()); // no picture at the supplier
        // No file: the placeholder, and the enlarged window would still open the last file.
        goTo(u"2001"_qs);
        QVERIFY(!form().ImageNull->isHidden());
        QVERIFY(browser().Image1->isHidden());
        QCOMPARE(browser().CurrentPictureFile, pictureDir() + QStringLiteral("12345.jpg"));
        // A file that is no picture leaves the placeholder.
        writeCp1251(pictureDir() + QStringLiteral("РУ100.jpg"), {QStringLiteral("not a picture")});
        goTo(u"РУ100"_qs);
        QVERIFY(!form().ImageNull->isHidden());
        QVERIFY(browser().Image1->isHidden());
        QVERIFY(form().btnGetOnePicture->isEnabled());
        // A code that names a way out of the picture folder shows no file from elsewhere.
        writePicture(m_profile->path() + QStringLiteral("/pic.jpg"), QSize(40, 30), Qt::red);
        goTo(u"../pic"_qs);
        QVERIFY(!form().ImageNull->isHidden());
        QVERIFY(browser().Image1->isHidden());
    }

    void enlargedPictureAtNaturalSizeOrFitted_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("fitted");
        QTest::addColumn<QString>("sizeText");
        QTest::newRow("fits the window") << QSize(400, 300) << false << "Размер: 300x400";
        QTest::newRow("larger than the window") << QSize(2000, 1500) << true << "Размер: 1500x2000";
        QTest::newRow("taller than the window less 30") << QSize(300, 590) << true << "Размер: 590x300";
    }
    void enlargedPictureAtNaturalSizeOrFitted() {
        QFETCH(QSize, size);
        QFETCH(bool, fitted);
        QFETCH(QString, sizeText);
        const QString file = pictureDir() + QStringLiteral("912345.jpg");
        writePicture(file, size, Qt::darkCyan);
        goTo(u"К12345"_qs);
        TAppBigImage* big = browser().AppBigImage;
        QVERIFY(big);
        QString caption, scale, sizeShown;
        bool seen = false;
        onNextModal(
            [&](QWidget*) {
                caption = big->windowTitle();
                scale = big->StatusPanel0->text();
                sizeShown = big->StatusPanel1->text();
            },
            &seen);
        QTest::mouseClick(browser().Image1, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(!big->isVisible());
        QCOMPARE(big->size(), QSize(674, 609));
        QCOMPARE(caption, file);
        QCOMPARE(sizeShown, sizeText);
        if (fitted) {
            const int percent = scale.mid(9).chopped(1).toInt();
            QVERIFY2(percent > 0 && percent < 100, qPrintable(scale));
        } else {
            QCOMPARE(scale, QStringLiteral("Масштаб: 100%"));
        }
    }

    void thePlaceholderOpensNothing() {
        goTo(u"2001"_qs);
        QVERIFY(!form().ImageNull->isHidden());
        QTest::mouseClick(form().ImageNull, Qt::LeftButton);
        QTest::qWait(20);
        QVERIFY(!QApplication::activeModalWidget());
        browser().Image1Click();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void savingThePicture() {
        writePicture(pictureDir() + QStringLiteral("912345.jpg"), QSize(64, 48), Qt::magenta);
        goTo(u"К12345"_qs);
        QCOMPARE(browser().popImage->actions(), QList<QAction*>{browser().miSavePicture});
        QCOMPARE(browser().miSavePicture->text(), QStringLiteral("Сохранить изображение"));
        // Without an extension the file gets ".jpg".
        m_prompts.saveFileAnswer = m_profile->path() + QStringLiteral("/saved");
        browser().miSavePicture->trigger();
        QImage saved(m_profile->path() + QStringLiteral("/saved.jpg"));
        QCOMPARE(saved.size(), QSize(64, 48));
        QVERIFY(m_prompts.errors.isEmpty());
        // Cancelled: nothing written, nothing said.
        m_prompts.saveFileAnswer.clear();
        browser().miSavePicture->trigger();
        QVERIFY(m_prompts.errors.isEmpty());
        // A place that cannot be written.
        m_prompts.saveFileAnswer = m_profile->path() + QStringLiteral("/no/such/folder/x.jpg");
        browser().miSavePicture->trigger();
        QCOMPARE(m_prompts.errors, QStringList{QStringLiteral("Ошибка пр сохранении файла")});
    }
};

int main(int argc, char* argv[]) {
    TavrelApplication app(argc, argv);
    TestBrowserWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browser_window.moc"
