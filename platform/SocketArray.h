#pragma once

#include "platform/SocketElement.h"

#include <QList>
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>

// An array of socket elements addressed by a 16-bit index. Element 0 exists
// from the start and is the model whose settings new elements copy. Every
// event carries the index of the element it comes from.
class SocketArray : public QObject
{
    Q_OBJECT
public:
    explicit SocketArray(QObject *parent = nullptr);

    // Makes the elements loaded from now on; an empty function makes the
    // network's own (Winsock). Tests put a peer of their own here.
    using ElementMaker = std::function<SocketElement *(QObject *parent)>;
    void SetElementMaker(ElementMaker maker);

    // The element at index; a missing element is a run-time error.
    SocketElement &operator()(std::int16_t index) const;
    bool Exists(std::int16_t index) const { return m_elements.count(index) != 0; }
    QList<std::int16_t> Indexes() const;

    // A new idle element with element 0's settings.
    void Load(std::int16_t index);
    // Closes and destroys an element; element 0 cannot be unloaded.
    void Unload(std::int16_t index);

signals:
    void Connect(std::int16_t index);
    // The TLS handshake of the element has finished (see Winsock).
    void Encrypted(std::int16_t index);
    void DataArrival(std::int16_t index, std::int32_t bytesTotal);
    void Close(std::int16_t index);
    void Error(std::int16_t index, QAbstractSocket::SocketError error, const QString &description);
    void SendProgress(std::int16_t index, std::int32_t bytesSent, std::int32_t bytesRemaining);

private:
    void Attach(std::int16_t index, SocketElement *element);

    std::map<std::int16_t, SocketElement *> m_elements; // owned as children
    ElementMaker m_maker;
};
