#include "app/ProgramSideFiles.h"

#include <QCoreApplication>
#include <QFile>

namespace kavenra::app {

SideFileLocations ProgramSideFileLocations() {
    return LocateSideFiles(
        QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString(),
        ProcessConfigurationEnvironment());
}

}  // namespace kavenra::app
