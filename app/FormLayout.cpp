#include "app/Twips.h"
#include "app/frmMain.h"
#include "util/Colors.h"

#include <QApplication>
#include <QScreen>

namespace {
// Positions and sizes in twips; controls inside the frame are placed
// relative to the frame.
template <typename Control>
Control *Place(Control *control, int left, int top, int width, int height)
{
    control->setGeometry(TwipsRect(left, top, width, height));
    return control;
}

QLabel *MakeLabel(QWidget *parent, const QString &caption, const QString &accessibleName)
{
    auto *label = new QLabel(caption, parent);
    label->setAccessibleName(accessibleName);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QLineEdit *MakeTextBox(QWidget *parent, const QString &accessibleName)
{
    auto *box = new QLineEdit(parent);
    box->setAccessibleName(accessibleName);
    box->setFrame(true);
    box->setMaxLength(std::numeric_limits<int>::max()); // no length limit
    SetBackColor(box, Colors::White);
    return box;
}

QPushButton *MakeButton(QWidget *parent, const QString &caption, const QString &accessibleName)
{
    auto *button = new QPushButton(caption, parent);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    return button;
}

void SetColours(QWidget *control, QPalette::ColorRole background, std::uint32_t back,
                QPalette::ColorRole foreground, std::uint32_t fore)
{
    QPalette palette = control->palette();
    palette.setColor(background, Colors::ToQColor(back));
    palette.setColor(foreground, Colors::ToQColor(fore));
    control->setPalette(palette);
}
} // namespace

void frmMain::CreateControls()
{
    setWindowTitle(QStringLiteral("Vormant"));
    // The layout is measured for an 8-point dialog font; the desktop's family
    // is kept, its size is not, so that every caption fits its control.
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSizeF(7.5);
    setFont(dialogFont);
    // The icons are linked in with the static core library, whose resources
    // nothing would pull into the program unless registered by name.
    Q_INIT_RESOURCE(assets);
    QIcon icon;
    icon.addFile(QStringLiteral(":/vormant-16.png"));
    icon.addFile(QStringLiteral(":/vormant.png"));
    setWindowIcon(icon);
    setFixedSize(Twips(6975), Twips(7785));

    fraMessage = Place(new QGroupBox(this), 120, 120, 6735, 3015);
    fraMessage->setAccessibleName(QStringLiteral("Test message"));

    Label5 =
        Place(MakeLabel(fraMessage, QStringLiteral("Message:"), QStringLiteral("Message label")),
              240, 360, 735, 255);
    txtMessage = Place(MakeTextBox(fraMessage, QStringLiteral("Message")), 1080, 360, 3615, 285);
    cmdTest = Place(MakeButton(fraMessage, QStringLiteral("Test"), QStringLiteral("Test")), 5280,
                    360, 975, 375);
    Label4 = Place(MakeLabel(fraMessage, QStringLiteral("Email:"), QStringLiteral("Email label")),
                   240, 840, 495, 255);
    txtEmail =
        Place(MakeTextBox(fraMessage, QStringLiteral("Recipient address")), 1080, 840, 3615, 285);
    cmdExit = Place(MakeButton(fraMessage, QStringLiteral("Exit"), QStringLiteral("Exit")), 5280,
                    840, 975, 375);
    Label1 = Place(MakeLabel(fraMessage, QStringLiteral("User:"), QStringLiteral("User label")),
                   240, 1320, 495, 255);
    txtUser = Place(MakeTextBox(fraMessage, QStringLiteral("User name")), 1080, 1320, 3615, 285);
    Label2 = Place(MakeLabel(fraMessage, QStringLiteral("Pass:"), QStringLiteral("Password label")),
                   240, 1800, 495, 255);
    txtPass = Place(MakeTextBox(fraMessage, QStringLiteral("Password")), 1080, 1800, 3615, 285);
    txtPass->setEchoMode(QLineEdit::Password);
    // The mask character is "*" whatever the style would draw.
    txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Command1 = Place(MakeButton(fraMessage, QStringLiteral("Print"), QStringLiteral("Print log")),
                     5280, 2160, 975, 375);
    Label3 = Place(MakeLabel(fraMessage, QStringLiteral("Server:"), QStringLiteral("Server label")),
                   240, 2280, 615, 255);
    txtServer =
        Place(MakeTextBox(fraMessage, QStringLiteral("SMTP server")), 1080, 2280, 3615, 285);
    Label6 = Place(MakeLabel(fraMessage, QStringLiteral("Vormant - one message, every reply"),
                             QStringLiteral("About Vormant")),
                   1080, 2640, 3015, 255);
    SetColours(Label6, QPalette::Window, Colors::ButtonFace, QPalette::WindowText,
               Colors::ButtonShadow);

    lblStatus = Place(MakeLabel(this, QStringLiteral(" Status"), QStringLiteral("Status")), 120,
                      3240, 6735, 255);
    lblStatus->setAutoFillBackground(true);
    SetColours(lblStatus, QPalette::Window, Colors::Black, QPalette::WindowText, Colors::White);

    rtbStatus = Place(new StatusLog(this), 120, 3480, 6735, 4215);
    rtbStatus->setAccessibleName(QStringLiteral("Status log"));
    rtbStatus->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    SetColours(rtbStatus, QPalette::Base, Colors::DarkBlue, QPalette::Text, Colors::White);

    // Below the bottom edge of the fixed-size client area: it takes the focus
    // from a clicked button and is never seen.
    txtOver = Place(new QLineEdit(QStringLiteral("Text1"), this), 6840, 9000, 150, 285);
    txtOver->setAccessibleName(QStringLiteral("Focus parking"));

    tmrEmail = new QTimer(this);
    tmrEmail->setInterval(0);
    // A run's verdict waits for a tick; a coarse timer would shift every tick
    // by up to 5 % of the interval either way.
    tmrEmail->setTimerType(Qt::PreciseTimer);

    EmailSock = new SocketArray(this);
}

void frmMain::SetTabOrder()
{
    setTabOrder(txtMessage, txtEmail);
    setTabOrder(txtEmail, txtUser);
    setTabOrder(txtUser, txtPass);
    setTabOrder(txtPass, txtServer);
    setTabOrder(txtServer, cmdTest);
    setTabOrder(cmdTest, cmdExit);
    setTabOrder(cmdExit, txtOver);
    setTabOrder(txtOver, Command1);
    setTabOrder(Command1, txtMessage);
    txtMessage->setFocus();
}

void frmMain::CentreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // move() places the outer frame, so the frame is what gets centred; its
    // size is known once the platform window exists.
    winId();
    QRect area = frameGeometry();
    area.moveCenter(screen->availableGeometry().center());
    move(area.topLeft());
}
