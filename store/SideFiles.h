#pragma once

// Where the program's side files are: the settings database, the language databases and the
// changelog. A desktop program is started from menus, terminals and file managers in any working
// directory, so they are found from the executable's own location:
//
// - portable: the executable's folder holds "KVConfig.db" (the build's runtime folder, a copy of
//   it): every side file is beside the executable, and the settings are that file;
// - installed: the folder "share/kavenra" beside "bin" holds the shipped, read-only files; the
//   user's settings are "$XDG_CONFIG_HOME/kavenra/KVConfig.db" (by default under ~/.config),
//   made from the shipped one on the first start and never overwritten.
//
// Until the program entry says otherwise, the names are bare and resolve against the working
// directory, which is how the suites that arrange a folder of databases use the store.

#include <string>

namespace kavenra {

enum class SideFileLayout { WorkingDirectory, Portable, Installed };

struct SideFileLocations {
    SideFileLayout layout = SideFileLayout::WorkingDirectory;
    // The database the program reads and writes its settings in.
    std::string settingsDatabase = "KVConfig.db";
    // Installed layout: the shipped settings the user's are made from; empty otherwise.
    std::string shippedSettingsDatabase;
    // The folder of the shipped files, ending in '/'; relative `ruta` values resolve against it.
    // Empty: the working directory.
    std::string dataFolder;
    std::string changelog = "CHANGELOG.txt";
};

// What the installed layout's settings folder depends on. An XDG_CONFIG_HOME that is empty or
// not absolute is ignored, as the base directory rules ask.
struct ConfigurationEnvironment {
    std::string xdgConfigHome;
    std::string home;
};

// The layout for an executable in `executableFolder` (ending in '/'), from what the file system
// holds there now. Without the settings beside the executable and without a data folder, the
// layout is portable, so that the start-up check names the missing file where it belongs.
SideFileLocations LocateSideFiles(const std::string& executableFolder,
                                  const ConfigurationEnvironment& environment);

// XDG_CONFIG_HOME and HOME of this process (HOME from the user database when unset).
ConfigurationEnvironment ProcessConfigurationEnvironment();

struct SettingsSeed {
    enum class Outcome {
        NotNeeded,       // not the installed layout
        AlreadyPresent,  // the user's settings exist: never touched
        Created,         // copied from the shipped settings
        NoShippedCopy,   // nothing to copy from; the start-up check reports the missing file
        Failed           // the copy could not be made; `reason` says why
    };
    Outcome outcome = Outcome::NotNeeded;
    std::string reason;
};

// Makes the user's settings database from the shipped one when it is absent. The copy is written
// under a temporary name and linked into place only when complete, so an interrupted first start
// leaves no half file behind, and two first starts at once never replace each other's file.
SettingsSeed SeedUserSettings(const SideFileLocations& locations);

// The locations every later use of a side file goes to. Set once by the program entry before
// any window exists.
void UseSideFiles(const SideFileLocations& locations);
const SideFileLocations& SideFiles();

// The settings database of the current locations.
std::string SettingsDatabaseFile();

// A language database's `ruta` as a file to open: a relative one against the data folder, an
// absolute one as stored; "" stays "".
std::string LanguageDatabaseFile(const std::string& ruta);

}  // namespace kavenra
