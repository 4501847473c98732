#pragma once

#include <QString>

// The one-line progress display of start-up and of the price update (the splash window's status line).
class StatusLine {
public:
    virtual ~StatusLine() = default;
    // Replaces the line's text and shows it at once.
    virtual void setStatus(const QString& text) = 0;
    // Appends text to the line, such as "OK" when a step ends.
    virtual void appendStatus(const QString& text) = 0;
};

// For callers that have nowhere to show progress.
class SilentStatusLine final : public StatusLine {
public:
    void setStatus(const QString&) override {}
    void appendStatus(const QString&) override {}
};
