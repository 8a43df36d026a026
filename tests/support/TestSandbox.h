#pragma once
// A private temporary folder for one test, with the hive files and the ports folder pointed into
// it through the environment, and removed again when the test ends.
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarvik::test {

class TestSandbox {
public:
    TestSandbox() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-test-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        m_dir = made ? made : pattern;
        std::filesystem::create_directories(m_dir / "ports");
        ::setenv("TARVIK_USER_HIVE", UserHive().c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", MachineHive().c_str(), 1);
        ::setenv("TARVIK_PORTS_DIR", PortsDir().c_str(), 1);
    }
    ~TestSandbox() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    TestSandbox(const TestSandbox&) = delete;
    TestSandbox& operator=(const TestSandbox&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    std::string UserHive() const { return (m_dir / "user.reg").string(); }
    std::string MachineHive() const { return (m_dir / "machine.reg").string(); }
    std::string PortsDir() const { return (m_dir / "ports").string(); }

private:
    std::filesystem::path m_dir;
};

}  // namespace tarvik::test
