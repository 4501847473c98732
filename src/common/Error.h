#pragma once

#include <QString>

#include <stdexcept>

// An error whose text is meant for the user: it names what failed (file, line, field, host).
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
