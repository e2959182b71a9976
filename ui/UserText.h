#pragma once
// The core's texts are fragments made to be joined ("the port must be ..."); a box or a log line
// of their own starts with a capital and ends with a full stop.

#include <QString>
#include <string>

inline std::string Sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    if (!text.empty() && text.back() != '.') {
        text += '.';
    }
    return text;
}

inline QString Sentence(const QString& text) {
    return QString::fromStdString(Sentence(text.toStdString()));
}
