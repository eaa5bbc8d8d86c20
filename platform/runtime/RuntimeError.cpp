#include "runtime/RuntimeError.h"

namespace platform {

RuntimeError::RuntimeError(ErrorNumber number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number)
{
}

// Out of line so the class has one vtable and one type identity, shared by every library
// that throws or catches it.
RuntimeError::~RuntimeError() = default;

void raiseOverflow()
{
    throw RuntimeError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
}

void raiseDivisionByZero()
{
    throw RuntimeError(ErrorNumber::DivisionByZero, QStringLiteral("Division by zero"));
}

void raiseInvalidPropertyValue()
{
    throw RuntimeError(ErrorNumber::InvalidPropertyValue, QStringLiteral("Invalid property value"));
}

void raiseTypeMismatch()
{
    throw RuntimeError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
}

} // namespace platform
