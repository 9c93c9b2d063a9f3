// The short path call: what it hands back must name the same file to the
// media layer, fit the caller's buffer, and never name another file.
#include <cstring>

#include "media_test_support.h"
#include "platform/media/file_lookup.h"
#include "platform/media/shortpath.h"

namespace {

using namespace media_test;

std::string shortPath(const std::string& path, unsigned long length = 255) {
    std::vector<char> buffer(length + 8, '#');
    const unsigned long count = GetShortPathNameA(path.c_str(), buffer.data(), length);
    EXPECT_LT(count, length == 0 ? 1 : length);
    for (std::size_t i = length; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#') << "wrote past the buffer";
    if (count > 0) {
        EXPECT_EQ(buffer[count], '\0');
    }
    return std::string(buffer.data(), count);
}

TEST(ShortPath, AnExistingPathThatFitsIsGivenBackAsItIs) {
    TempDir dir;
    const auto path = dir.file("my folder/a song.mp3", "x");
    EXPECT_EQ(shortPath(path), path);
}

TEST(ShortPath, AMissingFileFails) {
    TempDir dir;
    char buffer[255] = "unchanged";
    EXPECT_EQ(GetShortPathNameA((dir.path() / "missing.mp3").c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetShortPathNameA("", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetShortPathNameA(nullptr, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetShortPathNameA(dir.path().c_str(), nullptr, 0), 0u);
}

TEST(ShortPath, BackslashCountsAsSeparatorUnlessThePathExistsAsGiven) {
    TempDir dir;
    const auto real = dir.file("sub/x.mp3", "x");
    const std::string joined = (dir.path() / "sub").string() + "\\x.mp3";
    EXPECT_EQ(shortPath(joined), real);

    // A name that holds a backslash is a name like any other on this platform.
    const auto literal = dir.file("odd\\name.mp3", "y");
    EXPECT_EQ(shortPath(literal), literal);

    // Joined with "\" to a folder or a file whose own name holds one.
    const auto inOddFolder = dir.file("AC\\DC/song.mp3", "z");
    EXPECT_EQ(shortPath((dir.path() / "AC\\DC").string() + "\\song.mp3"), inOddFolder);
    EXPECT_EQ(shortPath(dir.path().string() + "\\odd\\name.mp3"), literal);
    EXPECT_EQ(shortPath(dir.path().string() + "\\AC\\DC\\missing.mp3"), "");
}

TEST(ShortPath, ATooLongPathGetsAShortNameThatTheMediaLayerOpens) {
    TempDir dir;
    std::string folder = dir.path().string();
    while (folder.size() < 300) folder += "/a folder with a rather long name";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/tone.mp3";
    std::filesystem::copy_file(fixture("tone440.mp3"), path);

    const std::string form = shortPath(path);
    ASSERT_FALSE(form.empty());
    EXPECT_LT(form.size(), 255u);
    EXPECT_EQ(shortPath(path), form) << "the same file keeps its short name";
    EXPECT_EQ(shortPath(form), form);

    // A neighbour that shares the first 254 characters gets a name of its own.
    const std::string neighbour = folder + "/tone2.mp3";
    std::filesystem::copy_file(fixture("tone660.mp3"), neighbour);
    EXPECT_NE(shortPath(neighbour), form);
}

TEST(ShortPath, NoFormFitsATinyBuffer) {
    TempDir dir;
    const auto path = dir.file("x.mp3", "x");
    EXPECT_EQ(shortPath(path, 4), "");
    EXPECT_EQ(shortPath(path, 1), "");
    EXPECT_EQ(shortPath(path, path.size() + 1), path);
    // One short of room for the NUL: a short name, never the path cut short.
    const auto tight = shortPath(path, path.size());
    ASSERT_FALSE(tight.empty());
    EXPECT_EQ(media::findFile(tight), path);
}

}  // namespace
