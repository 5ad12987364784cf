#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <random>

namespace quadrelink::sim {

// What the sensor answers, without any I/O: bytes in, bytes out.
//
// Commands are lines ended by a carriage return. The sensor echoes every line
// with its CR, then answers it: "ad" gives the distance in millimetres as four
// digits, "ID" gives the model name, anything else gives a short error. Any
// byte value is accepted, and a line that grows past maxLineLength without a CR
// is cut there and answered as an error, so memory stays bounded.
class SensorModel final
{
public:
    // Faults a test can switch on to see how the program copes.
    struct Behaviour
    {
        bool silent = false; // neither echo nor answer
        bool noCarriageReturn = false; // answers lack their closing CR
        bool randomBytes = false; // answers are replaced by random bytes (never a CR)
        int distance = 0; // every distance answer is this many millimetres; 0: drifting
    };

    // One command line and what the sensor sends back for it. Echo and answer are
    // separate because the answer may be sent later than the echo.
    struct Exchange
    {
        QByteArray line; // without its CR
        QByteArray echo;
        QByteArray answer;
    };

    static constexpr char carriageReturn = '\r';
    static constexpr qsizetype maxLineLength = 4096;
    static constexpr QByteArrayView distanceCommand {"ad"};
    static constexpr QByteArrayView identityCommand {"ID"};
    static constexpr QByteArrayView identity {"UC1000-30GM-IUR2-K-V15"};
    static constexpr QByteArrayView errorAnswer {"E01"};
    static constexpr int minimumDistance = 300;
    static constexpr int maximumDistance = 900;

    // The same seed gives the same distances, so tests are repeatable.
    explicit SensorModel(quint32 seed = 1);
    SensorModel(quint32 seed, Behaviour behaviour);

    void setBehaviour(Behaviour behaviour) { m_behaviour = behaviour; }
    [[nodiscard]] Behaviour behaviour() const { return m_behaviour; }

    // Takes any number of bytes and returns one exchange per line they complete.
    [[nodiscard]] QList<Exchange> receive(QByteArrayView bytes);

    // A distance answer nobody asked for, as sent when the sensor floods the line.
    // Follows noCarriageReturn and randomBytes; silent concerns commands only.
    [[nodiscard]] QByteArray unsolicitedAnswer();

    // Bytes of a line that has not seen its CR yet.
    [[nodiscard]] qsizetype pendingLineLength() const { return m_partialLine.size(); }
    void discardPendingLine() { m_partialLine.clear(); }

private:
    [[nodiscard]] Exchange exchangeFor(QByteArray line);
    [[nodiscard]] QByteArray answerFor(QByteArrayView line);
    [[nodiscard]] QByteArray finishedAnswer(QByteArray answer) const;
    [[nodiscard]] QByteArray randomAnswer();
    [[nodiscard]] QByteArray nextDistance();
    [[nodiscard]] double uniform();

    Behaviour m_behaviour;
    QByteArray m_partialLine;
    std::mt19937 m_random;
    double m_phase = 0.0;
    double m_ripplePhase = 0.0;
};

} // namespace quadrelink::sim
