#pragma once

#include "Desktop.h"
#include "Prompts.h"

class QWidget;

// Message boxes and file dialogs of Qt, over the active window.
class QtPrompts final : public Prompts {
public:
    void error(const QString& text) override;
    void information(const QString& text) override;
    bool confirm(const QString& text) override;
    QString chooseFolder(const QString& title, const QString& startFolder) override;
    QString chooseSaveFile(const QString& title, const QString& filter, const QString& fileName) override;
};

class QtDesktop final : public Desktop {
public:
    bool openDocument(const QString& path) override;
    bool startProgram(const QString& path) override;
};
