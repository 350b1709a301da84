// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/marker_lists.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrine {
namespace {

// Starts that are no round numbers, a name with double quotes, one with a
// tab and a line break, and one that is not ASCII.
const std::vector<Marker> kMarkers{{0, "intro.mp3"},
                                   {587, "say \"hi\".ogg"},
                                   {44100 * 61 + 294, "Caf\xC3\xA9 \xE2\x80\x93 \xC2\xBD.m4a"},
                                   {44100 * 3599 + 44099, "tab\there\nand there.wav"}};

TEST(CueSheet, HasOneTrackPerSourceAtTheNearestSeventyFifthOfASecond)
{
    EXPECT_EQ(cueSheetText(kMarkers, 44100, "joined.wav"),
              "FILE \"joined.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"intro.mp3\"\n"
              "    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"say 'hi'.ogg\"\n"
              // 587 frames are 0.998 of a 1/75 s
              "    INDEX 01 00:00:01\n"
              "  TRACK 03 AUDIO\n"
              "    TITLE \"Caf\xC3\xA9 \xE2\x80\x93 \xC2\xBD.m4a\"\n"
              // 294 frames are exactly half of one: rounded up
              "    INDEX 01 01:01:01\n"
              "  TRACK 04 AUDIO\n"
              "    TITLE \"tab here and there.wav\"\n"
              // a frame short of an hour rounds up into the next minute
              "    INDEX 01 60:00:00\n");
}

TEST(MarkerLabel, IsTheSourcesTitleElseItsFileNameWithoutFolderOrExtension)
{
    struct Case {
        const char* path;
        const char* title;
        const char* label;
    };
    for (const Case& c : {Case{"/music/Intro.mp3", "", "Intro"},
                          Case{"/music/Intro.mp3", "Chapter One", "Chapter One"},
                          Case{"/music/archive.tar.flac", "", "archive.tar"},
                          Case{"/music/v1.0/no extension", "", "no extension"},
                          Case{"/music/.hidden", "", ".hidden"},
                          Case{"plain.wav", "", "plain"}}) {
        RenderPlan plan;
        plan.sources.push_back({c.path, 0, 1, 0, 1});
        plan.sourceTitles = {c.title};
        EXPECT_EQ(markerLabelOf(plan, 0), c.label) << c.path << " titled \"" << c.title << '"';
    }
    RenderPlan untitled;
    untitled.sources.push_back({"/music/one.ogg", 0, 1, 0, 1});
    EXPECT_EQ(markerLabelOf(untitled, 0), "one") << "a plan whose files were not opened";
}

// A source's own chapters, moved to where it lies in the join and cut to
// the part of it that is joined. The middle source of three plays 2.0 s to
// 3.5 s of its file at 1.0 s of a 1,000 Hz join: frames 1000 to 2500.
TEST(ChapterMarkers, AreMovedToTheSourcesPlaceAndCutToItsPart)
{
    constexpr MediaTime kSecond = kUnitsPerSecond;
    struct Case {
        const char* name;
        std::vector<SourceChapter> chapters;
        std::vector<Marker> expected; // of the middle source
    };
    const Case cases[] = {
        {"NoChaptersOneMarkerAtTheStart", {}, {{1000, "Middle"}}},
        {"ChaptersInsideKeepTheirOffsets",
         {{2 * kSecond, "A"}, {2 * kSecond + kSecond / 4, "B"}, {3 * kSecond, "C"}},
         {{1000, "A"}, {1250, "B"}, {2000, "C"}}},
        {"OneStartingAtOrPastTheEndIsDropped",
         {{2 * kSecond, "A"}, {3 * kSecond + kSecond / 2, "At the end"}, {9 * kSecond, "Past it"}},
         {{1000, "A"}}},
        {"TheOneInPlayAtTheStartBeginsThere",
         {{0, "Before"}, {kSecond, "Still before"}, {2 * kSecond + kSecond / 2, "Inside"}},
         {{1000, "Still before"}, {1500, "Inside"}}},
        {"AFirstChapterLateInTheFileStillStartsTheSource",
         {{3 * kSecond, "Late"}},
         {{1000, "Late"}}},
        {"TwoOnOneFrameLeaveTheLater",
         {{2 * kSecond, "A"}, {2 * kSecond + kSecond / 2, "Hidden"}, {2 * kSecond + kSecond / 2 + 1, "Shown"}},
         {{1000, "A"}, {1500, "Shown"}}},
        {"UntitledOnesAreNumberedAfterTheSource",
         {{2 * kSecond, ""}, {3 * kSecond, "Named"}, {3 * kSecond + kSecond / 10, ""}},
         {{1000, "Middle 1"}, {2000, "Named"}, {2100, "Middle 3"}}},
        {"AllPastTheEndLeaveOneMarker", {{4 * kSecond, "Past"}}, {{1000, "Middle"}}},
    };
    for (const Case& c : cases) {
        RenderPlan plan;
        plan.format.sampleRate = 1000;
        plan.sources.push_back({"/a/first.flac", 0, kSecond, 0, 1000});
        plan.sources.push_back({"/a/middle.mp3", 2 * kSecond, 3 * kSecond + kSecond / 2, 1000, 2500});
        plan.sources.push_back({"/a/last.m4a", 0, kSecond, 2500, 3500});
        plan.sourceTitles = {"", "Middle", ""};
        plan.sourceChapters = {{{0, "First's own"}}, c.chapters, {}};
        std::vector<Marker> expected{{0, "First's own"}};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.push_back({2500, "last"});
        const std::vector<Marker> markers = markersOf(plan);
        ASSERT_EQ(markers.size(), expected.size()) << c.name;
        for (std::size_t i = 0; i < markers.size(); ++i) {
            EXPECT_EQ(markers[i].frame, expected[i].frame) << c.name << ", marker " << i;
            EXPECT_EQ(markers[i].label, expected[i].label) << c.name << ", marker " << i;
        }
        EXPECT_EQ(sourceStartsOf(plan).size(), markers.size()) << c.name;
        plan.withMarkers = false;
        EXPECT_TRUE(markersOf(plan).empty()) << c.name;
    }
}

// A cue sheet has two digits for its tracks: the sources' chapters count.
TEST(CueSheet, TracksCountTheSourcesChapters)
{
    RenderPlan plan;
    plan.format.sampleRate = 1000;
    plan.sources.push_back({"/a/book.m4b", 0, 200 * kUnitsPerSecond, 0, 200'000});
    plan.sources.push_back({"/a/end.mp3", 0, kUnitsPerSecond, 200'000, 201'000});
    plan.sourceChapters.resize(2);
    for (int i = 0; i < 98; ++i)
        plan.sourceChapters[0].push_back({i * kUnitsPerSecond, "c"});
    MarkerOptions options;
    options.cueSheet = "/a/book.cue";
    EXPECT_EQ(checkCueSheetTracks(plan, options), result::kOk) << "98 chapters and one file are 99 tracks";
    plan.sourceChapters[0].push_back({98 * kUnitsPerSecond, "c"});
    EXPECT_EQ(checkCueSheetTracks(plan, options), result::kCueSheetTooManyChapters);
    options.cueSheet.clear();
    options.labelList = "/a/book.txt";
    EXPECT_EQ(checkCueSheetTracks(plan, options), result::kOk) << "a label list has no such limit";
}

TEST(CueSheet, TakesTheRateItIsGivenAndNamesAnMp3AsSuch)
{
    // Frame 48,100 is 75.16 seventy-fifths of a second at 48,000 Hz and
    // 81.80 at 44,100 Hz.
    const std::vector<Marker> markers{{48100, "b.opus"}};
    EXPECT_EQ(cueSheetText(markers, 48000, "../out/\"x\".mp3"),
              "FILE \"../out/'x'.mp3\" MP3\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"b.opus\"\n"
              "    INDEX 01 00:01:00\n");
    EXPECT_NE(cueSheetText(markers, 44100, "x.flac").find("INDEX 01 00:01:07"), std::string::npos);
}

// MP3 and AIFF by their names in any case; WAVE, which cue readers take as
// "decode it", for every other file.
TEST(CueSheet, NamesTheFileTypeByTheOutputsExtensionInAnyCase)
{
    const std::vector<Marker> markers{{0, "a.wav"}};
    const struct {
        const char* name;
        const char* type;
    } cases[] = {{"x.mp3", "MP3"},     {"x.Mp3", "MP3"},     {"x.MP3", "MP3"},    {"x.aif", "AIFF"},
                 {"x.AIF", "AIFF"},    {"x.aiff", "AIFF"},   {"x.AiFf", "AIFF"},  {"x.wav", "WAVE"},
                 {"x.flac", "WAVE"},   {"x.ogg", "WAVE"},    {"x.m4a", "WAVE"},   {"x", "WAVE"},
                 {"a.aiff/x", "WAVE"}, {"x.aiff.txt", "WAVE"}};
    for (const auto& each : cases) {
        const std::string text = cueSheetText(markers, 44100, each.name);
        EXPECT_EQ(text.substr(0, text.find('\n')), std::string("FILE \"") + each.name + "\" " + each.type)
            << each.name;
    }
}

TEST(LabelList, GivesStartEndAndNameOfEverySourceToTheMicrosecond)
{
    const std::int64_t end = 44100 * 3600 + 12345;
    EXPECT_EQ(labelListText(kMarkers, 44100, end),
              "0.000000\t0.013311\tintro.mp3\n"
              "0.013311\t61.006667\tsay \"hi\".ogg\n"
              "61.006667\t3599.999977\tCaf\xC3\xA9 \xE2\x80\x93 \xC2\xBD.m4a\n"
              "3599.999977\t3600.279932\ttab here and there.wav\n");
    EXPECT_EQ(labelListText({{48000 * 2 + 1, "a"}}, 48000, 48000 * 3), "2.000021\t3.000000\ta\n");
    EXPECT_EQ(labelListText({}, 44100, 0), "");
}

class MarkerListFiles : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    RenderPlan plan() const
    {
        RenderPlan made;
        made.sources.push_back({"/music/one.mp3", 0, 1, 0, 587});
        made.sources.push_back({"/music/two.ogg", 0, 1, 587, 44100});
        made.totalFrames = 44100;
        made.sourceTitles = {"", "Two, as tagged"};
        made.withMarkers = false; // the lists do not depend on markers in the file
        return made;
    }

private:
    QTemporaryDir folder_;
};

TEST_F(MarkerListFiles, AreWrittenBesideTheOutputAndNameItFromTheirOwnFolder)
{
    ASSERT_EQ(::mkdir(pathOf("lists").c_str(), 0755), 0);
    ASSERT_TRUE(testmedia::writeBytes(pathOf("lists/join.cue"), "an old cue sheet"));
    MarkerOptions options;
    options.cueSheet = pathOf("lists/join.cue");
    options.labelList = pathOf("join.txt");
    ASSERT_EQ(writeMarkerLists(plan(), pathOf("join.wav"), options), result::kOk);

    EXPECT_EQ(testmedia::readBytes(pathOf("lists/join.cue")),
              "FILE \"../join.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n    TITLE \"one\"\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"Two, as tagged\"\n    INDEX 01 00:00:01\n");
    EXPECT_EQ(testmedia::readBytes(pathOf("join.txt")),
              "0.000000\t0.013311\tone\n0.013311\t1.000000\tTwo, as tagged\n");
    struct stat status {};
    EXPECT_NE(::stat(pathOf("lists/join.cue.part").c_str(), &status), 0) << "a partial file was left";
}

TEST_F(MarkerListFiles, ThatCannotBeWrittenAreReportedAndLeaveNothing)
{
    MarkerOptions options;
    options.labelList = pathOf("missing folder/join.txt");
    EXPECT_EQ(writeMarkerLists(plan(), pathOf("join.wav"), options), result::kMarkerListFailed);
    options.labelList.clear();
    EXPECT_EQ(writeMarkerLists(plan(), pathOf("join.wav"), options), result::kOk) << "no list asked for";
}

TEST_F(MarkerListFiles, MayNotOverwriteTheOutputASourceOrEachOther)
{
    ASSERT_TRUE(testmedia::writeBytes(pathOf("a.mp3"), "a source"));
    const std::string output = pathOf("join.wav");
    const std::vector<std::string> sources{pathOf("a.mp3")};
    struct Case {
        const char* name;
        std::string cue;
        std::string labels;
        MediaResult expected;
    };
    for (const Case& c : {Case{"apart", pathOf("join.cue"), pathOf("join.txt"), result::kOk},
                          Case{"the output, not yet written", output, "", result::kMarkerListClash},
                          Case{"the output by another spelling", "", pathOf("./x/../join.wav"),
                               result::kMarkerListClash},
                          Case{"a source", pathOf("a.mp3"), "", result::kMarkerListClash},
                          Case{"each other", pathOf("same"), pathOf("same"), result::kMarkerListClash}}) {
        MarkerOptions options;
        options.cueSheet = c.cue;
        options.labelList = c.labels;
        EXPECT_EQ(checkMarkerLists(options, output, sources), c.expected) << c.name;
    }
}

TEST_F(MarkerListFiles, ACueSheetHoldsAtMost99Tracks)
{
    MarkerOptions options;
    options.cueSheet = pathOf("join.cue");
    const std::vector<std::string> sources(99, pathOf("a.mp3"));
    EXPECT_EQ(checkMarkerLists(options, pathOf("join.wav"), sources), result::kOk);
    const std::vector<std::string> more(100, pathOf("a.mp3"));
    EXPECT_EQ(checkMarkerLists(options, pathOf("join.wav"), more), result::kCueSheetTooLong);
    // Labels have no such limit.
    options.cueSheet.clear();
    options.labelList = pathOf("join.txt");
    EXPECT_EQ(checkMarkerLists(options, pathOf("join.wav"), more), result::kOk);
}

} // namespace
} // namespace kestrine
