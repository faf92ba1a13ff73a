#include "sending.h"

#include <QByteArrayList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

// The encoder marks each character it cannot encode with a NUL byte, and no byte of an encoded
// character is NUL, so the NULs of each stretch between the text's own NULs are those marks.
std::string EncodeWindows31j(std::string_view text)
{
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::ConvertInvalidToNull);
    QByteArrayList stretches;
    const QString unicode = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (const QString &stretch : unicode.split(QChar(u'\0')))
        stretches.append(QByteArray(encoder.encode(stretch)).replace('\0', '?'));
    return stretches.join('\0').toStdString();
}
