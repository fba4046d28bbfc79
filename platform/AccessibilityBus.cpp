#include "platform/AccessibilityBus.h"

#include <QAccessible>
#include <QObject>

namespace {
const char *const LeftOutProperty = "leftOutOfAccessibility";

QAccessible::UpdateHandler bridge = nullptr;
bool guarded = false;

bool IsTextChange(QAccessible::Event type)
{
    return type == QAccessible::TextInserted || type == QAccessible::TextRemoved ||
           type == QAccessible::TextUpdated;
}

// One mask character for every character, so that positions and lengths
// still match what the field shows.
QString Masked(const QString &text)
{
    return QString(text.size(), QLatin1Char('*'));
}

void Deliver(QAccessibleEvent *event);

void Forward(QAccessibleEvent *event)
{
    if (bridge) {
        bridge(event);
        return;
    }
    // Without a handler of its own Qt hands the event to the platform's
    // bridge; the guard steps aside for that one call.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(Deliver);
}

// A text change of a password field goes out with the text masked.
void ForwardMasked(QAccessibleEvent *event, QAccessibleInterface *field)
{
    switch (event->type()) {
    case QAccessible::TextInserted: {
        const auto *change = static_cast<QAccessibleTextInsertEvent *>(event);
        QAccessibleTextInsertEvent masked(field, change->changePosition(),
                                          Masked(change->textInserted()));
        masked.setCursorPosition(change->cursorPosition());
        Forward(&masked);
        break;
    }
    case QAccessible::TextRemoved: {
        const auto *change = static_cast<QAccessibleTextRemoveEvent *>(event);
        QAccessibleTextRemoveEvent masked(field, change->changePosition(),
                                          Masked(change->textRemoved()));
        masked.setCursorPosition(change->cursorPosition());
        Forward(&masked);
        break;
    }
    default: {
        const auto *change = static_cast<QAccessibleTextUpdateEvent *>(event);
        QAccessibleTextUpdateEvent masked(field, change->changePosition(),
                                          Masked(change->textRemoved()),
                                          Masked(change->textInserted()));
        masked.setCursorPosition(change->cursorPosition());
        Forward(&masked);
        break;
    }
    }
}

void Deliver(QAccessibleEvent *event)
{
    if (AccessibilityBus::IsLeftOut(event->object()))
        return;
    // Only text changes are looked at more closely: asking any other event
    // for its interface could make one for a control still being built.
    if (IsTextChange(event->type())) {
        QAccessibleInterface *field = event->accessibleInterface();
        if (field && field->state().passwordEdit) {
            ForwardMasked(event, field);
            return;
        }
    }
    Forward(event);
}
} // namespace

namespace AccessibilityBus {

void Guard()
{
    if (guarded)
        return;
    guarded = true;
    bridge = QAccessible::installUpdateHandler(Deliver);
}

void LeaveOut(QObject *control)
{
    control->setProperty(LeftOutProperty, true);
}

bool IsLeftOut(const QObject *control)
{
    return control && control->property(LeftOutProperty).toBool();
}

} // namespace AccessibilityBus
