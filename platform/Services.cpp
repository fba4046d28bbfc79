#include "platform/Services.h"

#include <QtGlobal>

namespace {
Services *g_inUse = nullptr;
} // namespace

Services &Services::InUse()
{
    if (!g_inUse)
        qFatal("No services are in use: main puts the real ones in use, a test its own");
    return *g_inUse;
}

UseServices::UseServices(Services &services) : m_services(services), m_before(g_inUse)
{
    g_inUse = &services;
}

UseServices::~UseServices()
{
    if (g_inUse != &m_services)
        qFatal("Services went out of use out of order");
    g_inUse = m_before;
}
