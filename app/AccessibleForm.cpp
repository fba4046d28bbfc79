#include "app/AccessibleForm.h"

#include "app/frmMain.h"
#include "platform/AccessibilityBus.h"

#include <QAccessibleWidget>

namespace {
class AccessibleForm : public QAccessibleWidget
{
public:
    explicit AccessibleForm(QWidget *form) : QAccessibleWidget(form, QAccessible::Window) {}

    int childCount() const override { return int(Shown().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<QAccessibleInterface *> shown = Shown();
        return index >= 0 && index < shown.size() ? shown.at(index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(Shown().indexOf(const_cast<QAccessibleInterface *>(child)));
    }

private:
    // Qt's own list of the window's children, so that what Qt leaves out
    // stays out too.
    QList<QAccessibleInterface *> Shown() const
    {
        QList<QAccessibleInterface *> shown;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface *control = QAccessibleWidget::child(i);
            if (control && !AccessibilityBus::IsLeftOut(control->object()))
                shown.append(control);
        }
        return shown;
    }
};

QAccessibleInterface *FormFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(frmMain::staticMetaObject.className()) && object->isWidgetType())
        return new AccessibleForm(static_cast<QWidget *>(object));
    return nullptr;
}
} // namespace

void InstallAccessibleForm()
{
    static const bool installed = [] {
        QAccessible::installFactory(FormFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
