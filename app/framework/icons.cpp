#include "framework/icons.h"

// The resources live in a static library, whose registration the linker would
// drop unless something names it.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tessaly::gui {

void ensureResources()
{
    static const bool registered = [] {
        registerResources();
        return true;
    }();
    (void)registered;
}

QIcon themedIcon(const QString& themeName, const QString& ours)
{
    ensureResources();
    const QIcon fallback(QStringLiteral(":/icons/") + ours + QStringLiteral(".svg"));
    return themeName.isEmpty() ? fallback : QIcon::fromTheme(themeName, fallback);
}

QIcon programIcon()
{
    ensureResources();
    return QIcon(QStringLiteral(":/icons/tessaly.svg"));
}

} // namespace tessaly::gui
