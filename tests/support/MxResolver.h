#pragma once

#include "engine/MxLookup.h"

#include <QHostAddress>
#include <QtGlobal>

// Another resolver for the engine's MX lookups for as long as this object
// lives: none at all (so that no test reaches the machine's resolver), or a
// DNS server of the test's own. The engine's own comes back when it goes.
class MxResolver
{
public:
    MxResolver() { MxLookup::Settings().enabled = false; }
    MxResolver(const QHostAddress &nameserver, int deadlineMs)
    {
        MxLookup::Settings() = {true, nameserver, deadlineMs};
    }
    ~MxResolver() { MxLookup::Settings() = m_before; }
    Q_DISABLE_COPY_MOVE(MxResolver)

private:
    const MxLookup::Resolver m_before = MxLookup::Settings();
};
