#include "app/gbk_qt.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString fromGbk(std::string_view text) {
    QStringDecoder decoder("GBK");
    if (!decoder.isValid())  // a toolkit built without the codec: show what is readable
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

std::string toGbk(const QString& text) {
    QStringEncoder encoder("GBK");
    if (!encoder.isValid()) return text.toLatin1().toStdString();
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}
