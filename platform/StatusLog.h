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

    // Between these two, insertions wait and then go into the log together,
    // in their order and colours: the caller does its urgent work first and
    // pays for the layout once.
    void HoldInsertions();
    void InsertHeld();

private:
    void HoldRepaint();
    void Insert(const QList<std::pair<std::uint32_t, QString>> &pieces);

    std::uint32_t m_selColor = 0xFFFFFF;
    bool m_holding = false;
    QList<std::pair<std::uint32_t, QString>> m_held;
    QTimer m_repaintHold;
};
