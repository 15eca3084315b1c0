#pragma once

#include "core/bookmark_schema.h"
#include "core/table_def.h"

namespace tessaly {

enum class CategoryField { Category, Flag, Description };
enum class CatHtmlField { Category, TypeOfHTML, HTMLtoAdd };
enum class KeywordField { Location, Sequence, Keyword };
enum class DetailField { Location, Sequence, DataLabel, DataValue };
enum class ConfigurationField { DataType, DataValue };
enum class ImportField { Location, Description, Category, Rating, Keyword, SiteInfo };

// Key numbers, in the order the files declare them.
enum class BookmarkKey { Location, Description, Category, CategoryLocation, Rating, Keyword };

// The keyed record files of the system.
const TableDef& bookmarkTable();      // TESSLY, URLDATA!Locations
const TableDef& categoryTable();      // Categories, URL_C
const TableDef& catHtmlTable();       // CatHTML, URL_H
const TableDef& keywordTable();       // URLKeywords, URLDATA!URLKeywords
const TableDef& detailTable();        // URLDetails, URLDATA!URLDetails
const TableDef& configurationTable(); // Configuration, URLDATA!Configuration
const TableDef& importTable();        // ImportTESSLY, named at open time

// The reserved category names whose HTML goes before and after everything.
inline constexpr std::string_view kBeforeAll = "_Before All";
inline constexpr std::string_view kAfterAll = "_After All";

} // namespace tessaly
