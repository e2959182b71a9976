#include "ui/HistoryFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// Longer than any command line (128 Latin-1 characters, two UTF-8 bytes each), with room.
constexpr int MAX_LINE_BYTES = 512;
constexpr qint64 MAX_READ = qint64{MAX_HISTORY} * (MAX_LINE_BYTES + 1);

// A command as the command line could have sent it: Latin-1, no control characters.
bool IsCommand(const QString& line) {
    if (line.trimmed().isEmpty()) {
        return false;
    }
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u > 0xFF) {
            return false;
        }
    }
    return true;
}

} // namespace

LoadedHistory LoadHistory(const QString& path) {
    LoadedHistory loaded;
    QFile file(path);
    // Only a plain file: a pipe or a device in its place could block the window for good.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return loaded;
    }
    const qint64 size = file.size();
    const bool cut = size > MAX_READ;
    if (cut) {
        file.seek(size - MAX_READ);
    }
    QList<QByteArray> lines = file.read(MAX_READ).split('\n');
    if (cut) {
        lines.removeFirst(); // begins mid-line
    }
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast(); // after the last newline
    }
    for (const QByteArray& bytes : lines) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString line = utf8(bytes);
        if (bytes.size() > MAX_LINE_BYTES || utf8.hasError() || !IsCommand(line)) {
            loaded.damaged = true;
        } else if (loaded.commands.isEmpty() || loaded.commands.last() != line) {
            loaded.commands.push_back(line);
        }
    }
    if (loaded.commands.size() > MAX_HISTORY) {
        loaded.commands.remove(0, loaded.commands.size() - MAX_HISTORY);
    }
    return loaded;
}

bool SaveHistory(const QString& path, const QStringList& commands, QString* error) {
    QByteArray text;
    for (const QString& command : commands) {
        text += command.toUtf8() + '\n';
    }
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                       file.write(text) == text.size() && file.commit();
    if (!saved) {
        *error = file.errorString();
    }
    return saved;
}
