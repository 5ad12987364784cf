// The POSIX part of PrivateDeviceName, built only on Unix.

#include "privatedevicename.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <array>

#include <unistd.h>

namespace quadrelink {

PrivateDeviceName::PrivateDeviceName(const QString &device)
    // Made with mode 0700 under a name of its own.
    : m_directory(
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quadrelink-XXXXXX")))
    , m_path(device)
{
    if (!m_directory->isValid())
        return;
    // The directory's name shows in the temporary directory, and Qt's lock
    // file shows the link's: each open gets a new one, so a name seen once
    // is of no use.
    std::array<quint32, 4> random {};
    QRandomGenerator::system()->fillRange(random.data(), random.size());
    const QByteArray name
        = QByteArray(reinterpret_cast<const char *>(random.data()), qsizetype(sizeof random))
              .toHex();
    const QString link = m_directory->filePath(QString::fromLatin1(name));
    if (::symlink(QFile::encodeName(device).constData(), QFile::encodeName(link).constData()) == 0)
        m_path = link;
}

PrivateDeviceName::~PrivateDeviceName() = default;

} // namespace quadrelink
