#include "sensormodel.h"

#include <QTest>

#include <algorithm>
#include <cstdlib>

using quadrelink::sim::SensorModel;
using Behaviour = SensorModel::Behaviour;

Q_DECLARE_METATYPE(SensorModel::Behaviour)

namespace {

QByteArray sent(const QList<SensorModel::Exchange> &exchanges)
{
    QByteArray bytes;
    for (const auto &exchange : exchanges)
        bytes += exchange.echo + exchange.answer;
    return bytes;
}

// '#' in the shape stands for any decimal digit; every other byte must match.
bool hasShape(const QByteArray &bytes, const QByteArray &shape)
{
    return bytes.size() == shape.size()
        && std::equal(bytes.begin(), bytes.end(), shape.begin(), [](char byte, char expected) {
               return expected == '#' ? (byte >= '0' && byte <= '9') : byte == expected;
           });
}

QList<int> distances(quint32 seed, int count)
{
    SensorModel model(seed);
    QList<int> values;
    while (values.size() < count)
        values.append(model.receive("ad\r").constFirst().answer.chopped(1).toInt());
    return values;
}

} // namespace

class tst_SensorModel : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void overlongLine_data();
    void overlongLine();
    void randomBytesReplaceTheAnswer();
    void distanceDrift_data();
    void distanceDrift();
};

void tst_SensorModel::replies_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("shape");

    const QByteArray id = "UC1000-30GM-IUR2-K-V15";
    const Behaviour normal;
    const Behaviour noCr {.noCarriageReturn = true};
    const Behaviour silent {.silent = true};
    const Behaviour fixed {.distance = 42};

    QTest::newRow("ad gives echo then four digits then CR")
        << QList<QByteArray> {"ad\r"} << normal << QByteArray("ad\r####\r");
    QTest::newRow("ID gives the model name")
        << QList<QByteArray> {"ID\r"} << normal << "ID\r" + id + "\r";
    QTest::newRow("unknown line gives the error")
        << QList<QByteArray> {"xy\r"} << normal << QByteArray("xy\rE01\r");
    QTest::newRow("empty line gives the error")
        << QList<QByteArray> {"\r"} << normal << QByteArray("\rE01\r");
    QTest::newRow("nothing before the CR") << QList<QByteArray> {"ad"} << normal << QByteArray();
    QTest::newRow("line split across chunks")
        << QList<QByteArray> {"a", "d", "\r"} << normal << QByteArray("ad\r####\r");
    QTest::newRow("several lines in one chunk")
        << QList<QByteArray> {"ad\rID\rzz\r"} << normal << "ad\r####\rID\r" + id + "\rzz\rE01\r";
    QTest::newRow("LF after CR starts the next line")
        << QList<QByteArray> {"ad\r\nad\r"} << normal << QByteArray("ad\r####\r\nad\rE01\r");
    QTest::newRow("NUL and high bytes are an unknown line")
        << QList<QByteArray> {QByteArray("\0\x80\xff", 3) + "\r"} << normal
        << QByteArray("\0\x80\xff\rE01\r", 8);
    QTest::newRow("no-CR knob on ad")
        << QList<QByteArray> {"ad\r"} << noCr << QByteArray("ad\r####");
    QTest::newRow("no-CR knob on ID") << QList<QByteArray> {"ID\r"} << noCr << "ID\r" + id;
    QTest::newRow("fixed distance knob, zero-padded, every time")
        << QList<QByteArray> {"ad\rad\r"} << fixed << QByteArray("ad\r0042\rad\r0042\r");
    QTest::newRow("silent knob on several lines")
        << QList<QByteArray> {"ID\rad\rzz\r"} << silent << QByteArray();
}

void tst_SensorModel::replies()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, shape);

    SensorModel model(7, behaviour);
    QByteArray bytes;
    QList<QByteArray> lines;
    for (const auto &chunk : chunks) {
        const auto exchanges = model.receive(chunk);
        bytes += sent(exchanges);
        for (const auto &exchange : exchanges)
            lines.append(exchange.line);
    }

    QVERIFY2(hasShape(bytes, shape), bytes.toPercentEncoding().constData());
    // Every complete line is reported, even when the sensor keeps quiet about it.
    QCOMPARE(lines.size(), chunks.join().count('\r'));
}

void tst_SensorModel::overlongLine_data()
{
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<bool>("withCr");
    QTest::addColumn<qsizetype>("lines");

    const qsizetype max = SensorModel::maxLineLength;
    QTest::newRow("one short of the limit, then CR") << max - 1 << true << qsizetype(1);
    QTest::newRow("at the limit without CR is cut") << max << false << qsizetype(1);
    QTest::newRow("at the limit, then CR: an empty line follows") << max << true << qsizetype(2);
    QTest::newRow("far beyond the limit") << 3 * max + 10 << false << qsizetype(3);
}

void tst_SensorModel::overlongLine()
{
    QFETCH(qsizetype, length);
    QFETCH(bool, withCr);
    QFETCH(qsizetype, lines);

    // NULs and high bytes, fed in pieces.
    QByteArray input = QByteArray("\0\xff", 2).repeated(length / 2 + 1).left(length);
    if (withCr)
        input.append('\r');
    SensorModel model;
    QList<SensorModel::Exchange> exchanges;
    for (qsizetype at = 0; at < input.size(); at += 1000)
        exchanges += model.receive(input.mid(at, 1000));

    QCOMPARE(exchanges.size(), lines);
    qsizetype seen = model.pendingLineLength();
    for (const auto &exchange : exchanges) {
        QVERIFY(exchange.line.size() <= SensorModel::maxLineLength);
        QCOMPARE(exchange.echo, exchange.line + '\r');
        QCOMPARE(exchange.answer, QByteArray("E01\r"));
        seen += exchange.line.size();
    }
    QCOMPARE(seen, length);

    // Once the junk is ended, commands are understood again.
    const auto after = model.receive("\rad\r");
    QVERIFY(hasShape(sent({after.constLast()}), "ad\r####\r"));
}

void tst_SensorModel::randomBytesReplaceTheAnswer()
{
    SensorModel model(3, {.randomBytes = true});
    bool sawNul = false;
    bool sawHighByte = false;
    for (int i = 0; i < 200; ++i) {
        const auto exchanges = model.receive("ad\r");
        QCOMPARE(exchanges.size(), 1);
        QCOMPARE(exchanges[0].echo, QByteArray("ad\r"));
        const QByteArray answer = exchanges[0].answer;
        QVERIFY(answer.endsWith('\r'));
        // One garbage reply per command: the only CR is the closing one.
        QCOMPARE(answer.count('\r'), 1);
        QVERIFY(!hasShape(answer, "####\r"));
        sawNul = sawNul || answer.contains('\0');
        sawHighByte = sawHighByte || std::any_of(answer.begin(), answer.end(), [](char c) {
                          return static_cast<unsigned char>(c) >= 0x80;
                      });
    }
    QVERIFY(sawNul);
    QVERIFY(sawHighByte);
}

void tst_SensorModel::distanceDrift_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2") << 2u;
    QTest::newRow("seed 0xffffffff") << 0xffffffffu;
}

void tst_SensorModel::distanceDrift()
{
    QFETCH(quint32, seed);
    const QList<int> values = distances(seed, 2000);

    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    QVERIFY2(*lowest >= SensorModel::minimumDistance, QByteArray::number(*lowest));
    QVERIFY2(*highest <= SensorModel::maximumDistance, QByteArray::number(*highest));
    // It moves, but like an object, not like noise.
    QVERIFY(*highest - *lowest >= 100);
    for (qsizetype i = 1; i < values.size(); ++i)
        QVERIFY2(std::abs(values[i] - values[i - 1]) <= 15, QByteArray::number(i));

    QCOMPARE(distances(seed, 50), values.first(50));
    QVERIFY(distances(seed + 1, 50) != values.first(50));
}

QTEST_GUILESS_MAIN(tst_SensorModel)
#include "tst_sensormodel.moc"
