// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_media_framework.h"
#include "tests/support/framework_join.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_chunks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrine {
namespace {

using testing::buildJoinGraph;
using testing::buildTimeline;
using testing::JoinGraph;
using testing::NotifyCounter;

// The markers the Wave Mux is given travel with the graph to the file it
// writes and to the lists beside it.
class FfmpegGraphMarkersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"one.wav", "two.wav"})
            testing::writeSilentWav(file(name), 4410);
    }

    std::string file(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    // Builds and runs the join of one.wav and two.wav, 0.1 s each; the event
    // it ended with, or kWrongState's code when run refused.
    MediaResult join(const MarkerOptions& markers, const std::string& output)
    {
        JoinGraph graph;
        EXPECT_EQ(buildJoinGraph(framework,
                                 buildTimeline(framework, testing::backToBack({{file("one.wav"), 0.1},
                                                                               {file("two.wav"), 0.1}})),
                                 output, graph),
                  result::kOk);
        EXPECT_EQ(graph.mux->setMarkers(markers), result::kOk);
        NotifyCounter notified;
        EXPECT_EQ(graph.events->setNotify(notified.function()), result::kOk);
        if (const MediaResult ran = graph.control->run(); failed(ran))
            return ran;
        EXPECT_TRUE(notified.waitFor(1));
        const auto events = testing::drainEvents(*graph.events);
        graph.control->stop();
        if (events.size() != 1)
            return result::kUnexpected;
        return events[0].code == kEventComplete ? result::kOk : static_cast<MediaResult>(events[0].param1);
    }

    static bool exists(const std::string& path)
    {
        struct stat status {};
        return ::stat(path.c_str(), &status) == 0;
    }

    QTemporaryDir dir;
    FfmpegMediaFramework framework;
};

TEST_F(FfmpegGraphMarkersTest, OnlyTheMuxTakesMarkers)
{
    std::shared_ptr<Filter> mux;
    std::shared_ptr<Filter> writer;
    ASSERT_EQ(framework.createFilter(kWaveMuxClassId, mux), result::kOk);
    ASSERT_EQ(framework.createFilter(kFileWriterClassId, writer), result::kOk);
    EXPECT_EQ(mux->setMarkers({}), result::kOk);
    EXPECT_EQ(writer->setMarkers({}), result::kNoInterface);
    EXPECT_EQ(mux->setMarkers({true, std::string("a\0b", 3), ""}), result::kInvalidArgument);
}

TEST_F(FfmpegGraphMarkersTest, MarkersInTheFileAndListsBesideItAreWhatTheMuxWasGiven)
{
    ASSERT_EQ(join({}, file("marked.wav")), result::kOk);
    const testmedia::WavChunks marked = testmedia::readWavChunks(file("marked.wav"));
    ASSERT_EQ(marked.cues.size(), 2u) << marked.message;
    EXPECT_EQ(marked.cues[1].sampleOffset, 4410u);
    EXPECT_EQ(marked.labels.at(2), "two");

    MarkerOptions lists{false, file("plain.cue"), file("plain.txt")};
    ASSERT_EQ(join(lists, file("plain.wav")), result::kOk);
    const testmedia::WavChunks plain = testmedia::readWavChunks(file("plain.wav"));
    ASSERT_TRUE(plain.ok) << plain.message;
    EXPECT_EQ(plain.ids(), (std::vector<std::string>{"JUNK", "fmt ", "data"}));
    EXPECT_EQ(testmedia::readBytes(file("plain.txt")), "0.000000\t0.100000\tone\n0.100000\t0.200000\ttwo\n");
    EXPECT_NE(testmedia::readBytes(file("plain.cue")).find("FILE \"plain.wav\" WAVE\n"), std::string::npos);
}

// A source's title tag names its marker, in the file and in both lists; a
// source without one is named by its file's name without the extension.
TEST_F(FfmpegGraphMarkersTest, ASourcesTitleTagNamesItsMarker)
{
    testmedia::ToneSpec tagged;
    tagged.frames = 4410;
    ASSERT_TRUE(testmedia::writeTone(dir.path().toStdString(), "one", testmedia::MediaFormat::WavS16, tagged,
                                     {{"title", "Chapter \xC3\x9C\xC3\xB1\xC3\xAD"}, {"artist", "Someone"}}));
    ASSERT_EQ(join({true, file("joined.cue"), file("joined.txt")}, file("joined.wav")), result::kOk);
    const testmedia::WavChunks chunks = testmedia::readWavChunks(file("joined.wav"));
    ASSERT_EQ(chunks.cues.size(), 2u) << chunks.message;
    EXPECT_EQ(chunks.labels.at(1), "Chapter \xC3\x9C\xC3\xB1\xC3\xAD");
    EXPECT_EQ(chunks.labels.at(2), "two");
    EXPECT_EQ(testmedia::readBytes(file("joined.txt")),
              "0.000000\t0.100000\tChapter \xC3\x9C\xC3\xB1\xC3\xAD\n0.100000\t0.200000\ttwo\n");
    EXPECT_NE(testmedia::readBytes(file("joined.cue")).find("TITLE \"Chapter \xC3\x9C\xC3\xB1\xC3\xAD\""),
              std::string::npos);
}

// A source too short to fill one frame at the rate the output takes is left
// out of the join; the sources after it keep their own titles and answer
// for their own faults.
TEST_F(FfmpegGraphMarkersTest, ASourceLeftOutAtTheOutputsRateShiftsNoTitleOrFailure)
{
    struct Piece {
        const char* name;
        int rate;
        std::int64_t frames;
        const char* title;
    };
    // One frame at 44,100 Hz is less than half a frame at 8,000 Hz, the rate
    // of most of the join.
    const Piece pieces[] = {{"first", 8000, 8000, "First"}, {"tiny", 44100, 1, "Tiny"}, {"third", 8000, 8000, "Third"}};
    std::vector<std::pair<std::string, double>> items;
    for (const Piece& piece : pieces) {
        testmedia::ToneSpec tone;
        tone.frames = piece.frames;
        tone.sampleRate = piece.rate;
        tone.channels = 1;
        const testmedia::Generated made = testmedia::writeTone(dir.path().toStdString(), piece.name,
                                                               testmedia::MediaFormat::WavS16, tone, {{"title", piece.title}});
        ASSERT_TRUE(made) << made.message;
        items.emplace_back(made.path, static_cast<double>(piece.frames) / piece.rate);
    }
    JoinGraph graph;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, testing::backToBack(items)), file("joined.wav"), graph),
              result::kOk);
    ASSERT_EQ(graph.mux->setMarkers({true, "", file("joined.txt")}), result::kOk);
    NotifyCounter notified;
    ASSERT_EQ(graph.events->setNotify(notified.function()), result::kOk);
    ASSERT_EQ(graph.control->run(), result::kOk);
    ASSERT_TRUE(notified.waitFor(1));
    auto events = testing::drainEvents(*graph.events);
    graph.control->stop();
    ASSERT_EQ(events.size(), 1u);
    ASSERT_EQ(events[0].code, kEventComplete) << events[0].param1;
    EXPECT_EQ(testmedia::readBytes(file("joined.txt")), "0.000000\t1.000000\tFirst\n1.000000\t2.000000\tThird\n");
    const testmedia::WavChunks chunks = testmedia::readWavChunks(file("joined.wav"));
    ASSERT_EQ(chunks.cues.size(), 2u) << chunks.message;
    EXPECT_EQ(chunks.labels.at(2), "Third");

    // The third file said to be twice its length falls short: the failure
    // names the third of the list, not the one before it.
    items[2].second *= 2;
    JoinGraph failing;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, testing::backToBack(items)), file("failed.wav"),
                             failing),
              result::kOk);
    NotifyCounter failed;
    ASSERT_EQ(failing.events->setNotify(failed.function()), result::kOk);
    ASSERT_EQ(failing.control->run(), result::kOk);
    ASSERT_TRUE(failed.waitFor(1));
    events = testing::drainEvents(*failing.events);
    failing.control->stop();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kEventErrorAbort);
    EXPECT_EQ(events[0].param2, 3);
}

TEST_F(FfmpegGraphMarkersTest, ListsThatWouldOverwriteTheJoinOrItsSourcesAreRefusedBeforeItRuns)
{
    const std::string output = file("out.wav");
    for (const MarkerOptions& markers : {MarkerOptions{true, output, ""}, MarkerOptions{true, "", file("one.wav")},
                                         MarkerOptions{true, file("x"), file("x")}}) {
        EXPECT_EQ(join(markers, output), result::kMarkerListClash) << markers.cueSheet << " " << markers.labelList;
        EXPECT_FALSE(exists(output));
    }
}

// The join is whole even when its list cannot be written, and says so.
TEST_F(FfmpegGraphMarkersTest, AListThatCannotBeWrittenFailsTheJoinAfterItsWav)
{
    ASSERT_EQ(join({true, "", file("no folder/out.txt")}, file("out.wav")), result::kMarkerListFailed);
    const testmedia::WavChunks chunks = testmedia::readWavChunks(file("out.wav"));
    EXPECT_EQ(chunks.cues.size(), 2u) << chunks.message;
}

} // namespace
} // namespace kestrine
