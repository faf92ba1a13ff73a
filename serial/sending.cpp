#include "sending.h"

#include "portlayer.h"

#include <algorithm>

namespace {

// CR and LF never occur inside a double-byte character, so the bytes can be scanned one by one.
std::string WithCrLfLineBreaks(std::string_view bytes)
{
    std::string converted;
    converted.reserve(bytes.size()
                      + static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            converted += '\r';
        converted += bytes[i];
    }
    return converted;
}

} // namespace

bool SendTextInPieces(CSerialPort &port, std::span<const char> text,
                      std::span<char, SEND_PIECE_SIZE> sendBuffer, std::int32_t &sendLength)
{
    const std::size_t pieces = text.size() / SEND_PIECE_SIZE + 1;
    for (std::size_t piece = 0; piece < pieces; ++piece) {
        const auto rest = text.subspan(piece * SEND_PIECE_SIZE);
        const std::size_t length = std::min<std::size_t>(rest.size(), SEND_PIECE_SIZE);
        std::fill(sendBuffer.begin(), sendBuffer.end(), '\0');
        std::copy_n(rest.begin(), length, sendBuffer.begin());
        sendLength = static_cast<std::int32_t>(length);
        if (!port.WritePort(sendBuffer.data(), sendLength))
            return false;
    }
    return true;
}

std::string EncodeSendText(std::string_view text)
{
    return WithCrLfLineBreaks(EncodeWindows31j(text));
}
