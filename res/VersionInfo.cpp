#include "res/VersionInfo.h"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

#ifndef TARVIK_VERSION
#error "TARVIK_VERSION must come from the build"
#endif

namespace tarvik {
namespace {

constexpr char SectionName[] = ".tarvik_version";

// Kept in a section of its own so packaging tools and the About box read the same bytes from the
// file; `used` keeps it even though nothing refers to the array by name.
[[gnu::used, gnu::section(".tarvik_version")]] const char VersionBlock[] = "FileVersion=" TARVIK_VERSION
                                                                           "\0"
                                                                           "ProductVersion=" TARVIK_VERSION
                                                                           "\0"
                                                                           "FileDescription=Tarvik\0"
                                                                           "ProductName=Tarvik\0"
                                                                           "CompanyName=Tarvik project\0"
                                                                           "LegalCopyright=\xC2\xA9 2026 Tarvik";

// Reads exactly `size` bytes at `offset`; false for anything short of that.
bool readAt(int fd, uint64_t offset, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n <= 0) return false;
        bytes += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The section's bytes; every size and offset is taken from the file, so each is checked before
// use and the amounts read stay small.
bool readSection(int fd, std::string& contents) {
    constexpr uint64_t Limit = 1 << 20;
    Elf64_Ehdr header{};
    if (!readAt(fd, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shstrndx >= header.e_shnum) {
        return false;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!readAt(fd, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) return false;
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    if (names.sh_size > Limit) return false;
    std::string nameTable(names.sh_size, '\0');
    if (!readAt(fd, names.sh_offset, nameTable.data(), nameTable.size())) return false;
    for (const Elf64_Shdr& section : sections) {
        // The table's copy always ends in a zero, so a name running off its end still stops.
        if (section.sh_name >= nameTable.size() || std::strcmp(nameTable.c_str() + section.sh_name, SectionName) != 0 ||
            section.sh_type == SHT_NOBITS || section.sh_size > Limit) {
            continue;
        }
        contents.assign(section.sh_size, '\0');
        return readAt(fd, section.sh_offset, contents.data(), contents.size());
    }
    return false;
}

}  // namespace

const char* fileVersion() { return TARVIK_VERSION; }
const char* fileDescription() { return "Tarvik"; }

std::string moduleFileName() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

bool readVersionData(const std::string& path, std::map<std::string, std::string>& values) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string contents;
    const bool found = readSection(fd, contents);
    ::close(fd);
    if (!found) return false;
    std::map<std::string, std::string> read;
    for (size_t start = 0; start < contents.size();) {
        size_t end = contents.find('\0', start);
        if (end == std::string::npos) end = contents.size();
        const std::string entry = contents.substr(start, end - start);
        const size_t equals = entry.find('=');
        if (equals != std::string::npos) read[entry.substr(0, equals)] = entry.substr(equals + 1);
        start = end + 1;
    }
    values = std::move(read);
    return true;
}

bool parseVersionNumbers(const std::string& text, std::array<uint16_t, 4>& numbers) {
    std::array<uint16_t, 4> parsed{};
    size_t part = 0;
    uint32_t value = 0;
    bool digits = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<uint32_t>(c - '0');
            if (value > 0xFFFF) return false;
            digits = true;
        } else if (c == '.' && digits && part < 3) {
            parsed[part++] = static_cast<uint16_t>(value);
            value = 0;
            digits = false;
        } else {
            return false;
        }
    }
    if (!digits || part != 3) return false;
    parsed[3] = static_cast<uint16_t>(value);
    numbers = parsed;
    return true;
}

}  // namespace tarvik
