// The one way the layers below the windows say that something failed: a result that holds
// either the value or a Failure, whose reason is a French sentence for the user ("« take.wav » :
// Permission non accordée."). The layer that knows what the failure means turns it into the
// result code, the AppError or the message its callers expect.
//
//     Result<std::unique_ptr<CaptureDevice>> device = backend.openDevice(0, format, notifier);
//     if (!device)
//         return Failure{QStringLiteral("Ne peut pas démarrer : ") + device.reason()};
//     (*device)->start();
#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

struct Failure {
    QString reason; // French, for the user
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T &value() & { return std::get<T>(m_state); }
    const T &value() const & { return std::get<T>(m_state); }
    T &&value() && { return std::get<T>(std::move(m_state)); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }

    // Empty when the result holds a value.
    QString reason() const { return ok() ? QString() : std::get<Failure>(m_state).reason; }
    Failure failure() const { return ok() ? Failure{} : std::get<Failure>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

// A result without a value: done, or why not.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return !m_failure; }
    explicit operator bool() const { return ok(); }
    QString reason() const { return m_failure ? m_failure->reason : QString(); }
    Failure failure() const { return m_failure.value_or(Failure{}); }

private:
    std::optional<Failure> m_failure;
};
