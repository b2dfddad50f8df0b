#pragma once

#include <QByteArray>

// A two-wire RS-485 adapter hears its own transmitter: the request comes back on the
// line before the module's reply. This takes the bytes received at the start of an
// exchange and holds back those that are exactly the request just sent, tab to
// carriage return; everything else passes on unchanged, in order.
class LineEcho
{
public:
    explicit LineEcho(QByteArray request) : m_request(std::move(request)) {}

    // The bytes to pass on after this one: none while it may still be the echo, the
    // held bytes and this one once it is not.
    QByteArray feed(quint8 byte);
    // What is held back at the end of the wait: a part of the request, which was no echo.
    QByteArray release();
    // True once the whole request came back and was dropped.
    bool dropped() const { return m_dropped; }

private:
    QByteArray m_request;
    qsizetype m_matched = 0;
    bool m_decided = false;
    bool m_dropped = false;
};
