#pragma once

#include <QString>

// What the program asks of the desktop: open a document with its program, start a program file.
// Tests put a recording implementation in place of the real one.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens the file the way the desktop's "open" does; false when that failed.
    virtual bool openDocument(const QString& path) = 0;
    // Starts the program file detached; false when it could not be started.
    virtual bool startProgram(const QString& path) = 0;
};
