#include "sending.h"

#include "portlayer.h"
#include "retryoninterrupt.h"

#include <QByteArrayList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Waits until the port takes bytes again, at most until the deadline.
bool WaitUntilWritable(int port, Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    pollfd wait = {port, POLLOUT, 0};
    return RetryOnInterrupt([&] { return poll(&wait, 1, static_cast<int>(left.count())); }) > 0;
}

// The deadline moves with every byte taken, so only a write that stalls fails, not a long one.
bool WriteAll(int port, const char *bytes, std::int32_t length)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(WRITE_STALL_TIMEOUT_MS);
    while (length > 0) {
        const ssize_t written = write(port, bytes, static_cast<size_t>(length));
        if (written > 0) {
            bytes += written;
            length -= static_cast<std::int32_t>(written);
            deadline = Clock::now() + std::chrono::milliseconds(WRITE_STALL_TIMEOUT_MS);
        } else if (written < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        } else if (!WaitUntilWritable(port, deadline)) {
            return false;
        }
    }
    return true;
}

bool WriteNothing(int port, const char *bytes)
{
    return RetryOnInterrupt([&] { return write(port, bytes, 0); }) == 0;
}

// A terminal write that blocks waits until every byte is taken, without end while output is
// held, so the write runs non-blocking and waits in poll(). The reader copes with the shared
// descriptor being non-blocking meanwhile.
bool WriteNonBlocking(int port, const char *bytes, std::int32_t length)
{
    const int flags = fcntl(port, F_GETFL);
    if (flags < 0 || fcntl(port, F_SETFL, flags | O_NONBLOCK) != 0)
        return false;
    const bool written = length == 0 ? WriteNothing(port, bytes) : WriteAll(port, bytes, length);
    fcntl(port, F_SETFL, flags);
    return written;
}

// CR and LF never occur inside a double-byte character, so the bytes can be scanned one by one.
QByteArray WithCrLfLineBreaks(const QByteArray &bytes)
{
    QByteArray converted;
    converted.reserve(bytes.size() + bytes.count('\n'));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            converted.append('\r');
        converted.append(bytes[i]);
    }
    return converted;
}

// The encoder marks each character it cannot encode with a NUL byte, and no byte of an encoded
// character is NUL, so the NULs of each stretch between the text's own NULs are those marks.
QByteArray EncodeWindows31j(const QString &text)
{
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::ConvertInvalidToNull);
    QByteArrayList stretches;
    for (const QString &stretch : text.split(QChar(u'\0')))
        stretches.append(QByteArray(encoder.encode(stretch)).replace('\0', '?'));
    return stretches.join('\0');
}

} // namespace

bool WritePort(const char *bytes, std::int32_t length)
{
    const int port = com_handle;
    if (port == INVALID_PORT_HANDLE || length < 0)
        return false;
    return WriteNonBlocking(port, bytes, length);
}

bool SendTextInPieces(std::span<const char> text, std::span<char, SEND_PIECE_SIZE> sendBuffer,
                      std::int32_t &sendLength)
{
    const std::size_t pieces = text.size() / SEND_PIECE_SIZE + 1;
    for (std::size_t piece = 0; piece < pieces; ++piece) {
        const auto rest = text.subspan(piece * SEND_PIECE_SIZE);
        const std::size_t length = std::min<std::size_t>(rest.size(), SEND_PIECE_SIZE);
        std::fill(sendBuffer.begin(), sendBuffer.end(), '\0');
        std::copy_n(rest.begin(), length, sendBuffer.begin());
        sendLength = static_cast<std::int32_t>(length);
        if (!WritePort(sendBuffer.data(), sendLength))
            return false;
    }
    return true;
}

QByteArray EncodeSendText(const QString &text)
{
    return WithCrLfLineBreaks(EncodeWindows31j(text));
}
