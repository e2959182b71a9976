#include "ui/WireText.h"

#include <QStringList>

QString FromWire(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString Unsendable(const QString& text) {
    QStringList found;
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (c > 0xFF && !found.contains(character)) {
            found << character;
        }
    }
    return found.join(QLatin1Char(' '));
}
