#pragma once

#include <QTextEdit>
#include <QTimer>
#include <cstdint>

// The coloured, append-only log of a run. Whatever a server sends is shown as
// plain text: nothing is ever interpreted as markup.
class StatusLog : public QTextEdit
{
    Q_OBJECT
public:
    explicit StatusLog(QWidget *parent = nullptr);

    // Replaces the whole text; an empty text clears the log.
    void SetText(const QString &text);
    // The colour, 0x00BBGGRR, of the text inserted next.
    void SetSelColor(std::uint32_t colour);
    // Inserts text at the end of the log, where the insertion point rests
    // after a clear, whatever the user clicked or selected meanwhile.
    void InsertText(const QString &text);
    // The whole log as plain text with CR LF line ends.
    QString Text() const;

private:
    void HoldRepaint();

    std::uint32_t m_selColor = 0xFFFFFF;
    QTimer m_repaintHold;
};
