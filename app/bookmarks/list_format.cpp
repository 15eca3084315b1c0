#include "bookmarks/list_format.h"

#include "bookmarks/list_layout.h"
#include "core/position_store.h"
#include "framework/picture.h"

#include <QHeaderView>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace tessaly::gui {

ListFormat::ListFormat(QHeaderView& header, const std::vector<ListColumn>& columns,
                       PositionStore& positions, std::string section, bool saves)
    : header_(header), columns_(columns), positions_(positions), section_(std::move(section)),
      saves_(saves)
{}

QString ListFormat::builtInFormat() const
{
    QString format = QStringLiteral("T1");
    for (std::size_t column = 0; column < columns_.size(); ++column) {
        const ListColumn& c = columns_[column];
        // A width after the picture's: long texts wide, numbers narrow.
        const Picture picture = Picture::parse(c.picture);
        int width = 110;
        if (c.icon) {
            width = 26;
        } else if (picture.kind == Picture::Kind::Number) {
            width = 56;
        } else if (picture.kind == Picture::Kind::Date) {
            width = 96;
        } else if (picture.width >= 90) {
            width = 240;
        }
        format +=
            QLatin1Char(';') + QString::number(column) + QLatin1Char(':') + QString::number(width);
    }
    return format;
}

QString ListFormat::formatText() const
{
    QString format = QStringLiteral("T1");
    for (int visual = 0; visual < header_.count(); ++visual) {
        const int logical = header_.logicalIndex(visual);
        format += QLatin1Char(';') + QString::number(logical) + QLatin1Char(':') +
                  QString::number(header_.sectionSize(logical)) +
                  (header_.isSectionHidden(logical) ? QStringLiteral("h") : QString{});
    }
    return format.left(512);
}

void ListFormat::applyFormat(const QString& format)
{
    const QStringList parts = format.split(QLatin1Char(';'));
    if (parts.isEmpty() || parts.front() != QStringLiteral("T1")) {
        return;
    }
    for (int i = 1; i < parts.size(); ++i) {
        QString part = parts[i];
        const bool hidden = part.endsWith(QLatin1Char('h'));
        if (hidden) {
            part.chop(1);
        }
        const QStringList pieces = part.split(QLatin1Char(':'));
        bool okColumn = false;
        bool okWidth = false;
        const int logical = pieces.value(0).toInt(&okColumn);
        const int width = pieces.value(1).toInt(&okWidth);
        if (!okColumn || !okWidth || logical < 0 || logical >= header_.count()) {
            continue;
        }
        header_.moveSection(header_.visualIndex(logical), i - 1);
        header_.resizeSection(logical, std::clamp(width, 10, 2000));
        header_.setSectionHidden(logical, hidden);
    }
}

bool ListFormat::restore()
{
    if (!saves_) {
        applyFormat(builtInFormat());
        return true;
    }
    const std::string original = positions_.value(section_, kLayoutOriginalKey);
    const std::string user = positions_.value(section_, kLayoutUserKey);
    const LayoutChoice choice =
        chooseLayout(builtInFormat().toStdString(),
                     original.empty() ? std::nullopt : std::optional<std::string>{original},
                     user.empty() ? std::nullopt : std::optional<std::string>{user});
    if (choice.recordOriginal) {
        positions_.setValue(section_, kLayoutOriginalKey, builtInFormat().toStdString());
    }
    applyFormat(QString::fromStdString(choice.apply));
    // The built-in layout also stands when the program's own changed since
    // the user's was saved.
    return user.empty() || choice.recordOriginal;
}

void ListFormat::save()
{
    if (saves_) {
        positions_.setValue(section_, kLayoutUserKey, formatText().toStdString());
    }
}

} // namespace tessaly::gui
