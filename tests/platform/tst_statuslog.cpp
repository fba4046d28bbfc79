#include "platform/StatusLog.h"
#include "support/HeadlessWindow.h"

#include <QTextBlock>
#include <QtTest>

#include <algorithm>

// The coloured log: the colour each piece of text is shown in, text shown as
// the characters it is made of, the plain text read back, and clearing.
class tst_StatusLog : public QObject
{
    Q_OBJECT
private slots:
    void insertedTextTakesTheSelectedColour_data();
    void insertedTextTakesTheSelectedColour();
    void coloursOfALogStayApart_data();
    void coloursOfALogStayApart();
    void textIsNeverMarkup_data();
    void textIsNeverMarkup();
    void textReadsBackWithCrLf_data();
    void textReadsBackWithCrLf();
    void controlCharactersStayVisible();
    void clearingEmptiesTheLog();
    void insertionGoesToTheEndWhateverTheUserSelected();
    void theRecordedLogShowsWhatTheWindowShows_data();
    void theRecordedLogShowsWhatTheWindowShows();
};

namespace {
struct Piece
{
    QString text;
    QColor colour;
};

// The log as runs of text of one colour, in order.
QList<Piece> Pieces(const StatusLog &log)
{
    QList<Piece> pieces;
    for (QTextBlock block = log.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QColor colour = fragment.charFormat().foreground().color();
            if (!pieces.isEmpty() && pieces.last().colour == colour)
                pieces.last().text += fragment.text();
            else
                pieces.append({fragment.text(), colour});
        }
    }
    return pieces;
}

bool AnyFormatting(const StatusLog &log)
{
    for (QTextBlock block = log.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.fontWeight() > QFont::Normal || format.fontItalic() ||
                format.fontUnderline() || format.isAnchor() || format.fontStrikeOut())
                return true;
        }
    }
    return false;
}
} // namespace

void tst_StatusLog::insertedTextTakesTheSelectedColour_data()
{
    QTest::addColumn<std::uint32_t>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("white") << std::uint32_t(0xFFFFFF) << QColor(255, 255, 255);
    QTest::newRow("yellow") << std::uint32_t(0x00FFFF) << QColor(255, 255, 0);
    QTest::newRow("dark blue") << std::uint32_t(0xC00000) << QColor(0, 0, 192);
    QTest::newRow("red is the low byte") << std::uint32_t(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("green is the middle byte") << std::uint32_t(0x008000) << QColor(0, 128, 0);
}

void tst_StatusLog::insertedTextTakesTheSelectedColour()
{
    QFETCH(std::uint32_t, value);
    QFETCH(QColor, colour);
    StatusLog log;
    log.SetSelColor(value);
    log.InsertText(QStringLiteral("250 OK"));

    const QList<Piece> pieces = Pieces(log);
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces.at(0).text, QStringLiteral("250 OK"));
    QCOMPARE(pieces.at(0).colour, colour);
}

// Held insertions (a reply being answered) reach the log only when let go,
// then in their order and colours, as if inserted one by one.
void tst_StatusLog::coloursOfALogStayApart_data()
{
    QTest::addColumn<int>("holdBefore");    // hold before this insertion; -1: never
    QTest::addColumn<int>("releaseBefore"); // let go before this insertion; 4: after the last
    QTest::newRow("inserted at once") << -1 << -1;
    QTest::newRow("all held, let go at the end") << 0 << 4;
    QTest::newRow("held from the middle") << 2 << 4;
    QTest::newRow("let go in the middle") << 0 << 2;
}

void tst_StatusLog::coloursOfALogStayApart()
{
    QFETCH(int, holdBefore);
    QFETCH(int, releaseBefore);
    const std::pair<std::uint32_t, QString> inserts[] = {
        {0xFFFFFF, QStringLiteral("HELO bob\r\n")},
        {0x00FFFF, QStringLiteral("250 mail.example.org\r\n")},
        {0x00FFFF, QStringLiteral("\r\n")},
        {0xFFFFFF, QStringLiteral("MAIL FROM:Admin")}};

    StatusLog log;
    QString shown;
    for (int i = 0; i < 4; ++i) {
        if (i == holdBefore)
            log.HoldInsertions();
        if (i == releaseBefore)
            log.InsertHeld();
        log.SetSelColor(inserts[i].first);
        log.InsertText(inserts[i].second);
        // While held, nothing new shows.
        if (holdBefore < 0 || i < holdBefore || i >= releaseBefore)
            shown = log.Text();
        QCOMPARE(log.Text(), shown);
    }
    if (releaseBefore == 4)
        log.InsertHeld();

    const QList<Piece> pieces = Pieces(log);
    QCOMPARE(pieces.size(), 3);
    QCOMPARE(pieces.at(0).text, QStringLiteral("HELO bob"));
    QCOMPARE(pieces.at(0).colour, QColor(Qt::white));
    QCOMPARE(pieces.at(1).text, QStringLiteral("250 mail.example.org"));
    QCOMPARE(pieces.at(1).colour, QColor(Qt::yellow));
    QCOMPARE(pieces.at(2).text, QStringLiteral("MAIL FROM:Admin"));
    QCOMPARE(pieces.at(2).colour, QColor(Qt::white));
    QCOMPARE(log.Text(), QStringLiteral("HELO bob\r\n250 mail.example.org\r\n\r\nMAIL FROM:Admin"));
}

void tst_StatusLog::textIsNeverMarkup_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("tags") << QStringLiteral("220 <b>bold</b> <i>x</i> <u>y</u>");
    QTest::newRow("whole document") << QStringLiteral("<html><body><h1>554</h1></body></html>");
    QTest::newRow("entities") << QStringLiteral("250 &lt;ok&gt; &amp; &nbsp;");
    QTest::newRow("link") << QStringLiteral("<a href=\"http://example.com\">click</a>");
    QTest::newRow("image") << QStringLiteral("<img src=\"file:///etc/passwd\">");
    QTest::newRow("markdown") << QStringLiteral("**bold** _it_ # head");
    QTest::newRow("angle brackets of an address") << QStringLiteral("MAIL FROM:<a@b.example>");
}

// A server decides what it sends; the user sees exactly those characters.
void tst_StatusLog::textIsNeverMarkup()
{
    QFETCH(QString, text);
    StatusLog inserted;
    inserted.SetSelColor(0x00FFFF);
    inserted.InsertText(text);
    QCOMPARE(inserted.Text(), text);
    QVERIFY(!AnyFormatting(inserted));
    QCOMPARE(Pieces(inserted).size(), 1);

    StatusLog replaced;
    replaced.SetText(text);
    QCOMPARE(replaced.Text(), text);
    QVERIFY(!AnyFormatting(replaced));
}

void tst_StatusLog::textReadsBackWithCrLf_data()
{
    QTest::addColumn<QStringList>("inserts");
    QTest::addColumn<QString>("text");
    QTest::newRow("one line") << QStringList{QStringLiteral("QUIT\r\n")}
                              << QStringLiteral("QUIT\r\n");
    QTest::newRow("lines across inserts")
        << QStringList{QStringLiteral("HELO bob\r\n"), QStringLiteral("250 ok\r\n"),
                       QStringLiteral("\r\n")}
        << QStringLiteral("HELO bob\r\n250 ok\r\n\r\n");
    QTest::newRow("bare LF from a sloppy server")
        << QStringList{QStringLiteral("250-a\n250 b\n")} << QStringLiteral("250-a\r\n250 b\r\n");
    QTest::newRow("no line end at all")
        << QStringList{QStringLiteral("220 partial")} << QStringLiteral("220 partial");
    QTest::newRow("non-ASCII") << QStringList{QStringLiteral("250 J\u00FCrgen \u20AC\r\n")}
                               << QStringLiteral("250 J\u00FCrgen \u20AC\r\n");
}

void tst_StatusLog::textReadsBackWithCrLf()
{
    QFETCH(QStringList, inserts);
    QFETCH(QString, text);
    StatusLog log;
    for (const QString &insert : inserts)
        log.InsertText(insert);
    QCOMPARE(log.Text(), text);
}

// A NUL or an escape from a server neither cuts the log short nor vanishes.
void tst_StatusLog::controlCharactersStayVisible()
{
    StatusLog log;
    log.InsertText(QStringLiteral("250 a") + QChar(0) + QStringLiteral("b\x1B[31mc\r\n"));
    const QString text = log.Text();
    QVERIFY(text.startsWith(QStringLiteral("250 a")));
    QVERIFY(text.endsWith(QStringLiteral("c\r\n")));
    QCOMPARE(text.size(), 15);
    QVERIFY(!text.contains(QChar(0)));
    QVERIFY(!text.contains(QChar(0x1B)));
}

void tst_StatusLog::clearingEmptiesTheLog()
{
    StatusLog log;
    log.SetSelColor(0x00FFFF);
    log.InsertText(QStringLiteral("554 no\r\n"));
    log.SetText(QString());
    QCOMPARE(log.Text(), QString());
    QVERIFY(Pieces(log).isEmpty());

    log.SetSelColor(0xFFFFFF);
    log.InsertText(QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));
    QCOMPARE(log.Text(), QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));
    const QList<Piece> pieces = Pieces(log);
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces.at(0).colour, QColor(Qt::white));
}

// A user may click into the log or select part of it while a run goes on;
// the next line still goes to the end, and the selection is not replaced.
void tst_StatusLog::insertionGoesToTheEndWhateverTheUserSelected()
{
    StatusLog log;
    log.InsertText(QStringLiteral("first\r\nsecond\r\n"));
    QTextCursor cursor = log.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    log.setTextCursor(cursor);

    log.InsertText(QStringLiteral("third\r\n"));
    QCOMPARE(log.Text(), QStringLiteral("first\r\nsecond\r\nthird\r\n"));
}

void tst_StatusLog::theRecordedLogShowsWhatTheWindowShows_data()
{
    // Each step: "hold", "release", "set:<text>", or "<colour in hex>:<text>" inserted.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("a dialogue") << QStringList{
        "FFFFFF:Connecting to SMTP Server, please wait ..\r\n", "FFFF00:Connected.\r\n",
        "00FFFF:220 mail.example.org ESMTP\r\n", "FFFFFF:HELO [127.0.0.1]\r\n", "00FFFF:\r\n"};
    QTest::newRow("held, let go in the middle")
        << QStringList{"FFFFFF:QUIT\r\n",     "hold",    "00FFFF:221 Bye\r\n",
                       "FFFF00:The dialogue", "release", "FFFFFF: took 5 ms.\r\n"};
    QTest::newRow("held, never let go") << QStringList{"FFFFFF:one\r\n", "hold", "00FFFF:two\r\n"};
    QTest::newRow("colour changes within a line")
        << QStringList{"00FFFF:", "FFFFFF:250", "00FFFF:-SIZE\r\n", "FFFFFF:\r\nnext"};
    QTest::newRow("bare LF, lone CR, CR and LF apart")
        << QStringList{"00FFFF:a\nb\rc\r", "00FFFF:\nd\r\n\r\n"};
    QTest::newRow("control characters")
        << QStringList{QStringLiteral("00FFFF:250 a") + QChar(0) + "b\x1B[31m\x7F\tc\r\n"};
    QTest::newRow("separators and no-break space")
        << QStringList{QStringLiteral("00FFFF:a") + QChar(0x2028) + "b" + QChar(0x2029) + "c" +
                       QChar(0xA0) + "d\r\n"};
    QTest::newRow("an earlier log, then a run")
        << QStringList{"set:earlier log\r\nline two", "FFFFFF:more\r\n"};
    QTest::newRow("cleared") << QStringList{"00FFFF:554 no\r\n", "set:", "FFFFFF:first\r\n"};
    // A mark (after "#") goes with its text, unseen, and ends with it.
    QTest::newRow("marked lines, held and not") << QStringList{
        "FFFF00#65537:note\r\n", "hold",   "00FFFF:250 ok\r\n", "FFFF00#131074:hint\r\n",
        "FFFF00:plain\r\n",      "release"};
}

// Engine suites read the log of a window without widgets: it must read back
// exactly as the window's log, text, lines and colours.
void tst_StatusLog::theRecordedLogShowsWhatTheWindowShows()
{
    QFETCH(QStringList, steps);
    StatusLog shown;
    RecordedLog recorded;
    for (const QString &step : steps) {
        for (LogControl *log : std::initializer_list<LogControl *>{&shown, &recorded}) {
            if (step == QStringLiteral("hold")) {
                log->HoldInsertions();
            } else if (step == QStringLiteral("release")) {
                log->InsertHeld();
            } else if (step.startsWith(QStringLiteral("set:"))) {
                log->SetText(step.mid(4));
            } else {
                const QString head = step.section(u':', 0, 0);
                log->SetSelColor(head.section(u'#', 0, 0).toUInt(nullptr, 16));
                log->InsertMarkedText(step.section(u':', 1), head.section(u'#', 1).toUInt());
            }
        }
        QCOMPARE(recorded.Text(), shown.Text());
    }
    const QList<RecordedLog::Line> lines = ShownLines(shown);
    QCOMPARE(recorded.Lines().size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QCOMPARE(recorded.Lines().at(i).text, lines.at(i).text);
        QCOMPARE(recorded.Lines().at(i).colour, lines.at(i).colour);
        QCOMPARE(recorded.Lines().at(i).mark, lines.at(i).mark);
    }
    // A marked line of one piece reads back with its mark.
    for (const QString &step : steps) {
        const QString head = step.section(u':', 0, 0);
        const auto carries = [&](const RecordedLog::Line &line) {
            return line.text + QStringLiteral("\r\n") == step.section(u':', 1) &&
                   line.mark == head.section(u'#', 1).toUInt();
        };
        QVERIFY(!head.contains(u'#') || std::any_of(lines.begin(), lines.end(), carries));
    }
}

QTEST_MAIN(tst_StatusLog)
#include "tst_statuslog.moc"
