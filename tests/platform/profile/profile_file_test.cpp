#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/profile/profile.h"
#include "platform/profile/settings_file.h"
#include "tests/support/write_faults.h"
#include "player/Lirovan.h"

namespace fs = std::filesystem;
using Lirovan::ReadSetting;
using Lirovan::WriteSetting;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velmyr-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ini_ = (dir_ / "velmyr.ini").string();
    }
    void TearDown() override {
        velmyr_test::failWriteStep(std::nullopt);
        velmyr_test::denyWriteAccessTo(std::nullopt);
        ::chmod(dir_.c_str(), 0700);
        fs::remove_all(dir_);
    }

    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string get(const std::string& path) {
        std::ostringstream out;
        out << std::ifstream(path, std::ios::binary).rdbuf();
        return out.str();
    }
    std::string read(const std::string& file) const { return ReadSetting("velmyr", "path", file); }
    size_t entriesInFolder() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
    std::string ini_;
};

TEST_F(SettingsFileTest, MissingFileSectionKeyOrValueReadsAsTheDefault) {
    EXPECT_EQ(read(ini_), "");
    char buffer[255] = "junk";
    EXPECT_EQ(GetPrivateProfileStringA("velmyr", "path", "dflt", buffer, 255, ini_.c_str()), 4u);
    EXPECT_STREQ(buffer, "dflt");

    for (const char* text : {"[other]\npath=/x\n", "[velmyr]\nother=/x\n", "[velmyr]\npath=\n"}) {
        put(ini_, text);
        EXPECT_EQ(read(ini_), "") << text;
    }
    EXPECT_EQ(entriesInFolder(), 1u) << "reads never write";
}

TEST_F(SettingsFileTest, WriteCreatesTheFileAndLaterWritesReplaceTheValue) {
    WriteSetting("velmyr", "path", "/music/a", ini_);
    EXPECT_EQ(get(ini_), "[velmyr]\npath=/music/a\n");
    WriteSetting("VELMYR", "Path", "/music/b", ini_);
    EXPECT_EQ(get(ini_), "[velmyr]\npath=/music/b\n");
    EXPECT_EQ(read(ini_), "/music/b");
    EXPECT_EQ(entriesInFolder(), 1u) << "no temporary file left behind";
}

TEST_F(SettingsFileTest, ValueOverTheBufferComesBackCut) {
    const std::string longValue = "/" + std::string(299, 'd');
    WriteSetting("velmyr", "path", longValue, ini_);
    EXPECT_NE(get(ini_).find(longValue), std::string::npos) << "the file keeps it whole";
    EXPECT_EQ(read(ini_), longValue.substr(0, 254));

    char small[5];
    EXPECT_EQ(GetPrivateProfileStringA("velmyr", "path", "", small, sizeof small, ini_.c_str()), 4u);
    EXPECT_STREQ(small, "/ddd");
    EXPECT_EQ(GetPrivateProfileStringA("velmyr", "path", "", small, 0, ini_.c_str()), 0u);
}

TEST_F(SettingsFileTest, CrlfFileKeepsItsOtherLinesAndValuesStayVerbatim) {
    put(ini_, "; settings\r\n[Other]\r\nkey = 1\r\n\r\n[Velmyr]\r\nPATH=/old\r\n");
    EXPECT_EQ(read(ini_), "/old");
    const std::string value = " C:\\M\xC3\xBCsik\\new folder\\ ";
    WriteSetting("velmyr", "path", value, ini_);
    EXPECT_EQ(get(ini_), "; settings\r\n[Other]\r\nkey = 1\r\n\r\n[Velmyr]\r\nPATH=\"" + value + "\"\r\n");
    EXPECT_EQ(read(ini_), value);
}

TEST_F(SettingsFileTest, ValueWithALineBreakIsRefusedAndTheFileKept) {
    put(ini_, "[velmyr]\npath=/old\n");
    EXPECT_FALSE(WritePrivateProfileStringA("velmyr", "path", "/a\n[velmyr]\npath=/evil", ini_.c_str()));
    EXPECT_EQ(get(ini_), "[velmyr]\npath=/old\n");
}

TEST_F(SettingsFileTest, AFileInAFolderNoWriteCanReachIsKeptInTheUsersConfigFolder) {
    // Each test runs in a process of its own: the environment need not be restored.
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    ::setenv("HOME", (dir_ / "home").c_str(), 1);
    const std::string inConfig = (dir_ / "config/velmyr/velmyr.ini").string();
    put(ini_, "[velmyr]\npath=/old\n");
    EXPECT_EQ(profile::fileKeptFor(ini_), ini_);

    // A folder that is gone, or a file where the folder should be, stands for
    // one that cannot be written, even by root: read and write go to the
    // configuration folder, made at the first write, private to the user.
    const std::string gone = (dir_ / "gone/velmyr.ini").string();
    const std::string underAFile = ini_ + "/velmyr.ini";
    EXPECT_EQ(profile::fileKeptFor(underAFile), inConfig);
    EXPECT_EQ(profile::fileKeptFor(gone), inConfig);
    EXPECT_TRUE(WritePrivateProfileStringA("velmyr", "path", "/new", gone.c_str()));
    EXPECT_EQ(get(inConfig), "[velmyr]\npath=/new\n");
    struct stat info {};
    ASSERT_EQ(::stat((dir_ / "config/velmyr").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(read(underAFile), "/new");
    EXPECT_EQ(get(ini_), "[velmyr]\npath=/old\n");

    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(profile::fileKeptFor(gone), (dir_ / "home/.config/velmyr/velmyr.ini").string())
        << "a relative XDG_CONFIG_HOME is ignored";
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);

    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    ::chmod(ini_.c_str(), 0444);
    EXPECT_EQ(profile::fileKeptFor(ini_), ini_);
    EXPECT_FALSE(WritePrivateProfileStringA("velmyr", "path", "/new", ini_.c_str()))
        << "a read-only file is not replaced behind the user's back";
    ::chmod(ini_.c_str(), 0644);
    ::chmod(dir_.c_str(), 0555);
    EXPECT_EQ(profile::fileKeptFor(ini_), inConfig) << "an installed program's folder";
    ::chmod(dir_.c_str(), 0700);
    EXPECT_EQ(get(ini_), "[velmyr]\npath=/old\n");
}

TEST_F(SettingsFileTest, BesideAReadOnlyOrInstalledCopyTheUsersFileIsWrittenAndTheCopysOwnStillRead) {
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    const std::string inConfig = (dir_ / "config/velmyr/velmyr.ini").string();
    for (const char* installed : {"/usr/bin/velmyr.ini", "/opt/velmyr.ini", "/opt/velmyr//velmyr.ini"})
        EXPECT_EQ(profile::fileKeptFor(installed), inConfig) << installed << ", whoever runs it";

    put(ini_, "[velmyr]\npath=/old\n");
    velmyr_test::denyWriteAccessTo(dir_.string());
    EXPECT_EQ(read(ini_), "/old") << "the user's file does not exist yet";
    // The folder turns writable while the program runs: the run keeps the file it read.
    velmyr_test::denyWriteAccessTo(std::nullopt);
    WriteSetting("velmyr", "path", "/new", ini_);
    EXPECT_EQ(get(inConfig), "[velmyr]\npath=/new\n");
    EXPECT_EQ(get(ini_), "[velmyr]\npath=/old\n");
    EXPECT_EQ(read(ini_), "/new");

    put(inConfig, "[velmyr]\nother=/x\n");
    EXPECT_EQ(read(ini_), "/old") << "the user's file has no value for the key";
}

TEST_F(SettingsFileTest, FailureAtAnyStepOfTheReplacementKeepsTheOldFileWhole) {
    const std::string old = "; keep\n[velmyr]\npath=/old\n";
    using velmyr_test::WriteStep;
    for (auto failing :
         {WriteStep::CreateTemporary, WriteStep::WriteContents, WriteStep::Flush, WriteStep::Replace}) {
        put(ini_, old);
        velmyr_test::failWriteStep(failing);
        EXPECT_FALSE(WritePrivateProfileStringA("velmyr", "path", "/new", ini_.c_str()));
        EXPECT_EQ(get(ini_), old) << int(failing);
        EXPECT_EQ(entriesInFolder(), 1u) << "temporary removed after step " << int(failing);
    }
    velmyr_test::failWriteStep(std::nullopt);
    EXPECT_TRUE(WritePrivateProfileStringA("velmyr", "path", "/new", ini_.c_str()));
}

TEST_F(SettingsFileTest, ReplacementKeepsPermissionsAndWritesThroughSymlinks) {
    put(ini_, "[velmyr]\npath=/old\n");
    ::chmod(ini_.c_str(), 0640);
    WriteSetting("velmyr", "path", "/new", ini_);
    struct stat info {};
    ASSERT_EQ(::stat(ini_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const std::string link = (dir_ / "link.ini").string();
    fs::create_symlink("velmyr.ini", link);
    WriteSetting("velmyr", "path", "/via-link", link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(ini_), "/via-link");

    const std::string dangling = (dir_ / "dangling.ini").string();
    fs::create_symlink("sub/../created.ini", dangling);
    fs::create_directory(dir_ / "sub");
    WriteSetting("velmyr", "path", "/made", dangling);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(read((dir_ / "created.ini").string()), "/made");
}

TEST_F(SettingsFileTest, ThingsThatAreNotSettingsFilesReadEmptyAndAreNotReplaced) {
    const std::string folder = (dir_ / "folder.ini").string();
    fs::create_directory(folder);
    const std::string fifo = (dir_ / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = (dir_ / "huge.ini").string();
    put(huge, "[velmyr]\npath=/in-huge\n");
    fs::resize_file(huge, profile::kMaxSettingsFileSize + 1);

    for (const std::string& path : {folder, fifo, huge, std::string("/dev/zero")}) {
        EXPECT_EQ(read(path), "") << path;
    }
    for (const std::string& path : {folder, fifo, huge}) {
        EXPECT_FALSE(WritePrivateProfileStringA("velmyr", "path", "/x", path.c_str())) << path;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(fs::file_size(huge), profile::kMaxSettingsFileSize + 1);
}

TEST_F(SettingsFileTest, AWriteThatWouldMakeTheFileTooBigToReadIsRefused) {
    const std::string head = "[velmyr]\npath=/kept\n;";
    const std::string full = head + std::string(profile::kMaxSettingsFileSize - head.size() - 1, 'c') + "\n";
    put(ini_, full);
    ASSERT_EQ(read(ini_), "/kept");
    EXPECT_FALSE(WritePrivateProfileStringA("velmyr", "path", "/a/longer/folder", ini_.c_str()));
    EXPECT_EQ(get(ini_), full);
    EXPECT_EQ(read(ini_), "/kept");
    EXPECT_TRUE(WritePrivateProfileStringA("velmyr", "path", "/k", ini_.c_str()));
    EXPECT_EQ(read(ini_), "/k");
}

TEST_F(SettingsFileTest, CorruptFileNeverCrashesAndKeepsItsBytesOnWrite) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += char((i * 7919) % 256);
    const std::string corrupt =
        garbage + "\n[velmyr]\n" + std::string(200000, 'L') + "\n[velmyr]\npath=/second";
    put(ini_, corrupt);
    EXPECT_EQ(read(ini_), "/second");
    WriteSetting("velmyr", "path", "/new", ini_);
    const std::string written = get(ini_);
    EXPECT_EQ(written.substr(0, garbage.size()), garbage);
    EXPECT_NE(written.find(std::string(200000, 'L')), std::string::npos);
    EXPECT_EQ(read(ini_), "/new");
}

}  // namespace
