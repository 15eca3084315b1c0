#include "core/record.h"
#include "core/record_file.h"
#include "core/tables.h"
#include "export/export_writer.h"
#include "framework/text.h"

#include <array>

namespace tessaly {

namespace {

constexpr std::array<std::string_view, 5> kTypeNames = {"Replace Title", "Before Category",
                                                        "Before Category Title",
                                                        "After Category Title", "After Category"};

} // namespace

std::string CategoryHtml::text(int type, std::string_view category) const
{
    if (file_ == nullptr || type < 1 || type > static_cast<int>(kTypeNames.size())) {
        return {};
    }
    Record key{catHtmlTable()};
    key.setText(CatHtmlField::Category, category);
    key.setText(CatHtmlField::TypeOfHTML, kTypeNames[static_cast<std::size_t>(type - 1)]);
    Record found{catHtmlTable()};
    if (!file_->get(0, key, found).ok()) {
        return {};
    }
    return found.text(CatHtmlField::HTMLtoAdd);
}

std::vector<std::pair<std::string, std::string>> CategoryHtml::all(std::string_view category) const
{
    std::vector<std::pair<std::string, std::string>> out;
    if (file_ == nullptr) {
        return out;
    }
    Record key{catHtmlTable()};
    key.setText(CatHtmlField::Category, category);
    file_->set(0, key);
    Record row{catHtmlTable()};
    while (file_->next(row).ok() &&
           tessaly::text::equalNoCase(row.text(CatHtmlField::Category), category)) {
        out.emplace_back(row.text(CatHtmlField::TypeOfHTML), row.text(CatHtmlField::HTMLtoAdd));
    }
    return out;
}

} // namespace tessaly
