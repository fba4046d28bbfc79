// The floor for start-up: the least a Qt Widgets program needs for a window
// with the same kinds of controls as Vormant's (a frame, labels, text boxes,
// buttons, a rich-text log, a timer and a socket), laid out as plainly as
// possible, with the same probe.

#include "StartupProbe.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Minimal"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.setFixedSize(465, 519);

    auto *frame = new QGroupBox(&window);
    frame->setGeometry(8, 8, 449, 201);
    const char *captions[] = {"Message:", "Email:", "User:", "Pass:", "Server:"};
    for (int row = 0; row < 5; ++row) {
        (new QLabel(QString::fromLatin1(captions[row]), frame))
            ->setGeometry(16, 24 + 32 * row, 50, 17);
        auto *box = new QLineEdit(frame);
        box->setGeometry(72, 24 + 32 * row, 241, 19);
        if (row == 3)
            box->setEchoMode(QLineEdit::Password);
    }
    const char *buttons[] = {"Test", "Exit", "Print"};
    for (int row = 0; row < 3; ++row)
        (new QPushButton(QString::fromLatin1(buttons[row]), frame))
            ->setGeometry(352, 24 + 40 * row, 65, 25);
    (new QLabel(QStringLiteral("Minimal"), frame))->setGeometry(72, 176, 201, 17);

    (new QLabel(QStringLiteral(" Status"), &window))->setGeometry(8, 216, 449, 17);
    auto *log = new QTextEdit(&window);
    log->setGeometry(8, 232, 449, 281);
    log->setReadOnly(true);
    new QLineEdit(&window); // the hidden focus-parking box

    new QTimer(&window);
    new QTcpSocket(&window);

    window.show();
    ReportWhenShownAndIdle(&window);
    return QApplication::exec();
}
