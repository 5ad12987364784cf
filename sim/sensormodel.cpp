#include "sensormodel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace quadrelink::sim {

namespace {

// The target sways slowly between about 340 and 860 mm: a wide swing, a faster
// ripple on top and a little measurement noise. At most a few millimetres change
// between two readings, so a program polling a few times a second sees a plausible
// moving object, not noise.
constexpr double centreMm = 600.0;
constexpr double swingMm = 220.0;
constexpr double rippleMm = 40.0;
constexpr double rippleRate = 2.7;
constexpr double noiseMm = 4.0;
constexpr double phaseStep = 0.015;

constexpr qsizetype longestRandomAnswer = 12;

} // namespace

SensorModel::SensorModel(quint32 seed)
    : SensorModel(seed, Behaviour {})
{ }

SensorModel::SensorModel(quint32 seed, Behaviour behaviour)
    : m_behaviour(behaviour)
    , m_random(seed)
{
    m_phase = uniform() * 2.0 * std::numbers::pi;
    m_ripplePhase = uniform() * 2.0 * std::numbers::pi;
}

QList<SensorModel::Exchange> SensorModel::receive(QByteArrayView bytes)
{
    QList<Exchange> exchanges;
    for (const char byte : bytes) {
        if (byte == carriageReturn) {
            exchanges.append(exchangeFor(std::exchange(m_partialLine, {})));
            continue;
        }
        m_partialLine.append(byte);
        if (m_partialLine.size() >= maxLineLength)
            exchanges.append(exchangeFor(std::exchange(m_partialLine, {})));
    }
    return exchanges;
}

QByteArray SensorModel::unsolicitedAnswer()
{
    return finishedAnswer(m_behaviour.randomBytes ? randomAnswer() : nextDistance());
}

SensorModel::Exchange SensorModel::exchangeFor(QByteArray line)
{
    Exchange exchange;
    if (!m_behaviour.silent) {
        exchange.echo = line + carriageReturn;
        exchange.answer
            = finishedAnswer(m_behaviour.randomBytes ? randomAnswer() : answerFor(line));
    }
    exchange.line = std::move(line);
    return exchange;
}

QByteArray SensorModel::answerFor(QByteArrayView line)
{
    if (line == distanceCommand)
        return nextDistance();
    if (line == identityCommand)
        return identity.toByteArray();
    return errorAnswer.toByteArray();
}

QByteArray SensorModel::finishedAnswer(QByteArray answer) const
{
    if (!m_behaviour.noCarriageReturn)
        answer.append(carriageReturn);
    return answer;
}

QByteArray SensorModel::randomAnswer()
{
    const auto length = 1 + static_cast<qsizetype>(m_random() % longestRandomAnswer);
    QByteArray answer;
    answer.reserve(length);
    while (answer.size() < length) {
        const auto byte = static_cast<char>(m_random() & 0xff);
        // A CR would split the garbage into two replies; keep it one.
        if (byte != carriageReturn)
            answer.append(byte);
    }
    return answer;
}

QByteArray SensorModel::nextDistance()
{
    if (m_behaviour.distance > 0)
        return QByteArray::number(m_behaviour.distance).rightJustified(4, '0');
    m_phase += phaseStep;
    const double mm = centreMm + swingMm * std::sin(m_phase)
        + rippleMm * std::sin(rippleRate * m_phase + m_ripplePhase) + noiseMm * (uniform() - 0.5);
    const int distance
        = std::clamp(static_cast<int>(std::lround(mm)), minimumDistance, maximumDistance);
    return QByteArray::number(distance).rightJustified(4, '0');
}

double SensorModel::uniform()
{
    // Spelled out instead of std::uniform_real_distribution, whose output is not
    // the same across standard libraries.
    return static_cast<double>(m_random() >> 5) / static_cast<double>(1u << 27);
}

} // namespace quadrelink::sim
