#pragma once

#include "import/import_sink.h"
#include "links/html_tokenizer.h"

#include <string>
#include <string_view>

namespace tessaly {

// The link target of a tag element ("<a href=...>", "<img src=http:...>",
// "<form action=...>"), empty when it has none.
std::string linkTarget(std::string_view element);

// Turns the links of a page's elements into bookmarks: each link with the
// first text after it as description and up to ten further texts as site
// information, until the next link or "</table>". Works in slices of 500
// elements, saying how many remain.
void importHtmlList(const ElementList& elements, ImportSink& sink);

} // namespace tessaly
