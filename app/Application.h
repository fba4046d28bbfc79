#pragma once

#include <QApplication>

// The program's application object. Every event and every queued call of the
// program passes through notify, so that is where an error that the routine
// handling it did not trap is caught and reported (ReportUntrappedError)
// instead of unwinding through Qt's event loop, which cannot carry it.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
