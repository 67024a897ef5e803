#pragma once

#include <QString>
#include <cstdint>
#include <exception>

namespace kalmix {

// The classic run-time error numbers the program raises.
namespace ErrNr {
constexpr int InvalidCall = 5;
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int InternalError = 51;
constexpr int BadFileNameOrNumber = 52;
constexpr int FileNotFound = 53;
constexpr int DiskFull = 61;
constexpr int PathFileAccess = 75;
constexpr int ResourceNotFound = 326;
constexpr int InvalidPropertyValue = 380;
} // namespace ErrNr

// The English description of a run-time error number ("Overflow" for 6).
QString errorDescription(int number);

// A run-time error: the one exception type that procedures raise and handlers report.
class RuntimeError : public std::exception {
public:
    explicit RuntimeError(int number, QString description = {});
    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

[[noreturn]] void raiseError(int number, const QString& description = {});

// A number as a 16-bit integer; outside -32768 to 32767 it is an overflow error.
std::int16_t toInteger(long long n);

// The error being handled: number, description and the number of the failing statement
// (0 when it has none). Set by a procedure's handler before it reports the error.
struct ErrContext {
    int number = 0;
    QString description;
    int line = 0;
    void clear() { *this = ErrContext{}; }
};
ErrContext& Err();

} // namespace kalmix
