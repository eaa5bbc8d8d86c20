#pragma once

#include "runtime/RuntimeExport.h"

#include <QString>
#include <stdexcept>

namespace platform {

// Error numbers as the programs report them in their log lines.
enum class ErrorNumber : int
{
    InvalidProcedureCall = 5,
    Overflow = 6,
    TypeMismatch = 13,
    DivisionByZero = 11,
    Internal = 51,
    InvalidUseOfNull = 94,
    InvalidPropertyValue = 380,
};

// An error that ends the running procedure and travels to its caller, up to the guard of the
// event handler that started the work (see Guard.h). Never thrown into Qt's event loop.
class PLATFORM_RUNTIME_EXPORT RuntimeError : public std::runtime_error
{
public:
    RuntimeError(ErrorNumber number, const QString& description);
    ~RuntimeError() override;

    ErrorNumber number() const { return m_number; }
    QString description() const { return QString::fromUtf8(what()); }

private:
    ErrorNumber m_number;
};

[[noreturn]] PLATFORM_RUNTIME_EXPORT void raiseOverflow();
[[noreturn]] PLATFORM_RUNTIME_EXPORT void raiseDivisionByZero();
[[noreturn]] PLATFORM_RUNTIME_EXPORT void raiseInvalidPropertyValue();
[[noreturn]] PLATFORM_RUNTIME_EXPORT void raiseTypeMismatch();

} // namespace platform
