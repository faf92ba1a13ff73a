#pragma once

#include <QByteArray>
#include <QEvent>

#include <cstdint>

// The two private messages that reach the main window from the reader thread. A received chunk
// travels inside its event, so it belongs to whoever holds the event: an event that is never
// delivered frees its chunk with it.

inline constexpr std::uint32_t WM_RECEIVED_DATA = 1025;
inline constexpr std::uint32_t WM_RECEIVE_ERROR = 1026;

static_assert(WM_RECEIVED_DATA > QEvent::User && WM_RECEIVE_ERROR < QEvent::MaxUser);

class CReceivedDataEvent : public QEvent
{
public:
    explicit CReceivedDataEvent(QByteArray chunk)
        : QEvent(static_cast<QEvent::Type>(WM_RECEIVED_DATA))
        , m_chunk(std::move(chunk))
    { }
    const QByteArray &chunk() const { return m_chunk; }

private:
    QByteArray m_chunk;
};

class CReceiveErrorEvent : public QEvent
{
public:
    CReceiveErrorEvent()
        : QEvent(static_cast<QEvent::Type>(WM_RECEIVE_ERROR))
    { }
};
