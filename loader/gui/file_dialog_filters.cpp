#include "file_dialog_filters.h"

#include "windows1252.h"

namespace zamel {

namespace {

// The description without the pattern list that it usually repeats in brackets.
QString descriptionOf(QString description) {
    if (const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        open > 0 && description.endsWith(QLatin1Char(')')))
        description.truncate(open);
    return description.trimmed();
}

QString patternsOf(const QString& patterns) {
    QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : list) {
        pattern = pattern.trimmed();
        if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    }
    return list.join(QLatin1Char(' '));
}

}  // namespace

QStringList nameFiltersOf(std::string_view filter) {
    const QStringList parts = fromWindows1252(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        filters.append(QStringLiteral("%1 (%2)").arg(descriptionOf(parts[i]), patternsOf(parts[i + 1])));
    }
    return filters;
}

}  // namespace zamel
