// Several processes on one hive: simultaneous writers lose nothing, and a writer killed at any
// moment leaves a whole file with either the old or the new contents.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "common/Win32Codes.h"
#include "settings/FileHiveStore.h"
#include "tests/support/TestSandbox.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
const std::string kKey = "Software\\Ondrix Series III\\Tarvik";

// A value whose every byte depends on its sequence number, so a torn or mixed value shows.
std::vector<uint8_t> Blob(uint32_t seq) {
    std::vector<uint8_t> blob(2048);
    std::memcpy(blob.data(), &seq, sizeof seq);
    for (size_t i = sizeof seq; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(seq * 31 + i);
    return blob;
}

// "P1-7", built by appending: GCC 12 at -O3 takes "P" + std::to_string(1) for an overlapping copy.
std::string valueName(int writer, int i) {
    return std::string("P").append(std::to_string(writer)).append("-").append(std::to_string(i));
}

int WaitExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

TEST(HiveConcurrencyTest, TwoProcessesWritingAtOnceLoseNothing) {
    test::TestSandbox sandbox;
    constexpr int kValuesEach = 60;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            ::close(go[1]);
            char ignored;
            (void)::read(go[0], &ignored, 1);  // both start when the parent closes the pipe
            FileHiveStore store;
            int failures = 0;
            for (int i = 0; i < kValuesEach; ++i) {
                const uint32_t n = static_cast<uint32_t>(c * 1000 + i);
                const std::string name = valueName(c, i);
                failures += store.createKey(HKEY_CURRENT_USER, kKey) != 0;
                failures += store.setValue(HKEY_CURRENT_USER, kKey, name, REG_DWORD,
                                           reinterpret_cast<const uint8_t*>(&n), 4) != 0;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
    }
    ::close(go[0]);
    ::close(go[1]);
    for (pid_t child : children) {
        const int status = WaitExit(child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    FileHiveStore store;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kValuesEach; ++i) {
            uint32_t n = 0, size = 4;
            const std::string name = valueName(c, i);
            ASSERT_EQ(store.queryValue(HKEY_CURRENT_USER, kKey, name, nullptr, reinterpret_cast<uint8_t*>(&n), &size),
                      0u)
                << name;
            EXPECT_EQ(n, static_cast<uint32_t>(c * 1000 + i));
        }
    }
}

TEST(HiveConcurrencyTest, WriterKilledAtAnyMomentLeavesOldOrNewContents) {
    test::TestSandbox sandbox;
    std::mt19937 random(12345);
    FileHiveStore reader;
    uint32_t committed = 0;  // what the file holds after the last round
    ASSERT_EQ(reader.setValue(HKEY_CURRENT_USER, kKey, "Blob", REG_BINARY, Blob(0).data(), 2048), 0u);
    for (int round = 0; round < 60; ++round) {
        int reports[2];
        ASSERT_EQ(::pipe(reports), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(reports[0]);
            FileHiveStore store;
            for (uint32_t seq = committed + 1;; ++seq) {
                if (store.setValue(HKEY_CURRENT_USER, kKey, "Blob", REG_BINARY, Blob(seq).data(), 2048) != 0)
                    ::_exit(1);
                if (::write(reports[1], &seq, sizeof seq) != sizeof seq) ::_exit(1);
            }
        }
        ::close(reports[1]);
        FILE* const in = ::fdopen(reports[0], "r");
        uint32_t reported = 0;
        ASSERT_EQ(std::fread(&reported, sizeof reported, 1, in), 1u);  // the child is writing now
        // Only varies where in its next write the child is hit; the outcome is checked either way.
        ::usleep(static_cast<useconds_t>(random() % 3000));
        ::kill(child, SIGKILL);
        const int status = WaitExit(child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself, round " << round;
        uint32_t seq = 0;
        while (std::fread(&seq, sizeof seq, 1, in) == 1) reported = seq;
        std::fclose(in);

        std::vector<uint8_t> data(4096);
        uint32_t size = static_cast<uint32_t>(data.size());
        ASSERT_EQ(reader.queryValue(HKEY_CURRENT_USER, kKey, "Blob", nullptr, data.data(), &size), 0u)
            << "round " << round << ": " << reader.lastErrorDetail();
        data.resize(size);
        std::memcpy(&seq, data.data(), sizeof seq);
        ASSERT_TRUE(seq == reported || seq == reported + 1)
            << "round " << round << ": file has " << seq << ", last reported " << reported;
        ASSERT_EQ(data, Blob(seq));
        committed = seq;
    }
    // Temporary files of killed writers are cleared by the next write.
    ASSERT_EQ(reader.setValue(HKEY_CURRENT_USER, kKey, "Done", REG_DWORD, Blob(1).data(), 4), 0u);
    for (const auto& entry : fs::directory_iterator(sandbox.Dir())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
        EXPECT_EQ(name.find(".corrupt-"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace tarvik
