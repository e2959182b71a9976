#pragma once
// Sizes in the dialog units of the window templates, for the window's own font: a horizontal
// unit is a quarter of the font's average character width, a vertical unit an eighth of its
// height. So the templates' proportions hold at any font size or screen scale.

#include <QFontMetrics>
#include <QSize>
#include <QString>

inline QSize DialogUnitsToPixels(const QFontMetrics& metrics, int x, int y) {
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int averageWidth = (alphabet / 26 + 1) / 2;
    return {x * averageWidth / 4, y * metrics.height() / 8};
}
