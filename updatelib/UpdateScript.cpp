#include "UpdateScript.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vyx {

bool TUpdateScript::LoadFromFile(const QString& path)
{
    // A FIFO or device put in the script's place must not hold the wizard: opened without
    // waiting, and only a regular file is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    QFile file;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    LoadFromText(file.read(1 << 20));
    return true;
}

void TUpdateScript::LoadFromText(const QByteArray& text)
{
    sections_.clear();
    // Section names, not pointers: the table rehashes as sections are added.
    QString current;
    bool inSection = false;
    // Lines end in CR, LF or CR LF, as in the settings file; the empty line between CR and LF
    // is skipped with the others.
    QByteArray lines = text;
    lines.replace('\r', '\n');
    for (const QByteArray& raw : lines.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed().toLower();
            current = name;
            inSection = true;
            sections_[current];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inSection || equals <= 0) continue;
        const QString key = line.left(equals).trimmed().toLower();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        QHash<QString, QString>& values = sections_[current];
        if (!values.contains(key)) values.insert(key, value);
    }
}

QString TUpdateScript::ReadString(const QString& section, const QString& key, const QString& fallback) const
{
    const auto s = sections_.constFind(section.toLower());
    if (s == sections_.constEnd()) return fallback;
    const auto v = s->constFind(key.toLower());
    return v == s->constEnd() ? fallback : *v;
}

}  // namespace vyx
