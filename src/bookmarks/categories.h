#pragma once

#include "core/database.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The five places of a category's HTML in an export.
inline constexpr std::string_view kHtmlTypes[] = {"Replace Title", "Before Category",
                                                  "Before Category Title", "After Category Title",
                                                  "After Category"};

// True for "_Before All" and "_After All", in any letter case.
bool isReservedCategory(std::string_view name);

// The stored categories in key order; without the reserved two when
// `withReserved` is false (the bookmark form's drop-down, the category
// dialog of the imports).
std::vector<Record> listCategories(Database& database, bool withReserved);

// Saves a category from its form: a blank name stops with "Missing
// Information" / "Category must be entered."; a new one is inserted (a
// name stored already, in any letter case, is refused with message 13);
// a changed one goes through the relation manager, so a rename reaches its
// bookmarks and HTML rows. `original.position` 0 means a new category.
// Returns the level of the message raised, 0 when saved.
int saveCategory(Database& database, const Record& original, const Record& changed);

// How many bookmarks file under `category` (its key's letter-case rule).
std::int64_t bookmarksInCategory(Database& database, std::string_view category);

// Deletes the category with its bookmarks (and their keywords and details)
// and HTML rows, after a question: the standard delete question for an
// empty category; for one that holds bookmarks, a question that says how
// many go with it, with No as the default. Returns 0 when deleted.
int deleteCategory(Database& database, const Record& category);

// Saves a category HTML row (insert when its position is 0).
int saveCategoryHtml(Database& database, Record& row);

// The HTML rows of one category, in key order.
std::vector<Record> categoryHtml(Database& database, std::string_view category);

} // namespace tessaly
