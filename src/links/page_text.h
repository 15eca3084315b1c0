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

// The charset a <meta charset> or <meta http-equiv content> tag of `block`
// declares, in lower case; empty when none does.
std::string declaredCharset(std::string_view block);

// Decodes a page that arrives in blocks, as decodePage() decodes one: the
// charset is chosen on the first block, and a character cut at the end of
// a block is finished with the next one. One page per decoder.
class PageDecoder final {
public:
    PageDecoder() = default;
    ~PageDecoder();
    PageDecoder(const PageDecoder&) = delete;
    PageDecoder& operator=(const PageDecoder&) = delete;

    // The text of the next block; `contentType` is the answer's.
    std::string decode(std::string_view block, std::string_view contentType);
    // What is left of a character the page ended in the middle of.
    std::string finish();

private:
    enum class Kind { Undecided, Converter, Utf8, Windows1252 };
    void choose(std::string_view block, std::string_view contentType);

    Kind kind_ = Kind::Undecided;
    void* converter_ = nullptr; // iconv_t
    std::string carry_;         // the start of a character cut at a block's end
};

// The text of a title, a meta tag's content or a piece of body text as
// plain text: character references ("&amp;", "&eacute;", "&#39;") decoded
// and every control character (tabs and line breaks included) a blank, so
// that nothing stored can steer the terminal or the page it is shown in.
std::string plainText(std::string_view html);

// `text` with every control character a blank.
std::string withoutControls(std::string_view text);

} // namespace tessaly
