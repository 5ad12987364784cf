#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal for integration tests: the test holds the device side, the
// program under test opens path(). The terminal side is put in raw mode so
// bytes pass unchanged, and our own copy of it is closed so that the program's
// close is seen as a hang-up.
class PseudoTerminal final
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    [[nodiscard]] bool isValid() const { return m_master >= 0; }
    [[nodiscard]] QString path() const { return m_path; }

    // Whether a program holds the terminal side open.
    [[nodiscard]] bool peerOpen() const;

    void write(const QByteArray &bytes);

    // Reads what the program sent, waiting up to timeoutMs (running the event
    // loop meanwhile) until at least `count` bytes came.
    [[nodiscard]] QByteArray read(qsizetype count, int timeoutMs = 5000);

    // Reads at most `count` bytes, waiting up to timeoutMs for them without
    // running the event loop: only what the program has already handed to the
    // system arrives. A far end that reads little at a time is a slow line.
    [[nodiscard]] QByteArray readWithoutEvents(qsizetype count, int timeoutMs = 0);

    // What the device side sees of the line settings the program gave its
    // side. A pseudo-terminal forces 8 data bits and no parity, so only these
    // show; the parity flags still tell odd from even and mark/space from both.
    struct Line
    {
        qint32 baudRate = 0; // standard rates only; -1 for any other
        bool twoStopBits = false;
        bool oddParity = false; // PARODD: odd, or mark with markOrSpaceParity
        bool markOrSpaceParity = false;
        friend bool operator==(const Line &, const Line &) = default;
    };
    [[nodiscard]] Line line() const;

    // Closes the device side: the program's port hangs up.
    void hangUp();

private:
    int m_master = -1;
    QString m_path;
};
