#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <utility>

// A Qt object that a run owns. It lives on the window, so that a window that
// goes takes it along; and it goes with the run: disconnected at once, so
// that nothing of it reaches the run after, and deleted when the event loop
// next runs (it may be the very object whose signal is being handled).
template <typename T> class RunObject
{
public:
    RunObject() = default;
    explicit RunObject(T *object) : m_object(object) {}
    ~RunObject() { Release(); }
    RunObject(RunObject &&other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    RunObject &operator=(RunObject &&other) noexcept
    {
        if (this != &other) {
            Release();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    RunObject(const RunObject &) = delete;
    RunObject &operator=(const RunObject &) = delete;

    T *get() const { return m_object.data(); }
    T *operator->() const { return m_object.data(); }
    explicit operator bool() const { return !m_object.isNull(); }

private:
    void Release()
    {
        // Without an application the window, and with it the object, is gone.
        if (!m_object || !QCoreApplication::instance())
            return;
        QObject::disconnect(m_object, nullptr, nullptr, nullptr);
        m_object->deleteLater();
        m_object = nullptr;
    }

    QPointer<T> m_object;
};

// The run's single-shot timer in that holder, made on the window when first
// needed; its time-out runs the handler as any routine Qt calls does.
QTimer &RunTimer(RunObject<QTimer> &timer, void (*onTimeout)());
