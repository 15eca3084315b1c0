# Writes OUTPUT, a C++ file that defines tessaly::defaultTemplates() with the
# bytes of every file in SOURCES (names joined by "|") under its file name.
#   cmake -DOUTPUT=out.cpp "-DSOURCES=a.htm|b.htm" -P EmbedTemplates.cmake
string(REPLACE "|" ";" SOURCES "${SOURCES}")
set(arrays "")
set(entries "")
set(index 0)
foreach(source IN LISTS SOURCES)
    get_filename_component(name "${source}" NAME)
    file(READ "${source}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "const unsigned char kTemplate${index}[] = {${bytes}};\n")
    string(APPEND entries "    {\"${name}\", text(kTemplate${index}, sizeof kTemplate${index})},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made at build time from src/export/templates; do not edit.
#include \"export/default_templates.h\"

#include <array>

namespace tessaly {

namespace {

std::string_view text(const unsigned char* bytes, std::size_t size)
{
    return {reinterpret_cast<const char*>(bytes), size};
}

${arrays}
} // namespace

std::span<const DefaultTemplate> defaultTemplates()
{
    static const std::array<DefaultTemplate, ${index}> templates = {{
${entries}    }};
    return templates;
}

} // namespace tessaly
")
# Only a changed file is touched, so an unchanged template rebuilds nothing.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
