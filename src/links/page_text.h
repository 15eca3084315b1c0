#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// The first block of a page as UTF-8 text, decoded by the first of: the
// charset of the answer's Content-Type, the charset a <meta> tag of the
// block declares, UTF-8 when the block is well-formed UTF-8, and else
// Windows-1252. `cut` says the block may end inside a character (it was
// cut to the block size, or the body failed), which does not make it
// malformed. A charset the system does not know is passed over.
std::string decodePage(std::string_view block, std::string_view contentType, bool cut);

// The text of a title, a meta tag's content or a piece of body text as
// plain text: character references ("&amp;", "&eacute;", "&#39;") decoded
// and every control character (tabs and line breaks included) a blank, so
// that nothing stored can steer the terminal or the page it is shown in.
std::string plainText(std::string_view html);

// `text` with every control character a blank.
std::string withoutControls(std::string_view text);

} // namespace tessaly
