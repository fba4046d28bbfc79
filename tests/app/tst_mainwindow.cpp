#include "app/Module1.h"
#include "app/frmMain.h"
#include "platform/ThemeColor.h"
#include "support/TestServices.h"
#include "util/Colors.h"

#include <QAccessible>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QtTest>
#include <algorithm>

// The window as Main shows it: where every control sits, how it looks, what
// it holds, and how the keyboard moves through it.
class tst_MainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowAtStart();
    void controlsDoNotOverlap();
    void captionsStandByTheirControls();
    void captionsAndValuesAtStart_data();
    void captionsAndValuesAtStart();
    void captionsFitTheirControls_data();
    void captionsFitTheirControls();
    void everyControlEnabledAndShown();
    void colours_data();
    void colours();
    void colouredAreasAsDrawn();
    void passwordIsMasked();
    void focusStartsInTheMessage();
    void tabCycle_data();
    void tabCycle();
    void focusParkingBoxIsOutOfSight();
    void logIsNotATabStop();
    void timerAndSocketsAtStart();
    void accessibleNames_data();
    void accessibleNames();
    void accessibleNamesAreDistinct();
    void typedTextReadsOnADarkDesktop_data();
    void typedTextReadsOnADarkDesktop();

private:
    TestServices services;
    frmMain *window = nullptr;
    QHash<QString, QWidget *> controls;
};

namespace {
QHash<QString, QWidget *> ControlsOf(frmMain &w)
{
    return {
        {QStringLiteral("fraMessage"), w.fraMessage}, {QStringLiteral("Label5"), w.Label5},
        {QStringLiteral("txtMessage"), w.txtMessage}, {QStringLiteral("cmdTest"), w.cmdTest},
        {QStringLiteral("Label4"), w.Label4},         {QStringLiteral("txtEmail"), w.txtEmail},
        {QStringLiteral("cmdExit"), w.cmdExit},       {QStringLiteral("Label1"), w.Label1},
        {QStringLiteral("txtUser"), w.txtUser},       {QStringLiteral("Label2"), w.Label2},
        {QStringLiteral("txtPass"), w.txtPass},       {QStringLiteral("Command1"), w.Command1},
        {QStringLiteral("Label3"), w.Label3},         {QStringLiteral("txtServer"), w.txtServer},
        {QStringLiteral("Label6"), w.Label6},         {QStringLiteral("lblStatus"), w.lblStatus},
        {QStringLiteral("rtbStatus"), w.rtbStatus},   {QStringLiteral("txtOver"), w.txtOver},
    };
}

QString NameOf(const QHash<QString, QWidget *> &controls, const QWidget *widget)
{
    return widget ? controls.key(const_cast<QWidget *>(widget), widget->metaObject()->className())
                  : QStringLiteral("(nothing)");
}

// A caption's text as it is drawn: the "&" before the letter of its Alt
// shortcut is not shown.
QString Shown(const QWidget *control)
{
    QString text = control->property("text").toString();
    const auto *label = qobject_cast<const QLabel *>(control);
    return label && label->buddy() ? text.remove(u'&') : text;
}

// Whether any pixel of the image is close to the colour (text is drawn
// anti-aliased, so its edges blend into the background).
bool HasPixelNear(const QImage &image, const QColor &colour, int tolerance)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) <= tolerance &&
                std::abs(pixel.green() - colour.green()) <= tolerance &&
                std::abs(pixel.blue() - colour.blue()) <= tolerance)
                return true;
        }
    return false;
}

// Pixels whose brightness is far from the background's: what can be read.
int PixelsStandingOut(const QImage &image, const QColor &background)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += std::abs(qGray(image.pixel(x, y)) - qGray(background.rgb())) >= 100;
    return count;
}

QPalette DarkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(238, 238, 236));
    dark.setColor(QPalette::Base, QColor(45, 45, 45));
    dark.setColor(QPalette::Text, QColor(238, 238, 236));
    dark.setColor(QPalette::Button, QColor(60, 60, 60));
    dark.setColor(QPalette::ButtonText, QColor(238, 238, 236));
    return dark;
}
} // namespace

void tst_MainWindow::initTestCase()
{
    // Nothing here may end the test program or wait on a modal box.
    services.atProgramEnd = [] { QFAIL("the window ended the program"); };
    services.whileBoxOpen = [](const TestServices::Box &box) {
        QFAIL(qPrintable(QStringLiteral("unexpected message box: ") + box.text));
    };
}

void tst_MainWindow::init()
{
    Module1::Main();
    window = Module1::MainForm;
    QVERIFY(window);
    controls = ControlsOf(*window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void tst_MainWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void tst_MainWindow::windowAtStart()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Vormant"));
    // The client area is 6975 by 7785 twips, 1440 to the inch, whatever the
    // screen's resolution: measured in the screen's own pixels.
    const qreal dotsPerInch = window->logicalDpiX() * window->devicePixelRatioF();
    bool dpiGiven = false;
    const int expectedDpi = qEnvironmentVariableIntValue("VORMANT_TEST_DPI", &dpiGiven);
    QCOMPARE(dotsPerInch, qreal(dpiGiven ? expectedDpi : 96));
    const QSize devicePixels = window->grab().size();
    QCOMPARE(devicePixels, (QSizeF(6975, 7785) * dotsPerInch / 1440).toSize());
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowState(), Qt::WindowNoState);

    const QPoint screenCentre = window->screen()->availableGeometry().center();
    const QPoint offCentre = window->frameGeometry().center() - screenCentre;
    QVERIFY2(
        std::abs(offCentre.x()) <= 1 && std::abs(offCentre.y()) <= 1,
        qPrintable(
            QStringLiteral("window centre is off by %1,%2").arg(offCentre.x()).arg(offCentre.y())));

    const QList<QSize> iconSizes = window->windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)));
    QVERIFY(iconSizes.contains(QSize(32, 32)));
}

// What the layout implies, whatever its numbers: inside the frame no control
// covers another, and every control lies within its container, the frame or
// the window's client area (the focus-parking box, out of sight on purpose,
// apart).
void tst_MainWindow::controlsDoNotOverlap()
{
    QList<QWidget *> inFrame;
    for (QWidget *control : std::as_const(controls)) {
        if (control == window->txtOver)
            continue;
        QWidget *container = control->parentWidget();
        const QRect area = container == window ? window->rect() : container->contentsRect();
        QVERIFY2(area.contains(control->geometry()),
                 qPrintable(NameOf(controls, control) + QStringLiteral(" lies outside ") +
                            NameOf(controls, container)));
        if (container == window->fraMessage)
            inFrame << control;
    }
    QCOMPARE(inFrame.size(), 14);
    for (const QWidget *one : std::as_const(inFrame))
        for (const QWidget *other : std::as_const(inFrame))
            QVERIFY2(one == other || !one->geometry().intersects(other->geometry()),
                     qPrintable(NameOf(controls, one) + QStringLiteral(" overlaps ") +
                                NameOf(controls, other)));
}

// Each caption stands where it is read as its control's: a field's on the
// field's line, before it; the log's caption bar right above the log, as
// wide as it.
void tst_MainWindow::captionsStandByTheirControls()
{
    int captions = 0;
    for (QWidget *control : std::as_const(controls)) {
        const auto *caption = qobject_cast<QLabel *>(control);
        if (!caption || !caption->buddy())
            continue;
        ++captions;
        const QRect before = caption->geometry();
        const QRect field = caption->buddy()->geometry();
        const QString names = NameOf(controls, caption) + u'/' + NameOf(controls, caption->buddy());
        if (caption->buddy() == window->rtbStatus) {
            QVERIFY2(before.left() == field.left() && before.width() == field.width(),
                     qPrintable(names));
            QVERIFY2(before.top() < field.top() && before.bottom() >= field.top() - 1,
                     qPrintable(names));
        } else {
            QVERIFY2(before.right() < field.left(), qPrintable(names));
            QVERIFY2(before.top() <= field.bottom() && field.top() <= before.bottom(),
                     qPrintable(names));
        }
    }
    QCOMPARE(captions, 6);
}

void tst_MainWindow::captionsAndValuesAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    auto row = [](const char *name, const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << text;
    };
    row("Label5", QStringLiteral("Message:"));
    row("Label4", QStringLiteral("Email:"));
    row("Label1", QStringLiteral("User:"));
    row("Label2", QStringLiteral("Pass:"));
    row("Label3", QStringLiteral("Server:"));
    row("lblStatus", QStringLiteral(" Status"));
    row("cmdTest", QStringLiteral("Test"));
    row("cmdExit", QStringLiteral("Exit"));
    row("Command1", QStringLiteral("Print"));
    row("txtMessage", QString());
    row("txtEmail", QString());
    row("txtUser", QString());
    row("txtPass", QString());
    row("txtServer", QString());
    row("txtOver", QStringLiteral("Text1"));
}

void tst_MainWindow::captionsAndValuesAtStart()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget *control = controls.value(name);
    QVERIFY(control);
    QCOMPARE(Shown(control), text);
}

void tst_MainWindow::captionsFitTheirControls_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"Label5", "Label4", "Label1", "Label2", "Label3", "Label6",
                             "lblStatus", "cmdTest", "cmdExit", "Command1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// The layout is fixed: a caption wider than its control would be cut off. A
// caption with an Alt shortcut looks exactly like one without: no letter
// underlined, whatever the style would do.
void tst_MainWindow::captionsFitTheirControls()
{
    QFETCH(QString, name);
    QWidget *control = controls.value(name);
    QVERIFY(control);
    const QString caption = Shown(control);
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QLabel plain(caption, label->parentWidget());
        plain.setGeometry(label->geometry());
        plain.setPalette(label->palette());
        plain.setAutoFillBackground(label->autoFillBackground());
        QCOMPARE(label->grab().toImage(), plain.grab().toImage());
    }
    QVERIFY(!caption.isEmpty());
    QVERIFY2(!caption.contains(u'\n'), "a caption of more than one line");
    const QFontMetrics metrics(control->font());
    QVERIFY2(metrics.horizontalAdvance(caption) <= control->width(),
             qPrintable(QStringLiteral("\"%1\" needs %2 pixels, has %3")
                            .arg(caption)
                            .arg(metrics.horizontalAdvance(caption))
                            .arg(control->width())));
    QVERIFY(metrics.height() <= control->height());
}

void tst_MainWindow::everyControlEnabledAndShown()
{
    QCOMPARE(controls.size(), 18);
    for (auto it = controls.cbegin(); it != controls.cend(); ++it) {
        QVERIFY2(it.value()->isEnabled(), qPrintable(it.key()));
        QVERIFY2(it.value()->isVisibleTo(window), qPrintable(it.key()));
    }
}

void tst_MainWindow::colours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("lblStatus background")
        << QStringLiteral("lblStatus") << QPalette::Window << QColor(0, 0, 0);
    QTest::newRow("lblStatus text")
        << QStringLiteral("lblStatus") << QPalette::WindowText << QColor(255, 255, 255);
    QTest::newRow("rtbStatus background")
        << QStringLiteral("rtbStatus") << QPalette::Base << QColor(0, 0, 192);
    // Qt's palettes call the button shadow of other desktops "Dark".
    QTest::newRow("Label6 text") << QStringLiteral("Label6") << QPalette::WindowText
                                 << QApplication::palette().color(QPalette::Dark);
    QTest::newRow("text box background")
        << QStringLiteral("txtMessage") << QPalette::Base << QColor(255, 255, 255);
}

void tst_MainWindow::colours()
{
    QFETCH(QString, name);
    QFETCH(QPalette::ColorRole, role);
    QFETCH(QColor, colour);
    QWidget *control = controls.value(name);
    QVERIFY(control);
    QCOMPARE(control->palette().color(QPalette::Active, role), colour);
    QCOMPARE(control->palette().color(QPalette::Inactive, role), colour);
}

// The colours as they reach the screen: the caption bar is filled black with
// white text, the log's page is dark blue, the credit line is grey.
void tst_MainWindow::colouredAreasAsDrawn()
{
    const QImage bar = window->lblStatus->grab().toImage();
    QCOMPARE(bar.pixelColor(bar.width() - 3, bar.height() / 2), QColor(0, 0, 0));
    QCOMPARE(bar.pixelColor(1, 1), QColor(0, 0, 0));
    QVERIFY2(HasPixelNear(bar, Qt::white, 60), "no white text on the status bar");

    const QImage log = window->rtbStatus->viewport()->grab().toImage();
    QCOMPARE(log.pixelColor(log.width() / 2, log.height() / 2), QColor(0, 0, 192));
    QCOMPARE(log.pixelColor(2, log.height() - 3), QColor(0, 0, 192));

    const QImage credit = window->Label6->grab().toImage();
    QVERIFY2(HasPixelNear(credit, QApplication::palette().color(QPalette::Dark), 24),
             "the credit line is not drawn in the shadow colour");
    QVERIFY2(!HasPixelNear(credit, QApplication::palette().color(QPalette::WindowText), 8),
             "the credit line is drawn in the normal text colour");
}

void tst_MainWindow::passwordIsMasked()
{
    QTest::keyClicks(window->txtPass, QStringLiteral("s3cret!"));
    QCOMPARE(window->txtPass->text(), QStringLiteral("s3cret!"));
    QCOMPARE(window->txtPass->displayText(), QStringLiteral("*******"));

    // Nor does the password reach a screen reader.
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(window->txtPass);
    QVERIFY(access);
    QVERIFY(!access->text(QAccessible::Value).contains(QStringLiteral("s3cret")));

    // The other fields show what is typed.
    QTest::keyClicks(window->txtUser, QStringLiteral("bob"));
    QCOMPARE(window->txtUser->displayText(), QStringLiteral("bob"));
}

void tst_MainWindow::focusStartsInTheMessage()
{
    QCOMPARE(NameOf(controls, QApplication::focusWidget()), QStringLiteral("txtMessage"));
}

void tst_MainWindow::tabCycle_data()
{
    QTest::addColumn<int>("direction"); // through the reading order; 0: the keys below
    QTest::addColumn<QList<QKeyCombination>>("keys");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("Tab") << 1 << QList<QKeyCombination>() << QStringList();
    QTest::newRow("Shift+Tab") << -1 << QList<QKeyCombination>() << QStringList();
    // The letters of the captions; Alt+T reaches the log, which Tab skips.
    QTest::newRow("Alt shortcuts")
        << 0
        << QList<QKeyCombination>{Qt::ALT | Qt::Key_P, Qt::ALT | Qt::Key_T, Qt::ALT | Qt::Key_E,
                                  Qt::ALT | Qt::Key_S, Qt::ALT | Qt::Key_U, Qt::ALT | Qt::Key_M}
        << QStringList{QStringLiteral("txtPass"),  QStringLiteral("rtbStatus"),
                       QStringLiteral("txtEmail"), QStringLiteral("txtServer"),
                       QStringLiteral("txtUser"),  QStringLiteral("txtMessage")};
}

// From the message field once round the whole window. Tab goes the way the
// form reads: down the column of fields, then down the column of buttons,
// and back to the first field; Shift+Tab the other way.
void tst_MainWindow::tabCycle()
{
    QFETCH(int, direction);
    QFETCH(QList<QKeyCombination>, keys);
    QFETCH(QStringList, order);
    QCOMPARE(NameOf(controls, QApplication::focusWidget()), QStringLiteral("txtMessage"));
    if (direction != 0) {
        QList<QWidget *> fields;
        QList<QWidget *> buttons;
        for (QWidget *control : std::as_const(controls)) {
            if (control->isVisibleTo(window) && window->rect().contains(control->geometry()) &&
                (control->focusPolicy() & Qt::TabFocus))
                (qobject_cast<QLineEdit *>(control) ? fields : buttons) << control;
        }
        const auto byRow = [](const QWidget *one, const QWidget *other) {
            return one->y() < other->y();
        };
        std::sort(fields.begin(), fields.end(), byRow);
        std::sort(buttons.begin(), buttons.end(), byRow);
        for (const QWidget *control : fields + buttons)
            order << NameOf(controls, control);
        if (direction > 0)
            order.append(order.takeFirst());
        else
            std::reverse(order.begin(), order.end());
        keys = QList<QKeyCombination>(order.size(), direction > 0 ? Qt::Key_Tab : Qt::Key_Backtab);
    }

    QStringList visited;
    for (const QKeyCombination key : keys) {
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        visited << NameOf(controls, QApplication::focusWidget());
    }
    QCOMPARE(visited, order);
}

void tst_MainWindow::focusParkingBoxIsOutOfSight()
{
    QWidget *txtOver = window->txtOver;
    QVERIFY(!window->rect().intersects(txtOver->geometry()));
    QVERIFY(txtOver->isVisible());

    // It holds the focus, so that no visible control looks focused.
    txtOver->setFocus();
    QTRY_VERIFY(txtOver->hasFocus());

    // Should the window ever grow, the box must still not be seen.
    window->resize(window->width() + 400, window->height() + 400);
    QVERIFY(!window->rect().intersects(txtOver->geometry()));

    // Nor is assistive technology told about it.
    QAccessibleInterface *form = QAccessible::queryAccessibleInterface(window);
    QCOMPARE(form->indexOfChild(QAccessible::queryAccessibleInterface(txtOver)), -1);
    for (int i = 0; i < form->childCount(); ++i)
        QVERIFY(form->child(i)->object() != txtOver);
}

void tst_MainWindow::logIsNotATabStop()
{
    QVERIFY(!(window->rtbStatus->focusPolicy() & Qt::TabFocus));
    QCOMPARE(window->rtbStatus->Text(), QString());
}

void tst_MainWindow::timerAndSocketsAtStart()
{
    QVERIFY(!window->tmrEmail->isActive());
    QCOMPARE(window->tmrEmail->interval(), 0);

    SocketArray &sockets = *window->EmailSock;
    QCOMPARE(sockets.Indexes(), QList<std::int16_t>{0});
    QCOMPARE(sockets(0).State(), SocketState::Closed);
    QCOMPARE(sockets(0).RemoteHost, QString());
    QCOMPARE(sockets(0).RemotePort, 0);
    QCOMPARE(sockets(0).LocalPort, 0);
}

void tst_MainWindow::accessibleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("caption"); // the label that names the control
    auto row = [](const char *name, QAccessible::Role role, const char *spoken,
                  const char *caption = "") {
        QTest::newRow(name) << QString::fromLatin1(name) << role << QString::fromLatin1(spoken)
                            << QString::fromLatin1(caption);
    };
    row("fraMessage", QAccessible::Grouping, "Test message");
    // A caption is read as it is seen.
    row("Label5", QAccessible::StaticText, "Message:");
    row("Label4", QAccessible::StaticText, "Email:");
    row("Label1", QAccessible::StaticText, "User:");
    row("Label2", QAccessible::StaticText, "Pass:");
    row("Label3", QAccessible::StaticText, "Server:");
    row("Label6", QAccessible::StaticText, "Vormant - one message, every reply");
    row("lblStatus", QAccessible::StaticText, "Status");
    // A field's name holds the word of its caption.
    row("txtMessage", QAccessible::EditableText, "Message", "Label5");
    row("txtEmail", QAccessible::EditableText, "Email", "Label4");
    row("txtUser", QAccessible::EditableText, "User name", "Label1");
    row("txtPass", QAccessible::EditableText, "Password", "Label2");
    row("txtServer", QAccessible::EditableText, "Server", "Label3");
    row("txtOver", QAccessible::EditableText, "Focus parking");
    row("cmdTest", QAccessible::Button, "Test");
    row("cmdExit", QAccessible::Button, "Exit");
    row("Command1", QAccessible::Button, "Print log");
    row("rtbStatus", QAccessible::EditableText, "Status log", "lblStatus");
}

// What a screen reader announces for each control, and which caption it
// reads as the control's label.
void tst_MainWindow::accessibleNames()
{
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, spoken);
    QFETCH(QString, caption);
    QWidget *control = controls.value(name);
    QVERIFY(control);
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(control);
    QVERIFY(access);
    QCOMPARE(access->role(), role);
    QCOMPARE(access->text(QAccessible::Name), spoken);

    QStringList labels;
    for (const auto &[label, relation] : access->relations(QAccessible::Label))
        labels << NameOf(controls, qobject_cast<QWidget *>(label->object()));
    QCOMPARE(labels, caption.isEmpty() ? QStringList() : QStringList{caption});
}

void tst_MainWindow::accessibleNamesAreDistinct()
{
    QHash<QString, QString> owner;
    for (auto it = controls.cbegin(); it != controls.cend(); ++it) {
        const QString &name = it.key();
        const QString spoken =
            QAccessible::queryAccessibleInterface(it.value())->text(QAccessible::Name);
        QVERIFY2(!owner.contains(spoken),
                 qPrintable(QStringLiteral("%1 and %2 are both called \"%3\"")
                                .arg(owner.value(spoken), name, spoken)));
        owner.insert(spoken, name);
    }
}

void tst_MainWindow::typedTextReadsOnADarkDesktop_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("locked");
    for (const char *desktop : {"dark palette", "Adwaita-Dark"})
        for (const char *name : {"txtMessage", "txtPass"})
            for (const bool locked : {false, true})
                QTest::addRow("%s, %s, %s", desktop, name, locked ? "locked" : "idle")
                    << QString::fromLatin1(desktop) << QString::fromLatin1(name) << locked;
}

// The fields set their own background; the text on it must read whatever
// the desktop's theme, while a test is being set up and while it runs.
void tst_MainWindow::typedTextReadsOnADarkDesktop()
{
    QFETCH(QString, desktop);
    QFETCH(QString, name);
    QFETCH(bool, locked);

    const QString styleBefore = QApplication::style()->name();
    const QPalette paletteBefore = QApplication::palette();
    const auto restore = qScopeGuard([&] {
        QApplication::setStyle(styleBefore);
        QApplication::setPalette(paletteBefore);
    });
    if (desktop == QStringLiteral("dark palette")) {
        QApplication::setPalette(DarkPalette());
    } else {
        QStyle *style = QStyleFactory::create(desktop);
        QVERIFY2(style, "the Adwaita-Dark style (package adwaita-qt6) is not installed");
        QApplication::setStyle(style);
        QApplication::setPalette(style->standardPalette());
    }
    QVERIFY2(qGray(QApplication::palette().color(QPalette::Text).rgb()) > 160,
             "the desktop's text colour is not a light one");

    // The program starts on this desktop.
    delete window;
    Module1::Main();
    window = Module1::MainForm;
    controls = ControlsOf(*window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *field = qobject_cast<QLineEdit *>(controls.value(name));
    QVERIFY(field);

    window->txtOver->setFocus(); // no blinking cursor in the pictures
    if (locked)
        window->LockFields();
    const QColor background = Colors::ToQColor(BackColor(field));
    const int blank = PixelsStandingOut(field->grab().toImage(), background);
    if (locked)
        window->UnlockFields();
    QTest::keyClicks(field, QStringLiteral("Wombat@example.com"));
    window->txtOver->setFocus();
    if (locked)
        window->LockFields();
    QCOMPARE(Colors::ToQColor(BackColor(field)), background);

    const int typed = PixelsStandingOut(field->grab().toImage(), background);
    QVERIFY2(typed - blank >= 40, qPrintable(QStringLiteral("only %1 pixels of the text stand "
                                                            "out from the background")
                                                 .arg(typed - blank)));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
