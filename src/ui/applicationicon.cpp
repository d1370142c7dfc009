#include "ui/applicationicon.h"

#include <array>

// The resources are compiled into a static library, where nothing else refers to them: without
// this call the linker would leave them out of the executable. The macro declares the resource's
// initialiser, which lives in the global namespace, so it cannot be used inside a namespace.
static void initialiseIconResources() // NOLINT(misc-use-anonymous-namespace): see above
{
    Q_INIT_RESOURCE(mellowby);
}

namespace mellowby::ui {

QIcon applicationIcon()
{
    initialiseIconResources();
    // PNGs rather than the SVG: drawing an SVG icon needs Qt's SVG plugin, which a desktop may lack.
    static constexpr std::array kSizes { 16, 32, 48, 64, 128, 256 };
    QIcon icon;
    for (const int size : kSizes)
        icon.addFile(QStringLiteral(":/icons/mellowby-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace mellowby::ui
