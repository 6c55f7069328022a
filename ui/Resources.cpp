#include "ui/Resources.h"

#include <QtGlobal>

// Named after the resource set that resources/CMakeLists.txt adds to the window library.
static void registerResourceSet() {
    Q_INIT_RESOURCE(kavenra_resources);
}

void InitialiseKavenraResources() {
    static const bool registered = (registerResourceSet(), true);
    Q_UNUSED(registered);
}

namespace kavenra::resource {

QString SoundFile(int resourceId) {
    return QStringLiteral(":/kavenra/sounds/%1.wav").arg(resourceId);
}

}  // namespace kavenra::resource
