#include "framework/record_schema.h"

#include "framework/text.h"

namespace tessaly {

int RecordSchema::indexOf(std::string_view label) const
{
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (text::equalNoCase(fields_[i].label, text::trim(label))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace tessaly
