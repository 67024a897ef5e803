#include "services/runtimeerror.h"

namespace kalmix {

QString errorDescription(int number) {
    switch (number) {
    case ErrNr::InvalidCall:
        return QStringLiteral("Invalid procedure call or argument");
    case ErrNr::Overflow:
        return QStringLiteral("Overflow");
    case ErrNr::OutOfMemory:
        return QStringLiteral("Out of memory");
    case ErrNr::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case ErrNr::DivisionByZero:
        return QStringLiteral("Division by zero");
    case ErrNr::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case ErrNr::InternalError:
        return QStringLiteral("Internal error");
    case ErrNr::BadFileNameOrNumber:
        return QStringLiteral("Bad file name or number");
    case ErrNr::FileNotFound:
        return QStringLiteral("File not found");
    case ErrNr::DiskFull:
        return QStringLiteral("Disk full");
    case ErrNr::PathFileAccess:
        return QStringLiteral("Path/File access error");
    case ErrNr::ResourceNotFound:
        return QStringLiteral("Resource with identifier not found");
    case ErrNr::InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number),
      m_description(description.isEmpty() ? errorDescription(number) : std::move(description)),
      m_what((QString::number(m_number) + u' ' + m_description).toUtf8()) {}

void raiseError(int number, const QString& description) {
    throw RuntimeError(number, description);
}

std::int16_t toInteger(long long n) {
    if (n < -32768 || n > 32767)
        raiseError(ErrNr::Overflow);
    return static_cast<std::int16_t>(n);
}

ErrContext& Err() {
    static ErrContext context;
    return context;
}

} // namespace kalmix
