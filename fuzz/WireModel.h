#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What the client may send, answer by answer, with the fixed inputs of a fuzz
// run: the dialogue with or without a login, AUTH LOGIN or AUTH PLAIN
// (greeting with EHLO, or with HELO after a refused EHLO);
// at any point a QUIT that ends it after a refusal.
// Whatever a server sends, the client's bytes must follow one of these.
class WireModel
{
public:
    WireModel(const QString &to, const QString &user, const QString &pass,
              const QByteArray &bodyOnWire, bool withAuth);

    // The client sent `answer` after one arrival of server data (possibly
    // nothing). False when no legal dialogue continues that way.
    bool Accept(const QByteArray &answer);

    // The last answer accepted was the QUIT that follows the message. A
    // refusal of the message is answered with QUIT too; the caller tells the
    // two apart by whether the slot ended with it.
    bool QuitSent() const { return m_quitSent; }

private:
    QList<QList<QByteArray>> m_scripts; // each a list of answers
    QList<qsizetype> m_positions;       // next answer of each script still possible
    bool m_quitSent = false;
};

// The message answer with its Date header, the unique part of its
// Message-ID and its date and time line replaced by "<date>", "<id>" and
// "<stamp>".
QByteArray WithoutStamp(QByteArray answer);
