#include "app/CaptionStyle.h"
#include "app/Twips.h"
#include "app/frmMain.h"
#include "platform/AccessibilityBus.h"
#include "platform/ThemeColor.h"
#include "util/Colors.h"

#include <QApplication>
#include <QScreen>
#include <utility>

namespace {
// Positions and sizes in twips; controls inside the frame are placed
// relative to the frame.
template <typename Control>
Control *Place(Control *control, int left, int top, int width, int height)
{
    control->setGeometry(TwipsRect(left, top, width, height));
    return control;
}

// A label's accessible name is its text, as it is read on the screen.
QLabel *MakeLabel(QWidget *parent, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

// The accessible name begins with the word of the field's caption, the word
// that a user of speech input says; the description tells what goes in.
QLineEdit *MakeTextBox(QWidget *parent, const QString &accessibleName,
                       const QString &description = {})
{
    auto *box = new QLineEdit(parent);
    box->setAccessibleName(accessibleName);
    box->setAccessibleDescription(description);
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

    const QString noLogin = QStringLiteral("Leave User and Pass empty to send without a login");
    Label5 = Place(MakeLabel(fraMessage, QStringLiteral("&Message:")), 240, 360, 735, 255);
    txtMessage = Place(MakeTextBox(fraMessage, QStringLiteral("Message"),
                                   QStringLiteral("Text of the test message")),
                       1080, 360, 3615, 285);
    cmdTest = Place(MakeButton(fraMessage, QStringLiteral("Test"), QStringLiteral("Test")), 5280,
                    360, 975, 375);
    Label4 = Place(MakeLabel(fraMessage, QStringLiteral("&Email:")), 240, 840, 495, 255);
    txtEmail =
        Place(MakeTextBox(fraMessage, QStringLiteral("Email"), QStringLiteral("Recipient address")),
              1080, 840, 3615, 285);
    cmdExit = Place(MakeButton(fraMessage, QStringLiteral("Exit"), QStringLiteral("Exit")), 5280,
                    840, 975, 375);
    Label1 = Place(MakeLabel(fraMessage, QStringLiteral("&User:")), 240, 1320, 495, 255);
    txtUser =
        Place(MakeTextBox(fraMessage, QStringLiteral("User name"), noLogin), 1080, 1320, 3615, 285);
    Label2 = Place(MakeLabel(fraMessage, QStringLiteral("&Pass:")), 240, 1800, 495, 255);
    txtPass =
        Place(MakeTextBox(fraMessage, QStringLiteral("Password"), noLogin), 1080, 1800, 3615, 285);
    txtPass->setEchoMode(QLineEdit::Password);
    // The mask character is "*" whatever the style would draw.
    txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Command1 = Place(MakeButton(fraMessage, QStringLiteral("Print"), QStringLiteral("Print log")),
                     5280, 2160, 975, 375);
    Label3 = Place(MakeLabel(fraMessage, QStringLiteral("&Server:")), 240, 2280, 615, 255);
    txtServer = Place(MakeTextBox(fraMessage, QStringLiteral("Server"),
                                  QStringLiteral("Host name of the SMTP server")),
                      1080, 2280, 3615, 285);
    Label6 = Place(MakeLabel(fraMessage, QStringLiteral("Vormant - one message, every reply")),
                   1080, 2640, 3015, 255);
    SetColours(Label6, QPalette::Window, Colors::ButtonFace, QPalette::WindowText,
               Colors::ButtonShadow);

    lblStatus = Place(MakeLabel(this, QStringLiteral(" S&tatus")), 120, 3240, 6735, 255);
    lblStatus->setAccessibleName(QStringLiteral("Status")); // the blank is only a margin
    lblStatus->setAutoFillBackground(true);
    SetColours(lblStatus, QPalette::Window, Colors::Black, QPalette::WindowText, Colors::White);

    rtbStatus = Place(new StatusLog(this), 120, 3480, 6735, 4215);
    rtbStatus->setAccessibleName(QStringLiteral("Status log"));
    // Not a tab stop; Alt+T of its caption bar reaches it from the keyboard,
    // to read the notes and hints of a failed run line by line.
    rtbStatus->setFocusPolicy(Qt::ClickFocus);
    SetColours(rtbStatus, QPalette::Base, Colors::DarkBlue, QPalette::Text, Colors::White);

    // Each caption labels its control for assistive technology, and Alt with
    // the letter after "&" moves the focus there. The letter is not
    // underlined (CaptionStyle): a caption reads exactly as its text.
    auto *captionStyle = new CaptionStyle(this);
    for (const auto &[caption, control] : {std::pair<QLabel *, QWidget *>{Label5, txtMessage},
                                           {Label4, txtEmail},
                                           {Label1, txtUser},
                                           {Label2, txtPass},
                                           {Label3, txtServer},
                                           {lblStatus, rtbStatus}}) {
        caption->setBuddy(control);
        caption->setStyle(captionStyle);
    }

    // Below the bottom edge of the fixed-size client area: it takes the focus
    // from a clicked button and is never seen, so it is neither a tab stop
    // nor shown to assistive technology.
    txtOver = Place(new QLineEdit(QStringLiteral("Text1"), this), 6840, 9000, 150, 285);
    txtOver->setAccessibleName(QStringLiteral("Focus parking"));
    txtOver->setFocusPolicy(Qt::ClickFocus);
    AccessibilityBus::LeaveOut(txtOver);

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
    setTabOrder(cmdExit, Command1);
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
