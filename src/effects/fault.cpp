// Texts of the runtime errors raised by the effects.
#include "effects/fault.h"

#include "common/app_error.h"

namespace fault {

namespace {

QString textOf(int number)
{
    switch (number) {
    case kInvalidCall:
        return QStringLiteral("Invalid procedure call or argument");
    case kOverflow:
        return QStringLiteral("Overflow");
    case kOutOfMemory:
        return QStringLiteral("Out of memory");
    case kSubscript:
        return QStringLiteral("Subscript out of range");
    case kDivisionByZero:
        return QStringLiteral("Division by zero");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

} // namespace

void raise(int number, const char *operation)
{
    throw AppError(number, textOf(number), errorSource(QString::fromLatin1(operation)));
}

} // namespace fault
