#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

class PrintDialogComponent;
class PrinterList;
class PrinterObject;
class TlsSessions;

// What the program takes from the desktop it runs on beyond its window:
// message boxes, the end of the process, the clock, the printers and the
// printer dialog, and the TLS sessions servers have granted. One set is in
// use at a time: the real one, which main puts in use before the window
// exists, or a test's, which records what the desktop would show.
class Services
{
public:
    virtual ~Services() = default;

    // A modal box; returns when the user has closed it. The title is the
    // one to show (MsgBox has put the application's in place of none).
    virtual void ShowMessageBox(const QString &text, int style, const QString &title) = 0;
    // Ends the process at once: no further event is handled and no routine
    // further down the call stack resumes.
    virtual void EndProgram() = 0;
    // The current date and time, in the user's time zone.
    virtual QDateTime Now() const = 0;
    // The current printer, which stays in place between Print commands.
    virtual PrinterObject &Printer() = 0;
    // The installed printers.
    virtual PrinterList &Printers() = 0;
    // A new printer dialog; nullptr when none can be made.
    virtual std::unique_ptr<PrintDialogComponent> NewPrintDialog() = 0;
    // The sessions TLS servers granted, for as long as these services live.
    virtual TlsSessions &Tls() = 0;

    // The services in use. Using them while none are is a fault of the
    // program's start (or of a test's set-up), and ends the process.
    static Services &InUse();
};

// Puts services in use for as long as it lives; the services in use before
// come back when it goes. Uses end in the reverse order of their start.
class UseServices
{
public:
    explicit UseServices(Services &services);
    ~UseServices();
    UseServices(const UseServices &) = delete;
    UseServices &operator=(const UseServices &) = delete;

private:
    Services &m_services;
    Services *const m_before;
};
