#include "columns/value_distribution.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <map>

namespace tessaly::gui {

namespace {

const QString kBlank = QStringLiteral("(blank)");
const QString kOthers = QStringLiteral("(others)");

bool isBlank(const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        return true;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().trimmed().isEmpty();
    case QMetaType::QDate:
        return !value.toDate().isValid();
    case QMetaType::QTime:
        return !value.toTime().isValid();
    default:
        return false;
    }
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// A key that sorts the groups in their natural order, and the group's label.
struct Group {
    double order = 0;
    QString text; // text values sort by count, then by this
    QString label;
};

Group groupOf(const QVariant& value, Grouping grouping, ValueKind kind)
{
    const QLocale locale = QLocale::system();
    switch (grouping) {
    case Grouping::Month: {
        const QDate date = value.toDate();
        return {double(date.year() * 12 + date.month()),
                {},
                locale.monthName(date.month(), QLocale::ShortFormat) + QLatin1Char(' ') +
                    QString::number(date.year())};
    }
    case Grouping::Weekday: {
        const int day = value.toDate().dayOfWeek(); // 1 Monday .. 7 Sunday
        return {double(day), {}, locale.dayName(day, QLocale::LongFormat)};
    }
    case Grouping::TimeOfDay: {
        const int hour = value.toTime().hour();
        return {double(hour), {}, QStringLiteral("%1:00-%1:59").arg(hour, 2, 10, QLatin1Char('0'))};
    }
    case Grouping::Value:
        break;
    }
    switch (kind) {
    case ValueKind::Date: {
        const QDate date = value.toDate();
        return {double(date.toJulianDay()), {}, locale.toString(date, QLocale::ShortFormat)};
    }
    case ValueKind::Time: {
        const QTime time = value.toTime();
        return {
            double(time.msecsSinceStartOfDay()), {}, locale.toString(time, QLocale::ShortFormat)};
    }
    case ValueKind::Number:
        return {value.toDouble(), {}, value.toString()};
    case ValueKind::Text:
        break;
    }
    const QString text = value.toString().trimmed();
    return {0, text.toCaseFolded(), text};
}

} // namespace

ValueKind kindOf(const std::vector<QVariant>& values)
{
    bool dates = true;
    bool times = true;
    bool numbers = true;
    bool any = false;
    for (const QVariant& value : values) {
        if (isBlank(value)) {
            continue;
        }
        any = true;
        dates = dates && value.typeId() == QMetaType::QDate;
        times = times && value.typeId() == QMetaType::QTime;
        numbers = numbers && isNumber(value);
    }
    if (!any) {
        return ValueKind::Text;
    }
    return dates     ? ValueKind::Date
           : times   ? ValueKind::Time
           : numbers ? ValueKind::Number
                     : ValueKind::Text;
}

std::vector<Grouping> groupingsFor(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Date:
        return {Grouping::Value, Grouping::Month, Grouping::Weekday};
    case ValueKind::Time:
        return {Grouping::Value, Grouping::TimeOfDay};
    case ValueKind::Text:
    case ValueKind::Number:
        break;
    }
    return {Grouping::Value};
}

Distribution distribute(const std::vector<QVariant>& values, Grouping grouping, std::size_t most)
{
    const ValueKind kind = kindOf(values);
    struct Tally {
        Group group;
        qint64 count = 0;
    };
    // By label: one group per shown text (a month, a weekday, a value).
    std::map<QString, Tally> tallies;
    qint64 blanks = 0;
    for (const QVariant& value : values) {
        if (isBlank(value)) {
            ++blanks;
            continue;
        }
        Group group = groupOf(value, grouping, kind);
        const QString key =
            kind == ValueKind::Text && grouping == Grouping::Value ? group.text : group.label;
        Tally& tally = tallies[key];
        if (tally.count == 0) {
            tally.group = std::move(group);
        }
        ++tally.count;
    }
    std::vector<Tally> ordered;
    ordered.reserve(tallies.size());
    for (auto& [key, tally] : tallies) {
        ordered.push_back(std::move(tally));
    }
    const bool byCount = kind == ValueKind::Text && grouping == Grouping::Value;
    std::sort(ordered.begin(), ordered.end(), [byCount](const Tally& a, const Tally& b) {
        if (byCount) {
            return a.count != b.count ? a.count > b.count : a.group.text < b.group.text;
        }
        return a.group.order < b.group.order;
    });
    qint64 others = 0;
    if (ordered.size() > most) {
        // The rarest go together: for ordered groups (numbers, dates) the
        // ones kept are still the most frequent, shown in their order.
        std::vector<Tally> byFrequency = ordered;
        std::stable_sort(byFrequency.begin(), byFrequency.end(),
                         [](const Tally& a, const Tally& b) { return a.count > b.count; });
        const qint64 threshold = byFrequency[most - 1].count;
        std::size_t keptAtThreshold = 0;
        for (std::size_t i = 0; i < most; ++i) {
            keptAtThreshold += byFrequency[i].count == threshold ? 1 : 0;
        }
        std::vector<Tally> kept;
        for (Tally& tally : ordered) {
            bool keep = tally.count > threshold;
            if (!keep && tally.count == threshold && keptAtThreshold > 0) {
                keep = true;
                --keptAtThreshold;
            }
            if (keep) {
                kept.push_back(std::move(tally));
            } else {
                others += tally.count;
            }
        }
        ordered = std::move(kept);
    }
    Distribution result;
    result.total = static_cast<qint64>(values.size());
    const auto share = [&](const QString& label, qint64 count) {
        result.shares.push_back(
            {label, count, result.total > 0 ? 100.0 * double(count) / double(result.total) : 0});
    };
    for (const Tally& tally : ordered) {
        share(tally.group.label, tally.count);
    }
    if (others > 0) {
        share(kOthers, others);
    }
    if (blanks > 0) {
        share(kBlank, blanks);
    }
    return result;
}

} // namespace tessaly::gui
