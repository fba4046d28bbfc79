#include "app/CaptionStyle.h"

#include <QApplication>
#include <QStyleFactory>

CaptionStyle::CaptionStyle(QObject *parent)
    // Without a base of its own a proxy would take the desktop's style, not
    // the one the application runs with.
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
    setParent(parent);
}

int CaptionStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                            QStyleHintReturn *returnData) const
{
    if (hint == SH_UnderlineShortcut)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
