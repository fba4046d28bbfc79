#include "printing/PrintFixture.h"

namespace {
QList<RecordingPrinter::Device> Installed(const QStringList &extraPrinters)
{
    QList<RecordingPrinter::Device> devices{
        {QStringLiteral("Home"), QStringLiteral("HomeDriver"), QStringLiteral("HomePort"), 2},
        {QStringLiteral("Office"), QStringLiteral("OfficeDriver"), QStringLiteral("OfficePort"), 4},
    };
    for (const QString &name : extraPrinters)
        devices.append({name, name + QStringLiteral("Driver"), name + QStringLiteral("Port"), 7});
    return devices;
}
} // namespace

PrintFixture::PrintFixture(const QStringList &extraPrinters)
    : printer(events, Installed(extraPrinters), QStringLiteral("Home"))
{
    services.whileBoxOpen = [this](const Box &box) {
        events.append(QStringLiteral("Box:") + box.text);
        boxes.append(box);
    };
}

QStringList PrintFixture::eventsStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &event : events) {
        if (event.startsWith(prefix))
            found.append(event);
    }
    return found;
}
