// The update script: an INI text read as the platform's profile functions read one (sections
// and keys without regard to case, the first of a repeated key wins, values trimmed).
#pragma once

#include <QHash>
#include <QString>

namespace vyx {

class TUpdateScript {
public:
    // Reads at most 1 MiB; any bytes are accepted (a text that is not INI has no sections).
    bool LoadFromFile(const QString& path);
    void LoadFromText(const QByteArray& text);
    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;

private:
    QHash<QString, QHash<QString, QString>> sections_;
};

}  // namespace vyx
