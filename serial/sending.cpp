#include "sending.h"

#include "portlayer.h"

#include <QByteArrayList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>

namespace {

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
    const QByteArray bytes = WithCrLfLineBreaks(
        EncodeWindows31j(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
    return bytes.toStdString();
}
