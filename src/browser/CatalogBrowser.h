#pragma once

#include "Query.h"

#include <QObject>
#include <QString>

#include <functional>

class DataGrid;
class GroupTreeModel;
class PictureView;
class Prompts;
class QAction;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeView;
class StatusLine;
class TAppBigImage;
class WorkingTables;
struct TGroupNodeData;
struct TZarenOptions;

// The main window's components that the catalogue browser drives.
struct BrowserWidgets {
    QWidget* window = nullptr; // owner of the enlarged picture window and the save dialog
    QTreeView* vdtGroupsTree = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    DataGrid* DBGridEh1 = nullptr;
    QLineEdit* SerchText = nullptr;
    QCheckBox* chbOnlyNew = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel4 = nullptr;
    QLabel* ImageNull = nullptr;
    QWidget* Panel5 = nullptr;
    QPushButton* btnGetOnePicture = nullptr;
    QLineEdit* eProc = nullptr;
};

// Browsing the catalogue: the group tree, the filter, search and sort of the price grid, and the
// product card with its pictures. The main window creates it during FormCreate and hands its
// handlers here; the browsing state lives here for the whole run.
class CatalogBrowser : public QObject {
    Q_OBJECT
public:
    // FormCreate's first steps: the card's picture control, the tree's node records, and the price
    // grid's columns over Price.
    CatalogBrowser(const BrowserWidgets& widgets, WorkingTables& tables, const TZarenOptions& options,
                   StatusLine& status, Prompts& prompts, QObject* parent = nullptr);
    ~CatalogBrowser() override;

    // Browsing state.
    QString TreeFilter;
    QString SearchFilter;
    QString SearchField;
    QString SortField;
    QString CurrentPictureFile;

    // Group tree.
    void BuildGroupTree();
    void vdtGroupsTreeFocusChanging(const QModelIndex& oldNode, const QModelIndex& newNode);
    // Selects the first node without focusing it (the filter stays).
    void selectFirstTreeNode();
    GroupTreeModel* groupTreeModel() const { return m_tree; }

    // Filter, search and sort.
    void BuildSearchFilter();
    void ApplyPriceFilter(bool includeTree);
    void SerchTextChange();
    void SerchTextEnter();
    void SerchTextExit();
    bool SerchTextKeyDown(QKeyEvent* event);
    void CheckBox1Click();
    void chbOnlyNewClick();
    void DBGridEh1TitleClick(int column);
    bool DBGridEh1KeyPress(QChar key);
    void ResetPriceSort();
    // The two-level titles of the packaging columns.
    void setPriceColumnTitles();

    // Product card.
    void PriceAfterScroll();
    void Image1Click();
    void miSavePictureClick();
    void SpeedButton7Click();
    // The enlarged picture window, created once with the other windows.
    void createBigImage();
    TAppBigImage* AppBigImage = nullptr;

    // What other parts of the window plug in: whether a quantity is being typed into the price grid
    // (its characters then stay there), Enter in the search box, and the single picture download.
    std::function<bool()> quantityBeingTyped;
    std::function<void()> onSearchEnter;
    std::function<void()> onGetOnePicture;

    // Card components.
    PictureView* Image1 = nullptr;
    QMenu* popImage = nullptr;
    QAction* miSavePicture = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* DBEditEh1 = nullptr;
    QLabel* Label5 = nullptr;
    QPlainTextEdit* DBMemo1 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* edtCena = nullptr;

    Query qGroupsTree;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createPictureControl();
    void createCardDetails();
    void setUpSearchBox();
    void setUpGrid();
    void setUpTree();
    void showBoundFields();
    void refilter();
    void markSortColumn(int column);
    QString pictureIn(const QString& folder, const QString& name) const;
    void showPlaceholder();

    BrowserWidgets w;
    WorkingTables& m_tables;
    const TZarenOptions& m_options;
    StatusLine& m_status;
    Prompts& m_prompts;
    GroupTreeModel* m_tree = nullptr;
};
