#include "store/SideFiles.h"

#include "engine/base/FileDescriptor.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifndef KAVENRA_DATA_FROM_BINDIR
#define KAVENRA_DATA_FROM_BINDIR "../share/kavenra"
#endif

namespace kavenra {
namespace {

const char kSettingsName[] = "KVConfig.db";
const char kChangelogName[] = "CHANGELOG.txt";
const char kProgramFolderName[] = "kavenra";

namespace fs = std::filesystem;

bool IsExistingFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(path), error);
}

bool IsExistingFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(fs::path(path), error);
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(fs::path(path), error));
}

std::string AsFolder(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string InstalledDataFolder(const std::string& executableFolder) {
    return AsFolder(
        fs::path(executableFolder + KAVENRA_DATA_FROM_BINDIR).lexically_normal().string());
}

std::string UserConfigurationFolder(const ConfigurationEnvironment& environment) {
    const std::string& xdg = environment.xdgConfigHome;
    if (!xdg.empty() && xdg.front() == '/') return AsFolder(xdg);
    return AsFolder(environment.home) + ".config/";
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

// Removes a temporary file unless it was kept.
class TemporaryName {
  public:
    explicit TemporaryName(std::string path) : path_(std::move(path)) {}
    ~TemporaryName() {
        if (!path_.empty()) unlink(path_.c_str());
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

  private:
    std::string path_;
};

bool WriteAll(int descriptor, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = write(descriptor, bytes, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies `from` into the open file `to`; errno tells why when false.
bool CopyContent(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(got))) return false;
    }
}

SettingsSeed Failure(const std::string& what, const std::string& path, int error) {
    return {SettingsSeed::Outcome::Failed, what + " \"" + path + "\": " + ErrorText(error)};
}

// The folders up to and including `folder`; new ones are private to the user, as the base
// directory rules ask of the configuration folder.
bool MakeFolders(const std::string& folder, int& error) {
    std::string partial;
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        partial = folder.substr(0, at);
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = errno;
            return false;
        }
    }
    if (!IsExistingFolder(folder)) {
        error = ENOTDIR;
        return false;
    }
    return true;
}

SettingsSeed CopyShippedSettings(const std::string& shipped, const std::string& target) {
    const std::string folder = fs::path(target).parent_path().string();
    int error = 0;
    if (!MakeFolders(folder, error)) return Failure("Cannot create the folder", folder, error);

    FileDescriptor source(open(shipped.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) return Failure("Cannot open", shipped, errno);

    // A name of this process's own; one left by an earlier process of the same number is stale.
    const std::string temporary = target + ".new-" + std::to_string(getpid());
    unlink(temporary.c_str());
    // Not the shipped file's mode: that one is read-only, the copy is the user's to change.
    FileDescriptor copy(
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!copy.valid()) return Failure("Cannot create", temporary, errno);
    const TemporaryName removeUnlessLinked(temporary);
    if (!CopyContent(source.get(), copy.get()) || fsync(copy.get()) != 0 || !copy.closeChecked()) {
        return Failure("Cannot write", temporary, errno);
    }
    // link, unlike rename, never replaces a file that appeared meanwhile.
    if (link(temporary.c_str(), target.c_str()) != 0) {
        if (errno == EEXIST) return {SettingsSeed::Outcome::AlreadyPresent, {}};
        return Failure("Cannot create", target, errno);
    }
    return {SettingsSeed::Outcome::Created, {}};
}

SideFileLocations& CurrentLocations() {
    static SideFileLocations locations;
    return locations;
}

}  // namespace

SideFileLocations LocateSideFiles(const std::string& executableFolder,
                                  const ConfigurationEnvironment& environment) {
    const std::string programFolder = AsFolder(executableFolder);
    const std::string dataFolder = InstalledDataFolder(programFolder);
    SideFileLocations locations;
    if (IsExistingFile(programFolder + kSettingsName) || !IsExistingFolder(dataFolder)) {
        locations.layout = SideFileLayout::Portable;
        locations.settingsDatabase = programFolder + kSettingsName;
        locations.dataFolder = programFolder;
        locations.changelog = programFolder + kChangelogName;
        return locations;
    }
    locations.layout = SideFileLayout::Installed;
    locations.settingsDatabase =
        UserConfigurationFolder(environment) + kProgramFolderName + "/" + kSettingsName;
    locations.shippedSettingsDatabase = dataFolder + kSettingsName;
    locations.dataFolder = dataFolder;
    locations.changelog = dataFolder + kChangelogName;
    return locations;
}

ConfigurationEnvironment ProcessConfigurationEnvironment() {
    ConfigurationEnvironment environment;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) environment.xdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        environment.home = home;
    } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir) {
        environment.home = user->pw_dir;
    }
    return environment;
}

SettingsSeed SeedUserSettings(const SideFileLocations& locations) {
    if (locations.layout != SideFileLayout::Installed) return {};
    if (Exists(locations.settingsDatabase)) return {SettingsSeed::Outcome::AlreadyPresent, {}};
    if (!IsExistingFile(locations.shippedSettingsDatabase)) {
        return {SettingsSeed::Outcome::NoShippedCopy, {}};
    }
    return CopyShippedSettings(locations.shippedSettingsDatabase, locations.settingsDatabase);
}

void UseSideFiles(const SideFileLocations& locations) {
    CurrentLocations() = locations;
}

const SideFileLocations& SideFiles() {
    return CurrentLocations();
}

std::string SettingsDatabaseFile() {
    return SideFiles().settingsDatabase;
}

std::string LanguageDatabaseFile(const std::string& ruta) {
    if (ruta.empty() || ruta.front() == '/') return ruta;
    return SideFiles().dataFolder + ruta;
}

}  // namespace kavenra
