#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace tessaly::gui {

// How a column's values are counted for its graph: each value apart, or
// dates by month or weekday, or times by hour of the day.
enum class Grouping { Value, Month, Weekday, TimeOfDay };

// What the values of a column are, as far as grouping goes.
enum class ValueKind { Text, Number, Date, Time };

struct ValueShare {
    QString label;
    qint64 count = 0;
    double percent = 0; // of every value counted, blanks included
};

struct Distribution {
    std::vector<ValueShare> shares; // in the order a reader expects (see distribute)
    qint64 total = 0;
};

// The kind of a column from its values: dates when every value that is
// not blank is a QDate, times for QTime, numbers for integers or doubles,
// text otherwise.
ValueKind kindOf(const std::vector<QVariant>& values);

// The groupings that make sense for `kind`: Value always; Month and
// Weekday for dates; TimeOfDay for times.
std::vector<Grouping> groupingsFor(ValueKind kind);

// Counts `values` by `grouping`. Numbers and dates are in ascending order,
// months in calendar order, weekdays from Monday, hours from midnight; text
// by count, the most frequent first (ties in letter order). A blank value
// (an empty text, a null or invalid date) counts as "(blank)", last. Beyond
// `most` shares, the rarest are counted together as "(others)" so that a
// column of 100,000 different addresses still draws.
Distribution distribute(const std::vector<QVariant>& values, Grouping grouping,
                        std::size_t most = 40);

} // namespace tessaly::gui
