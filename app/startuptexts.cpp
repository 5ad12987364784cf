#include "startuptexts.h"

#include <QStringList>

namespace quadrelink {

namespace {

const QString lineBreak = QStringLiteral("\r\n");

} // namespace

QString formCaption(const QDate &today, const RegionalSettings &regional)
{
    static const QString product
        = QStringLiteral("Velmorantix       Quadrelink v.1.00             Today:");
    return product + regional.language.toString(today, regional.shortDateFormat)
        + QStringLiteral("   ") + regional.language.dayName(today.dayOfWeek(), QLocale::LongFormat);
}

QString makerText()
{
    return QStringList {
        QStringLiteral("Velmorantix"),
        QStringLiteral("Quadrelink v.1.00"),
        QStringLiteral("Author: Velmorantix software group"),
        QStringLiteral("www.velmorantix.example"),
        QStringLiteral("E-mail: support@velmorantix.example"),
        QString(),
        QStringLiteral("(c) 2026 Velmorantix. All rights reserved."),
    }
        .join(lineBreak);
}

QString termsText()
{
    return QStringList {
        QStringLiteral("Terms of use of Quadrelink v.1.00:"),
        QStringLiteral("1. The program is provided free of charge for use with "
                       "UC1000-30GM-IUR2-K-V15 sensors."),
        QStringLiteral("2. It is provided as is, without warranty of any kind."),
        QStringLiteral("3. The maker is not liable for any damage arising from its use."),
        QStringLiteral("4. Readings shown by the program are not certified measurements."),
        QStringLiteral("5. The program may be copied and passed on unchanged, free of charge."),
        QStringLiteral("6. Using the program means accepting these terms."),
    }
        .join(lineBreak);
}

} // namespace quadrelink
