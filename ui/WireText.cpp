#include "ui/WireText.h"

#include <QStringList>

#include "engine/PrintableText.h"
#include "res/Strings.h"

QString FromWire(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString UnsendableBox(const WireText& text) {
    QStringList names;
    for (const char32_t c : text.refused) {
        names << (IsControlCharacter(c) ? QString::fromStdString(CodePointName(c))
                                        : QString::fromUcs4(&c, 1));
    }
    return QString::fromUtf8(strings::UNSENDABLE).arg(names.join(QLatin1Char(' ')));
}
