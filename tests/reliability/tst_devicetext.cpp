#include "app/form1.h"
#include "fakewindow.h"
#include "sensor/extractreply.h"

#include <QLabel>
#include <QTest>

using namespace quadrelink;

// Text from the device is shown, never interpreted, and never lost on its way
// to ReplyBuffer.
class tst_DeviceText : public QObject
{
    Q_OBJECT

private slots:
    void init() { showFakeWindow(m_form, m_comm); }
    void cleanup() { m_form.reset(); }

    void markupIsShownLiterally_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("bold") << "<b>x</b>";
        QTest::newRow("image of a local file") << "<img src=\"file:///etc/passwd\">";
        QTest::newRow("link") << "<a href=\"http://example.invalid/\">click</a>";
        QTest::newRow("entity") << "&lt;&amp;";
        QTest::newRow("html document") << "<html><body><h1>x</h1></body></html>";
    }
    void markupIsShownLiterally()
    {
        QFETCH(QString, answer);
        for (QLabel *label : {m_form->controls().Label2, m_form->controls().Label6}) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QVERIFY(!label->openExternalLinks());
        }
        m_comm->receive(QStringLiteral("ad\r") + answer + u'\r');
        m_form->Timer3_Timer();
        QCOMPARE(m_form->controls().Label2->text(), answer);
        m_comm->receive(QStringLiteral("ID\r") + answer + u'\r');
        m_form->Timer4_Timer();
        QCOMPARE(m_form->controls().Label6->text(), answer);
        // Rendering plain text draws the characters: the label asks for as much
        // room as the text needs, which an <img> or a tag would not.
        QVERIFY(m_form->controls().Label6->sizeHint().width()
                >= m_form->controls().Label6->fontMetrics().horizontalAdvance(answer) - 1);
    }

    void oddBytesKeptWhole_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::newRow("NUL inside the answer") << QByteArray("ad\r05\0"
                                                             "23\r",
                                                             9);
        QTest::newRow("bytes 0x80 to 0xFF") << [] {
            QByteArray bytes("ad\r");
            for (int b = 0x80; b <= 0xFF; ++b)
                bytes += char(b);
            return bytes + '\r';
        }();
        QTest::newRow("lone line feeds") << QByteArray("\nad\n\r\n0523\n");
        QTest::newRow("1024 bytes without CR") << QByteArray(1024, '7');
        QTest::newRow("several answers in one read")
            << QByteArray("ad\r0523\rad\r0524\rad\r0525\r");
        QTest::newRow("only a CR") << QByteArray("\r");
    }
    void oddBytesKeptWhole()
    {
        QFETCH(QByteArray, received);
        const QString text = QString::fromLatin1(received);
        m_comm->receive(text);
        m_form->Timer3_Timer();
        QCOMPARE(m_form->replyBuffer().toLatin1(), received);
        QCOMPARE(m_form->controls().Label2->text(), displayText(ExtractReply(text)));
    }

private:
    FakeComm *m_comm = nullptr;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(tst_DeviceText)
#include "tst_devicetext.moc"
