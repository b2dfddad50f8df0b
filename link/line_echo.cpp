#include "line_echo.h"

QByteArray LineEcho::feed(quint8 byte)
{
    if (m_decided)
        return QByteArray(1, char(byte));
    if (m_matched < m_request.size() && char(byte) == m_request.at(m_matched)) {
        if (++m_matched == m_request.size()) {
            m_decided = true;
            m_dropped = true;
        }
        return {};
    }
    m_decided = true;
    return m_request.left(m_matched) + char(byte);
}

QByteArray LineEcho::release()
{
    if (m_decided)
        return {};
    m_decided = true;
    return m_request.left(m_matched);
}
