#pragma once

#include <QString>

#include <string>
#include <vector>

namespace tessaly::gui {

// One column of a list: its heading and picture, and the field it shows,
// either of the row's own record or of the bookmark the row belongs to.
struct ListColumn {
    QString heading;
    std::string picture;
    int field = 0;
    bool ofBookmark = true;
    bool icon = false;
};

// What sets the bookmark list and its variants apart.
struct ListVariant {
    enum class Source { Bookmarks, Keywords, Details };

    QString name;  // register name and layout section
    QString title; // fixed, or before " (" + count + ")"
    bool titleWithCount = true;
    Source source = Source::Bookmarks;
    std::vector<std::pair<QString, int>> tabs; // tab text and its key
    bool tabsOrder = true;                     // false: one order whatever the tab
    int fixedKey = 0;                          // the order when the tabs do not change it
    std::vector<ListColumn> columns;
    bool fullControls = true; // toolbar, actions, query, test, download, print
    std::string queryTag;
    std::string queryFieldList;
    std::string category; // the category list's category
    bool savesLayout = true;
    bool locateBox = false;        // a "&Locate Description" box instead of typing
    bool categoryRequired = false; // no category chosen: no rows
};

ListVariant bookmarkListVariant();
ListVariant keywordListVariant();
ListVariant detailListVariant();
ListVariant categoryListVariant(const std::string& category);
// The right-hand list of the explorer view: one category's bookmarks.
ListVariant explorerListVariant();

} // namespace tessaly::gui
