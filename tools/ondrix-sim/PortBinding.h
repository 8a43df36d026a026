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
    bool Bind(const std::filesystem::path& dir, int number, const std::string& target, bool replace,
              std::string& error);
    const std::filesystem::path& Path() const { return path_; }
    // Points the bound link at `target` in one step (a new link renamed over it), as udev puts
    // a device's link in place. False with `error` set on failure.
    bool Repoint(const std::string& target, std::string& error);
    void Remove();

private:
    std::filesystem::path path_;
    std::string target_;
};

class MachineHiveFile {
public:
    MachineHiveFile() = default;
    ~MachineHiveFile();
    MachineHiveFile(const MachineHiveFile&) = delete;
    MachineHiveFile& operator=(const MachineHiveFile&) = delete;

    // Writes the hive text naming the two ports at 9600 baud. An existing file is replaced only
    // when `replace` is set.
    bool Write(const std::filesystem::path& file, int displayCom, int mergeCom, bool replace, std::string& error);
    void Remove();

    static std::string Text(int displayCom, int mergeCom);

private:
    std::filesystem::path path_;
};

}  // namespace tarvik::sim
