#pragma once

#include <QString>

// Every question and message box the program shows goes through this interface, so that tests can
// answer them; the windows receive the real implementation, which shows Qt dialogs.
class Prompts {
public:
    virtual ~Prompts() = default;
    // An error box with one OK button.
    virtual void error(const QString& text) = 0;
    // An information box with one OK button.
    virtual void information(const QString& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool confirm(const QString& text) = 0;
    // The folder browser; empty when the user cancels or picks no file-system folder.
    virtual QString chooseFolder(const QString& title, const QString& startFolder) = 0;
    // The save-file dialog with a filter such as "Рабочая книга MS Excel (*.xls)|*.XLS"; empty when
    // the user cancels.
    virtual QString chooseSaveFile(const QString& title, const QString& filter, const QString& fileName) = 0;
};
