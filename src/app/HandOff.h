#pragma once

#include <QString>

// A newer program file that an update left in the working folder takes over the start, unless it is
// the very program running (paths compared in upper case, surrounding blanks dropped).
bool sameProgramFile(const QString& a, const QString& b);
// Empty when path holds a program this machine can run; otherwise why not, for the log.
QString whyNotRunnable(const QString& path);
