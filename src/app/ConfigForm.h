#pragma once

#include "Prompts.h"
#include "ZarenOptions.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class QWidget;

// The settings dialog. It keeps no state between openings: every opening refills it from the
// record, "Сохранить" copies the edits back and writes the settings file, and every other way of
// closing discards them. Created once and reused.
class TAppConfigForm : public QDialog {
    Q_OBJECT

public:
    TAppConfigForm(TZarenOptions& options, bool& firstRun, Prompts& prompts, QWidget* parent = nullptr);

    // Switches the main window's order grid: true for entry through the quantity dialog, false for
    // editing in place. Called while saving, before the file is written and the dialog closes.
    std::function<void(bool byWindow)> onOrderGridMode;

    // Every way of closing ends here (buttons, Escape, the window's close button).
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildInformationTab();
    void buildSystemTab();
    void buildConnectionTab();
    void buildButtonBar();

    void FormActivate();
    void FormClose();
    void SpeedButton2Click();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void DBNumberEditEh1Enter();
    void DBNumberEditEh1Exit();
    void DBNumberEditEh2Enter();
    void DBNumberEditEh2Exit();

    void chooseFolderInto(QLineEdit* edit, const QString& title);
    void centreOnScreen();

    // The plain text edits and the settings they show; the two folder edits are not among them,
    // because they are saved with a trailing separator.
    struct TextField {
        QLineEdit* edit;
        QString TZarenOptions::*setting;
    };
    std::vector<TextField> m_textFields;

    TZarenOptions& m_options;
    bool& m_firstRun;
    Prompts& m_prompts;

    QTabWidget* pgCofigs = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;

    // Supplier (hidden group).
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit7 = nullptr;
    // Customer.
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QLineEdit* Edit11 = nullptr;
    QLineEdit* Edit12 = nullptr;
    QLineEdit* Edit13 = nullptr;
    QLineEdit* Edit14 = nullptr;
    // Folders and start-up.
    QLineEdit* Edit15 = nullptr;
    QLineEdit* Edit16 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    // FTP.
    QLineEdit* Edit19 = nullptr;
    QLineEdit* DBNumberEditEh1 = nullptr;
    QLineEdit* Edit18 = nullptr;
    QLineEdit* Edit17 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    // Proxy.
    QLineEdit* Edit20 = nullptr;
    QLineEdit* DBNumberEditEh2 = nullptr;
    QLineEdit* Edit21 = nullptr;
    QLineEdit* Edit22 = nullptr;
    QComboBox* ComboBox1 = nullptr;

    QWidget* pButtons = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
};
