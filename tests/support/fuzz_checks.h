#pragma once

#include <random>
#include <string>
#include <string_view>

namespace tessaly {

// Properties that must hold for any input; a broken one aborts, so the same
// checks serve the bounded fuzz test and the libFuzzer targets.

// A filter or sort text compiles to a result or to an error that points into
// the text; a compiled one evaluates against a record.
void checkExpressionText(std::string_view input);

// `input` with one to six random edits: characters of `alphabet` inserted,
// runs erased, bytes changed, a prefix copied in; kept within `limit` bytes.
std::string mutateInput(std::string input, std::mt19937& random, std::string_view alphabet,
                        std::size_t limit);

// An INI text parses, writes back unchanged on a second round, and takes a
// value that then reads back.
void checkIniText(std::string_view input);

} // namespace tessaly
