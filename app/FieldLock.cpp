#include "app/frmMain.h"
#include "platform/ThemeColor.h"
#include "util/Colors.h"

namespace {
const char *const BackColorProperty = "BackColor";
}

void SetBackColor(QLineEdit *box, std::uint32_t colour)
{
    QPalette palette = box->palette();
    const QColor shown = Colors::ToQColor(colour);
    // The theme's text colour is meant for the theme's own background: light
    // on a dark desktop, where it vanishes on white. The text takes the colour
    // that reads on this background instead, black on a light one.
    const QColor text = qGray(shown.rgb()) < 128 ? QColor(Qt::white) : QColor(Qt::black);
    // Disabled boxes keep the colours too: a locked field looks grey because
    // it was given the button-face colour, not by the style's choice.
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, shown);
        palette.setColor(group, QPalette::Text, text);
    }
    box->setPalette(palette);
    box->setProperty(BackColorProperty, QVariant::fromValue(colour));
}

std::uint32_t BackColor(const QLineEdit *box)
{
    return box->property(BackColorProperty).value<std::uint32_t>();
}

void frmMain::LockFields()
{
    Module1::LockFields(*this);
}

void frmMain::UnlockFields()
{
    Module1::UnlockFields(*this);
}
