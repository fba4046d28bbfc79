#pragma once

#include "platform/QtServices.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The services of a test, in use from its construction to its destruction;
// the services in use before come back after. They are the desktop's own,
// in a set of the test's (a current printer, a file printer and TLS sessions
// no other test shares), except where a test must not reach the desktop:
// - message boxes are recorded, never shown, so that no test waits on one;
// - the end of the program is recorded, and the test goes on;
// - the clock can be stopped at a moment of the test's choice;
// - printing can be given a printer, a list of printers and printer
//   dialogs of the test's own.
class TestServices final : public QtServices
{
public:
    struct Box
    {
        QString text;
        int style = 0;
        QString title;
    };
    // Makes the dialog of one Print command; nullptr stands for a dialog
    // that cannot be made.
    using DialogMaker = std::function<std::unique_ptr<PrintDialogComponent>()>;

    TestServices() = default;

    const QList<Box> &boxes() const { return m_boxes; }
    // The texts of the boxes from the one at index `from` on.
    QStringList boxTexts(qsizetype from = 0) const;
    int programEnds() const { return m_programEnds; }
    // Forgets the boxes and program ends recorded so far.
    void forget()
    {
        m_boxes.clear();
        m_programEnds = 0;
    }

    // Runs for each box once it is recorded, for as long as the box is open
    // (a test holds it open a while, or fails on it).
    std::function<void(const Box &)> whileBoxOpen;
    // Runs at each end of the program once it is counted.
    std::function<void()> atProgramEnd;

    void stopClock(const QDateTime &at) { m_stoppedAt = at; }
    // nullptr puts the real printer, or list, back.
    void substitutePrinting(PrinterObject *printer, PrinterList *printers);
    // An empty maker puts the real dialog back.
    void substituteDialogs(DialogMaker maker) { m_dialogs = std::move(maker); }

    void ShowMessageBox(const QString &text, int style, const QString &title) override;
    void EndProgram() override;
    QDateTime Now() const override;
    PrinterObject &Printer() override;
    PrinterList &Printers() override;
    std::unique_ptr<PrintDialogComponent> NewPrintDialog() override;

private:
    QList<Box> m_boxes;
    int m_programEnds = 0;
    QDateTime m_stoppedAt;
    PrinterObject *m_printer = nullptr;
    PrinterList *m_printers = nullptr;
    DialogMaker m_dialogs;
    // Last, so that the services are whole while they are in use.
    const UseServices m_inUse{*this};
};
