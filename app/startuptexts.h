#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace quadrelink {

// The user's regional settings as far as the caption needs them: the short
// date format and the language of day names. Desktops let the two differ (a
// day.month.year format with English day names), so they are kept apart.
struct RegionalSettings
{
    QString shortDateFormat;
    QLocale language;

    [[nodiscard]] static RegionalSettings from(const QLocale &locale)
    {
        return {locale.dateFormat(QLocale::ShortFormat), locale};
    }
};

// The window caption: the product line, today's date in the short date
// format, three spaces and today's full weekday name. It is written once at
// start and keeps the start date.
[[nodiscard]] QString formCaption(const QDate &today, const RegionalSettings &regional);

// The maker and product text and the terms of use of the About panel; lines
// are joined by CR LF and neither text ends with a line break.
[[nodiscard]] QString makerText();
[[nodiscard]] QString termsText();

} // namespace quadrelink
