#include "platform/registry.h"

namespace tessaly {

std::optional<std::string> RegistryAccessor::read(std::string_view /*key*/,
                                                  std::string_view /*name*/) const
{
    return std::nullopt;
}

} // namespace tessaly
