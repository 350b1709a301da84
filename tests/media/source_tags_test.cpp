// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/source_tags.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

// Which tags and which cover a join's output takes from its sources.
namespace kestrine {
namespace {

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of a picture";
const std::string kJpeg = std::string("\xff\xd8\xff\xe0", 4) + "rest of a picture";

SourceTags tagged(std::vector<std::pair<std::string, std::string>> fields, const std::string& picture = {})
{
    SourceTags tags;
    tags.fields = std::move(fields);
    tags.cover.bytes.assign(picture.begin(), picture.end());
    tags.cover.mimeType = imageTypeOf(tags.cover.bytes);
    return tags;
}

TEST(OutputTags, TakeWhatTheSourcesAgreeOnElseTheFirstThatHasIt)
{
    const std::vector<SourceTags> sources{
        tagged({{"artist", "A"}, {"genre", "Speech"}}),
        tagged({{"album", "Book"}, {"artist", "B"}, {"genre", "Speech"}, {"comment", "c\xff"}}),
        tagged({{"album", "Other"}, {"artist", "A"}, {"date", "2020"}})};
    const OutputTags tags = outputTagsOf(sources, "/nowhere/one.mp3", {});
    EXPECT_EQ(tags.fields, (std::vector<std::pair<std::string, std::string>>{{"title", "Book"},
                                                                           {"album", "Book"},
                                                                           {"artist", "A"},
                                                                           {"genre", "Speech"},
                                                                           {"date", "2020"},
                                                                           {"comment", "c\xef\xbf\xbd"}}));
}

TEST(OutputTags, ChoicesWinAndNoTagsMeansNone)
{
    const std::vector<SourceTags> sources{tagged({{"album", "Book"}, {"artist", "A"}}, kPng)};
    TagOptions choices;
    choices.title = "Title";
    choices.artist = "Reader";
    EXPECT_EQ(outputTagsOf(sources, "/nowhere/one.mp3", choices).fields,
              (std::vector<std::pair<std::string, std::string>>{{"title", "Title"}, {"album", "Book"}, {"artist", "Reader"}}));
    choices = {};
    choices.album = "Given";
    EXPECT_EQ(outputTagsOf(sources, "/nowhere/one.mp3", choices).valueOf("title"), "Given")
        << "the album chosen titles the join";
    choices = {};
    choices.fromSources = false;
    EXPECT_TRUE(outputTagsOf(sources, "/nowhere/one.mp3", choices).empty());
}

class OutputCover : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return folder.path().toStdString() + "/" + name; }
    QTemporaryDir folder;
};

TEST_F(OutputCover, IsTheFirstEmbeddedImageElseOneBesideTheFirstSource)
{
    ASSERT_TRUE(testmedia::writeBytes(pathOf("Folder.PNG"), kPng));
    const std::string first = pathOf("one.mp3");
    // A picture that is neither JPEG nor PNG is passed over.
    const OutputTags embedded =
        outputTagsOf({tagged({}, "GIF89a..."), tagged({}), tagged({}, kJpeg)}, first, {});
    EXPECT_EQ(embedded.cover.mimeType, "image/jpeg");
    EXPECT_EQ(std::string(embedded.cover.bytes.begin(), embedded.cover.bytes.end()), kJpeg);

    const OutputTags beside = outputTagsOf({tagged({}), tagged({})}, first, {});
    EXPECT_EQ(beside.cover.mimeType, "image/png") << "Folder.PNG, in any case";
    EXPECT_TRUE(outputTagsOf({tagged({})}, pathOf("sub/one.mp3"), {}).cover.empty()) << "only beside the first";
}

TEST_F(OutputCover, BesideTheSourceCoverComesFirstAndNoImageIsTakenOnItsName)
{
    ASSERT_TRUE(testmedia::writeBytes(pathOf("front.jpg"), kJpeg));
    ASSERT_TRUE(testmedia::writeBytes(pathOf("cover.jpeg"), "words, named like a picture"));
    ASSERT_TRUE(testmedia::writeBytes(pathOf("COVER.png"), kPng));
    EXPECT_EQ(findFolderCover(folder.path().toStdString()).mimeType, "image/png");
    ASSERT_EQ(::unlink(pathOf("COVER.png").c_str()), 0);
    EXPECT_EQ(findFolderCover(folder.path().toStdString()).mimeType, "image/jpeg") << "front.jpg";
}

TEST_F(OutputCover, AGivenFileMustBeAJpegOrPngOfAtMost16MB)
{
    ASSERT_TRUE(testmedia::writeBytes(pathOf("ok.png"), kPng));
    ASSERT_TRUE(testmedia::writeBytes(pathOf("words.png"), "words"));
    std::string large = kJpeg;
    large.resize(kLargestCoverBytes + 1, 'x');
    ASSERT_TRUE(testmedia::writeBytes(pathOf("large.jpg"), large));
    large.resize(kLargestCoverBytes);
    ASSERT_TRUE(testmedia::writeBytes(pathOf("limit.jpg"), large));
    struct Case {
        const char* name;
        MediaResult expected;
    };
    for (const Case& c : {Case{"ok.png", result::kOk}, Case{"words.png", result::kCoverNotImage},
                          Case{"large.jpg", result::kCoverTooLarge}, Case{"limit.jpg", result::kOk},
                          Case{"missing.png", AVERROR(ENOENT)}}) {
        Picture cover;
        EXPECT_EQ(readCoverFile(pathOf(c.name), cover), c.expected) << c.name;
        EXPECT_EQ(cover.empty(), c.expected != result::kOk) << c.name;
    }
    TagOptions choices;
    choices.coverFile = pathOf("words.png");
    EXPECT_TRUE(outputTagsOf({tagged({}, kJpeg)}, pathOf("one.mp3"), choices).cover.empty())
        << "a given cover that cannot be used is left out";
}

} // namespace
} // namespace kestrine
