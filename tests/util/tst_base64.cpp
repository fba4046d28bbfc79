#include "util/Base64.h"

#include <QRandomGenerator>
#include <QtTest>

// The credentials of AUTH LOGIN go out as Base64 of their UTF-8 bytes: a
// server decodes exactly the bytes the user typed, and no text can make the
// encoder fail.
class tst_Base64 : public QObject
{
    Q_OBJECT
private slots:
    void knownEncodings_data();
    void knownEncodings();
    void matchesQtOnRandomAscii();
    void matchesQtOnRandomUnicode();
    void longTextIsOneLine();
    void ascOrZero_data();
    void ascOrZero();
};

void tst_Base64::knownEncodings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // RFC 4648, section 10.
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("f") << QStringLiteral("f") << QStringLiteral("Zg==");
    QTest::newRow("fo") << QStringLiteral("fo") << QStringLiteral("Zm8=");
    QTest::newRow("foo") << QStringLiteral("foo") << QStringLiteral("Zm9v");
    QTest::newRow("foob") << QStringLiteral("foob") << QStringLiteral("Zm9vYg==");
    QTest::newRow("fooba") << QStringLiteral("fooba") << QStringLiteral("Zm9vYmE=");
    QTest::newRow("foobar") << QStringLiteral("foobar") << QStringLiteral("Zm9vYmFy");

    QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("YWJj");
    QTest::newRow("user") << QStringLiteral("user") << QStringLiteral("dXNlcg==");
    QTest::newRow("three zero bytes") << QString(3, QChar(0)) << QStringLiteral("AAAA");
    QTest::newRow("zero byte inside")
        << QStringLiteral("a%1b").arg(QChar(0)) << QStringLiteral("YQBi");
    QTest::newRow("highest ASCII") << QString(3, QChar(0x7F)) << QStringLiteral("f39/");
    QTest::newRow("Latin-1 letters") << QStringLiteral("\xFB\xFF") << QStringLiteral("w7vDvw==");
    // Beyond ASCII the UTF-8 bytes are encoded: "ÿ" is C3 BF.
    QTest::newRow("y with diaeresis")
        << QStringLiteral("\u00FF\u00FF\u00FF") << QStringLiteral("w7/Dv8O/");
    QTest::newRow("umlauts") << QStringLiteral("p\u00E4ssw\u00F6rd")
                             << QStringLiteral("cMOkc3N3w7ZyZA==");
    QTest::newRow("euro sign") << QStringLiteral("\u20AC") << QStringLiteral("4oKs");
    QTest::newRow("CJK") << QStringLiteral("\u65E5\u672C") << QStringLiteral("5pel5pys");
    QTest::newRow("outside the BMP") << QStringLiteral("\U0001F600") << QStringLiteral("8J+YgA==");
}

void tst_Base64::knownEncodings()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Base64Encode(text), expected);
}

void tst_Base64::matchesQtOnRandomAscii()
{
    // Fixed seed: a failure can be reproduced.
    QRandomGenerator random(4648);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = int(random.bounded(40));
        for (int i = 0; i < length; ++i)
            text += QChar(char16_t(random.bounded(128)));
        const QString expected = QString::fromLatin1(text.toLatin1().toBase64());
        QVERIFY2(Base64Encode(text) == expected, qPrintable(text.toUtf8().toHex()));
    }
}

void tst_Base64::matchesQtOnRandomUnicode()
{
    QRandomGenerator random(5321);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = int(random.bounded(30));
        for (int i = 0; i < length; ++i) {
            char32_t code = 0;
            switch (random.bounded(4)) {
            case 0:
                code = random.bounded(0x80u);
                break;
            case 1:
                code = 0x80 + random.bounded(0x780u);
                break; // two UTF-8 bytes
            case 2:
                code = 0x800 + random.bounded(0xD000u - 0x800u);
                break; // three, below the surrogates
            default:
                code = 0x10000 + random.bounded(0x100000u);
                break; // four
            }
            text += QString::fromUcs4(&code, 1);
        }
        const QString expected = QString::fromLatin1(text.toUtf8().toBase64());
        QVERIFY2(Base64Encode(text) == expected, qPrintable(text.toUtf8().toHex()));
    }
}

void tst_Base64::longTextIsOneLine()
{
    QString text;
    for (int i = 0; i < 700; ++i)
        text += QChar(char16_t(0x20 + i % 95));
    const QString encoded = Base64Encode(text);
    QVERIFY(!encoded.contains(u'\n'));
    QVERIFY(!encoded.contains(u'\r'));
    QCOMPARE(encoded.size(), (700 + 2) / 3 * 4);
    QCOMPARE(encoded, QString::fromLatin1(text.toLatin1().toBase64()));
}

void tst_Base64::ascOrZero_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("zero byte") << QByteArray(1, '\0') << 0;
    QTest::newRow("A") << QByteArray("A") << 65;
    QTest::newRow("first byte only") << QByteArray("zA") << 122;
    QTest::newRow("high byte") << QByteArray("\xFF") << 255;
}

void tst_Base64::ascOrZero()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QCOMPARE(int(AscOrZero(bytes)), expected);
}

QTEST_GUILESS_MAIN(tst_Base64)
#include "tst_base64.moc"
