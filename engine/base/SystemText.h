#pragma once

// Small readings of paths, bytes and the process that several layers of the engine need alike.
// One definition each, so that every caller follows the same rule.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kavenra {

// A path the system cannot take as it is: its calls would stop at the first NUL and name another
// file than the one meant.
inline bool HasEmbeddedNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// A path split before the extension of its file name: `stem` + `extension` == the path. The
// extension starts at the file name's last "."; a name without one, or whose only "." leads it
// (".profile"), has none. A "." in a folder name never counts.
struct ExtensionSplit {
    std::string stem;
    std::string extension;  // with its ".", or empty
};
ExtensionSplit SplitExtension(const std::string& path);

// Little-endian integers in a byte buffer, as BMP, TARGA and TIFF "II" files store them.
inline std::uint16_t ReadLittleEndian16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t ReadLittleEndian32(const unsigned char* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}
inline void WriteLittleEndian32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// The process's umask, read without changing it even for a moment: other threads may be
// creating files meanwhile.
mode_t CurrentUmask();

}  // namespace kavenra
