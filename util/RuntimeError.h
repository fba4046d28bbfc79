#pragma once

#include <QString>
#include <stdexcept>

// A run-time error with the number and description a user is shown. Routines
// that expect failures catch it (the connect loop, printing); everywhere else
// it travels up to whoever can report it.
class RuntimeError : public std::runtime_error
{
public:
    RuntimeError(int number, const QString &description);

    int number() const noexcept { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

// The error numbers this program raises itself.
namespace ErrorNumber {
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int ObjectVariableNotSet = 91;
constexpr int ObjectAlreadyLoaded = 360;
constexpr int CantUnloadDesignTimeControl = 362;
constexpr int ControlArrayElementMissing = 340;
constexpr int InvalidOperationAtState = 40020;
constexpr int InvalidArgument = 40014;
constexpr int WrongProtocolOrState = 40006;
} // namespace ErrorNumber
