#pragma once

#include "platform/LogControl.h"

#include <QTextEdit>
#include <QTimer>
#include <cstdint>

// The coloured, append-only log of a run. Whatever a server sends is shown as
// plain text: nothing is ever interpreted as markup.
class StatusLog : public QTextEdit, public LogControl
{
    Q_OBJECT
public:
    explicit StatusLog(QWidget *parent = nullptr);

    // The character format property that holds a piece's mark, where it has one.
    static constexpr int MarkProperty = QTextFormat::UserProperty;

    void SetText(const QString &text) override;
    void SetSelColor(std::uint32_t colour) override;
    void InsertText(const QString &text) override;
    void InsertMarkedText(const QString &text, std::uint32_t mark) override;
    QString Text() const override;

    // The caller does its urgent work first and pays for the layout once.
    void HoldInsertions() override;
    void InsertHeld() override;

private:
    struct Piece
    {
        std::uint32_t colour;
        std::uint32_t mark;
        QString text;
    };
    void HoldRepaint();
    void Insert(const QList<Piece> &pieces);

    std::uint32_t m_selColor = 0xFFFFFF;
    bool m_holding = false;
    QList<Piece> m_held;
    QTimer m_repaintHold;
};
