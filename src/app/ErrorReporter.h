#pragma once

#include <QApplication>
#include <QString>

class Prompts;

// The application's general error handler: an error that leaves an event handler ends that action,
// its text is shown in an error box and appended with a time stamp to "errors.log" in the working
// folder, and the program goes on.
class ErrorReporter {
public:
    static void install(Prompts* prompts);
    // The folder of "errors.log" (the working folder once the settings are read).
    static void setLogFolder(const QString& folder);
    static void report(const QString& text);
    // Only appended to the log, for problems the user need not be told of at once.
    static void log(const QString& text);
    static QString logPath();
};

// QApplication whose event delivery hands escaping errors to the reporter.
class TavrelApplication : public QApplication {
    Q_OBJECT
public:
    TavrelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
