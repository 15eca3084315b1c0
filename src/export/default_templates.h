#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessaly {

// The templates of the pre-formatted export that come with the program:
// "Default_Table.htm", "Default_base_Frame_cat.htm" and the others, one for
// every type and order. They are the user's to edit once they stand in the
// data folder.
struct DefaultTemplate {
    std::string_view name;
    std::string_view text;
};

std::span<const DefaultTemplate> defaultTemplates();

// The built-in text of the template `name`, if it is one of ours.
std::optional<std::string_view> defaultTemplate(std::string_view name);

// Copies into `folder` every default template it lacks. A file already
// there is never replaced, not even by a copy that started at the same
// moment: it may be the user's own. Returns the first failure as the text
// the user is told, empty when every copy is in place.
std::string installDefaultTemplates(const std::string& folder);

} // namespace tessaly
