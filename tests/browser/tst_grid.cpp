#include "DataGrid.h"
#include "Engine.h"
#include "Schemas.h"
#include "Table.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

// The shared data-aware grid over a real price table.
class TestGrid : public QObject {
    Q_OBJECT

    static void addProduct(Table& t, int id, const QString& code, double price, bool isNew,
                           const QVariant& kolzak = {}) {
        t.insert();
        t.setValue(u"ID", id);
        t.setValue(u"CODE", code);
        t.setValue(u"FULLNAME", QStringLiteral("Товар %1").arg(id));
        t.setValue(u"CENA", price);
        t.setValue(u"KOLTEK", id * 1000);
        t.setValue(u"ISNEW", isNew);
        t.setValue(u"KOLZAK", kolzak);
        t.post();
    }

    struct Fixture {
        Engine engine;
        Table price{engine, Schemas::price()};
        Fixture(int rows = 5) {
            price.createTable();
            price.open();
            for (int i = 1; i <= rows; ++i)
                addProduct(price, i, QStringLiteral("К%1").arg(i, 3, 10, QLatin1Char('0')), i * 1234.5, i % 2 == 0);
            price.setIndexFieldNames(QStringLiteral("CODE"));
            price.first();
        }
    };

    static QList<GridColumn> columns() {
        return {{QStringLiteral("CODE"), QStringLiteral("Код"), 56},
                {QStringLiteral("FULLNAME"), QStringLiteral("Наименование"), 200},
                {QStringLiteral("CENA"), QStringLiteral("Цена"), 60, QStringLiteral("# ### ##0.00")},
                {QStringLiteral("KOLTEK"), QStringLiteral("Остаток"), 50, QStringLiteral("# ##0")},
                {QStringLiteral("KOLZAK"), QStringLiteral("Заказ"), 46, QString(), false, false},
                {QStringLiteral("ISNEW"), QStringLiteral("Новинка"), 47, QString(), true},
                {QStringLiteral("ST1"), QStringLiteral("Вложение|упаковка"), 150},
                {QStringLiteral("ST2"), QStringLiteral("Вложение|блок"), 150},
                {QStringLiteral("WST3"), QStringLiteral("Вес коробки"), 150},
                {QStringLiteral("NOSUCHFIELD"), QStringLiteral("Нет"), 150}};
    }

    // The open cell editor; closed ones linger until deleted later.
    static QLineEdit* openEditor(QWidget* grid) {
        for (QLineEdit* e : grid->findChildren<QLineEdit*>()) {
            if (e->isVisible())
                return e;
        }
        return nullptr;
    }

private slots:
    void numbersFollowTheDisplayFormat_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("millions grouped") << "# ### ##0.00" << 1234567.5 << "1 234 567.50";
        QTest::newRow("below a thousand") << "# ### ##0.00" << 145.9 << "145.90";
        QTest::newRow("zero keeps one digit") << "# ### ##0.00" << 0.0 << "0.00";
        QTest::newRow("negative") << "# ### ##0.00" << -1234.567 << "-1 234.57";
        QTest::newRow("tiny negative is no negative zero") << "# ##0.00" << -0.001 << "0.00";
        QTest::newRow("half away from zero on the decimal digits") << "# ##0.00" << 2.675 << "2.68";
        QTest::newRow("carry into a new group") << "# ##0" << 999.5 << "1 000";
        QTest::newRow("whole numbers") << "# ##0" << 1748.0 << "1 748";
        QTest::newRow("four decimals") << "# ### ##0.0000" << 0.0448 << "0.0448";
        QTest::newRow("optional decimals dropped") << "# ##0.####" << 2.0 << "2";
        QTest::newRow("optional decimals kept") << "# ##0.####" << 1.25 << "1.25";
        QTest::newRow("text after the number") << "# ##0.00 руб." << 90.0 << "90.00 руб.";
        QTest::newRow("no format") << "" << 12.5 << "12.5";
        QTest::newRow("large value") << "# ### ##0.00" << 987654321.125 << "987 654 321.13";
    }
    void numbersFollowTheDisplayFormat() {
        QFETCH(QString, format);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, format), text);
    }

    void modelShowsTheDatasetAndFollowsItsChanges() {
        Fixture f;
        DatasetModel model(f.price, columns());
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("2 469.00"));
        QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("1 000"));
        QCOMPARE(model.data(model.index(1, 5), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model.data(model.index(0, 5), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(model.data(model.index(1, 5)).toString().isEmpty());
        // Empty values and missing fields show nothing.
        QVERIFY(model.data(model.index(0, 4)).toString().isEmpty());
        QVERIFY(model.data(model.index(0, 9)).toString().isEmpty());
        QCOMPARE(model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
                 Qt::AlignRight);

        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        f.price.setFilter(QStringLiteral("IsNew > 0"));
        f.price.setFiltered(true);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("К002"));
        QVERIFY(reset.count() >= 1);

        // Views frozen: one reset at the end, none before.
        reset.clear();
        f.price.disableControls();
        f.price.setFiltered(false);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(model.rowCount(), 2);
        f.price.enableControls();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 5);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        f.price.moveTo(3);
        f.price.edit();
        f.price.setValue(u"KOLZAK", 12);
        QCOMPARE(model.data(model.index(3, 4)).toString(), QStringLiteral("12"));
        f.price.post();
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 3);
        QCOMPARE(model.data(model.index(3, 4)).toString(), QStringLiteral("12"));
    }

    void typingIntoACellEditsTheDatasetButLeavesThePostToTheCaller() {
        Fixture f;
        DatasetModel model(f.price, columns());
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model.flags(model.index(0, 4)) & Qt::ItemIsEditable);
        QVERIFY(!model.setData(model.index(2, 0), QStringLiteral("X")));
        QVERIFY(model.setData(model.index(2, 4), QStringLiteral(" 7 ")));
        QCOMPARE(f.price.recNo(), 2);
        QVERIFY(f.price.editing());
        QCOMPARE(f.price.value(u"KOLZAK").toInt(), 7);
        f.price.post();
        // Clearing the cell stores an empty value.
        QVERIFY(model.setData(model.index(2, 4), QString()));
        QVERIFY(f.price.value(u"KOLZAK").isNull());
        f.price.cancel();
        QCOMPARE(f.price.value(u"KOLZAK").toInt(), 7);
    }

    void titlesTakeTwoLinesAndShareTheirUpperPart() {
        Fixture f;
        DataGrid grid;
        grid.setDatasetModel(new DatasetModel(f.price, columns()));
        GridHeader* header = grid.titleHeader();
        QCOMPARE(header->titleLines(), 2);
        QCOMPARE(header->upperSpan(6), qMakePair(6, 7));
        QCOMPARE(header->upperSpan(7), qMakePair(6, 7));
        QCOMPARE(header->upperSpan(8), qMakePair(8, 8));
        // A hidden column between two of a span does not break it.
        DatasetModel* model = grid.datasetModel();
        model->setTitle(8, QStringLiteral("Вложение|коробка"));
        grid.setColumnHidden(7, true);
        QCOMPARE(header->upperSpan(6), qMakePair(6, 8));
        grid.setColumnHidden(7, false);
        const int twoLines = header->sizeHint().height();
        model->setTitle(6, QStringLiteral("Упаковка"));
        model->setTitle(7, QStringLiteral("Блок"));
        model->setTitle(8, QStringLiteral("Коробка"));
        QCOMPARE(header->titleLines(), 1);
        QVERIFY(header->sizeHint().height() < twoLines);

        model->setSortMarker(0, SortMarker::Up);
        model->setTitleColor(0, QColor(Qt::gray));
        QCOMPARE(model->headerData(0, Qt::Horizontal, DatasetModel::SortMarkerRole).toInt(), int(SortMarker::Up));
        QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(Qt::gray));
        QVERIFY(!model->headerData(1, Qt::Horizontal, Qt::BackgroundRole).isValid());
        // Widths come from the columns; rows have one height.
        QCOMPARE(grid.columnWidth(1), 200);
        QCOMPARE(grid.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    }

    void gridAndDatasetFollowEachOther() {
        Fixture f;
        DataGrid grid;
        grid.setDatasetModel(new DatasetModel(f.price, columns()));
        grid.resize(500, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.currentIndex().row(), 0);
        f.price.moveTo(3);
        QCOMPARE(grid.currentIndex().row(), 3);
        QVERIFY(grid.selectionModel()->isRowSelected(3, QModelIndex()));
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_Up);
        QCOMPARE(f.price.recNo(), 2);
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(f.price.recNo(), 0);
        // After a re-filter the grid stands where the dataset stands.
        f.price.moveTo(4);
        f.price.setFilter(QStringLiteral("IsNew > 0"));
        f.price.setFiltered(true);
        QCOMPARE(f.price.recNo(), grid.currentIndex().row());
        f.price.setFilter(QStringLiteral("id > 100"));
        QVERIFY(!grid.currentIndex().isValid());
        f.price.setFiltered(false);
        QVERIFY(grid.currentIndex().isValid());
    }

    void frozenColumnsStayInViewWhileScrollingSideways() {
        Fixture f(40);
        DataGrid grid;
        grid.setDatasetModel(new DatasetModel(f.price, columns()));
        grid.setFrozenColumns(2);
        grid.resize(520, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QTableView* frozen = grid.frozenView();
        QVERIFY(frozen && frozen->isVisible());
        QCOMPARE(frozen->width(), 256);
        QVERIFY(!frozen->isColumnHidden(1));
        QVERIFY(frozen->isColumnHidden(2));
        QCOMPARE(frozen->horizontalHeader()->height(), grid.horizontalHeader()->height());
        const int left = frozen->x();
        grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
        QVERIFY(grid.horizontalScrollBar()->value() > 0);
        QCOMPARE(frozen->x(), left);
        QCOMPARE(frozen->horizontalScrollBar()->value(), 0);
        // Rows scroll together.
        grid.verticalScrollBar()->setValue(10);
        QCOMPARE(frozen->verticalScrollBar()->value(), 10);
        // A click on a frozen cell moves the dataset and the grid keeps the focus.
        const QRect cell = frozen->visualRect(f.price.isEmpty() ? QModelIndex() : frozen->model()->index(12, 0));
        QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(f.price.recNo(), 12);
        // Moving left from the first scrolled column brings it out from behind the frozen ones.
        grid.setCurrentColumn(6);
        grid.scrollTo(grid.currentIndex());
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Left);
        QCOMPARE(grid.currentColumn(), 2);
        QVERIFY(grid.visualRect(grid.currentIndex()).left() >= frozen->width() - 1);
        // Resizing a frozen column moves the frozen part's edge.
        grid.setColumnWidth(0, 80);
        QCOMPARE(frozen->columnWidth(0), 80);
        QCOMPARE(frozen->width(), 280);
    }

    void keysGoToTheHooksFirst() {
        Fixture f;
        DataGrid grid;
        grid.setDatasetModel(new DatasetModel(f.price, columns()));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        QList<int> downs;
        QString chars;
        grid.onKeyDown = [&](QKeyEvent* e) {
            downs << e->key();
            return e->key() == Qt::Key_Return;
        };
        grid.onKeyPress = [&](QChar c) {
            chars += c;
            return c != QLatin1Char('&');
        };
        QTest::keyClick(&grid, Qt::Key_Return);
        QTest::keyClick(&grid, Qt::Key_R);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(downs, (QList<int>{Qt::Key_Return, Qt::Key_R, Qt::Key_Down}));
        QCOMPARE(chars, QStringLiteral("r"));
        QCOMPARE(f.price.recNo(), 1); // Down was not handled by a hook
    }

    void directEditingCommitsOnEnterBeforeTheHookSeesIt() {
        Fixture f;
        DataGrid grid;
        grid.setDatasetModel(new DatasetModel(f.price, columns()));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        QVariant seenOnEnter;
        bool escapeSeen = false;
        grid.onKeyDown = [&](QKeyEvent* e) {
            if (e->key() == Qt::Key_Return) {
                seenOnEnter = f.price.value(u"KOLZAK");
                if (f.price.editing())
                    f.price.post();
                return true;
            }
            if (e->key() == Qt::Key_Escape)
                escapeSeen = true;
            return false;
        };
        // Browsing: typing does not open an editor.
        QTest::keyClick(&grid, Qt::Key_5);
        QVERIFY(!openEditor(&grid));
        grid.setEditing(true);
        grid.setRowSelect(false);
        grid.setCurrentColumn(4);
        f.price.edit();
        grid.editCurrentCell();
        auto* editor = openEditor(&grid);
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("12"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(seenOnEnter.toInt(), 12);
        QVERIFY(!f.price.editing());
        QCOMPARE(f.price.value(u"KOLZAK").toInt(), 12);
        QVERIFY(grid.hasFocus());

        // Typing on an editable cell opens the editor with that character; Esc drops it and the edit.
        QTest::keyClick(&grid, Qt::Key_3);
        editor = openEditor(&grid);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_4);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(escapeSeen);
        QVERIFY(!f.price.editing());
        QCOMPARE(f.price.value(u"KOLZAK").toInt(), 12);

        // Letters cannot go into a number cell.
        grid.editCurrentCell();
        editor = openEditor(&grid);
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("x9"));
        QCOMPARE(editor->text(), QStringLiteral("9"));
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TestGrid test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_grid.moc"
