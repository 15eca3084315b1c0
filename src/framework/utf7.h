#pragma once

#include <string>
#include <string_view>

namespace tessaly::utf7 {

// `text` in UTF-7 (as Windows writes an address that its code page cannot
// hold) as UTF-8: "+" begins base64 of UTF-16, "-" or any other character
// ends it, "+-" is a plus sign. What is no UTF-7 becomes U+FFFD.
std::string decode(std::string_view text);

} // namespace tessaly::utf7
