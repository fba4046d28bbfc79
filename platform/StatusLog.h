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

    void SetText(const QString &text) override;
    void SetSelColor(std::uint32_t colour) override;
    void InsertText(const QString &text) override;
    QString Text() const override;

    // The caller does its urgent work first and pays for the layout once.
    void HoldInsertions() override;
    void InsertHeld() override;

private:
    void HoldRepaint();
    void Insert(const QList<std::pair<std::uint32_t, QString>> &pieces);

    std::uint32_t m_selColor = 0xFFFFFF;
    bool m_holding = false;
    QList<std::pair<std::uint32_t, QString>> m_held;
    QTimer m_repaintHold;
};
