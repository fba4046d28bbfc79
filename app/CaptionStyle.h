#pragma once

#include <QProxyStyle>

// The style of the field captions: the application's own, except that the
// letter of a caption's Alt shortcut is never underlined, so that each
// caption looks exactly as its text reads (no underlined M in "Message:").
class CaptionStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit CaptionStyle(QObject *parent);

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
                  const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
