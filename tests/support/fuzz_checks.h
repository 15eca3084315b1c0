#pragma once

#include <string_view>

namespace tessaly {

// Properties that must hold for any input; a broken one aborts, so the same
// checks serve the bounded fuzz test and the libFuzzer targets.

// A filter or sort text compiles to a result or to an error that points into
// the text; a compiled one evaluates against a record.
void checkExpressionText(std::string_view input);

// An INI text parses, writes back unchanged on a second round, and takes a
// value that then reads back.
void checkIniText(std::string_view input);

} // namespace tessaly
