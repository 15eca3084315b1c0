#include "bookmarks/list_layout.h"

namespace tessaly {

LayoutChoice chooseLayout(const std::string& builtIn,
                          const std::optional<std::string>& savedOriginal,
                          const std::optional<std::string>& savedUser)
{
    if (!savedOriginal || *savedOriginal != builtIn) {
        return {builtIn, true};
    }
    return {savedUser.value_or(builtIn), false};
}

} // namespace tessaly
