#pragma once
// What the simulator puts on disk for the program under test: COMn links in a ports folder and,
// on request, a machine hive naming the two port numbers. Each is removed again by its destructor,
// and only if it is still what the simulator made.
#include <filesystem>
#include <string>

namespace tarvik::sim {

class ComLink {
public:
    ComLink() = default;
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    // Makes `dir`/COM<number> a symlink to `target`, creating `dir` if needed. An existing entry
    // of that name is replaced only when `replace` is set.
    bool bind(const std::filesystem::path& dir, int number, const std::string& target, bool replace,
              std::string& error);
    const std::filesystem::path& path() const { return m_path; }
    // Points the bound link at `target` in one step (a new link renamed over it), as udev puts
    // a device's link in place. False with `error` set on failure.
    bool repoint(const std::string& target, std::string& error);
    void remove();

private:
    std::filesystem::path m_path;
    std::string m_target;
};

class MachineHiveFile {
public:
    MachineHiveFile() = default;
    ~MachineHiveFile();
    MachineHiveFile(const MachineHiveFile&) = delete;
    MachineHiveFile& operator=(const MachineHiveFile&) = delete;

    // Writes the hive text naming the two ports at 9600 baud. An existing file is replaced only
    // when `replace` is set.
    bool write(const std::filesystem::path& file, int displayCom, int mergeCom, bool replace, std::string& error);
    void remove();

    static std::string text(int displayCom, int mergeCom);

private:
    std::filesystem::path m_path;
};

}  // namespace tarvik::sim
