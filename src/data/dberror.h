#pragma once
// Errors raised by the database and dataset layers, carrying the text the
// default error handler shows.

#include <QString>

#include <stdexcept>

class Exception : public std::runtime_error
{
public:
    explicit Exception(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &Message() const { return m_message; }

private:
    QString m_message;
};

class EDatabaseError : public Exception
{
public:
    using Exception::Exception;
};
