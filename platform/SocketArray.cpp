#include "platform/SocketArray.h"

#include "platform/Winsock.h"
#include "util/RuntimeError.h"

#include <utility>

SocketArray::SocketArray(QObject *parent) : QObject(parent)
{
    Attach(0, new Winsock(this));
}

void SocketArray::SetElementMaker(ElementMaker maker)
{
    m_maker = std::move(maker);
}

SocketElement &SocketArray::operator()(std::int16_t index) const
{
    const auto it = m_elements.find(index);
    if (it == m_elements.end())
        throw RuntimeError(ErrorNumber::ControlArrayElementMissing,
                           QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    return *it->second;
}

QList<std::int16_t> SocketArray::Indexes() const
{
    QList<std::int16_t> indexes;
    for (const auto &[index, element] : m_elements)
        indexes.append(index);
    return indexes;
}

void SocketArray::Load(std::int16_t index)
{
    if (index < 0)
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range"));
    if (Exists(index))
        throw RuntimeError(ErrorNumber::ObjectAlreadyLoaded,
                           QStringLiteral("Object already loaded"));

    const SocketElement &model = (*this)(0);
    SocketElement *element = m_maker ? m_maker(this) : new Winsock(this);
    element->RemoteHost = model.RemoteHost;
    element->RemotePort = model.RemotePort;
    element->LocalPort = model.LocalPort;
    Attach(index, element);
}

void SocketArray::Unload(std::int16_t index)
{
    if (index == 0)
        throw RuntimeError(ErrorNumber::CantUnloadDesignTimeControl,
                           QStringLiteral("Can't unload controls created at design time"));
    SocketElement &element = (*this)(index);
    m_elements.erase(index);
    // No event of a destroyed element may reach the engine; deleting later
    // keeps this safe even when called from one of the element's own events.
    element.disconnect(this);
    element.Close();
    element.deleteLater();
}

void SocketArray::Attach(std::int16_t index, SocketElement *element)
{
    m_elements[index] = element;
    connect(element, &SocketElement::connected, this, [this, index] { emit Connect(index); });
    connect(element, &SocketElement::encrypted, this, [this, index] { emit Encrypted(index); });
    connect(element, &SocketElement::dataArrival, this,
            [this, index](std::int32_t bytesTotal) { emit DataArrival(index, bytesTotal); });
    connect(element, &SocketElement::peerClosed, this, [this, index] { emit Close(index); });
    connect(element, &SocketElement::error, this,
            [this, index](QAbstractSocket::SocketError error, const QString &description) {
                emit Error(index, error, description);
            });
    connect(element, &SocketElement::sendProgress, this,
            [this, index](std::int32_t sent, std::int32_t remaining) {
                emit SendProgress(index, sent, remaining);
            });
}
