// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/ffmpeg.h"
#include "media/framework/ffmpeg_media_framework.h"
#include "media/framework/ffmpeg_filter_graph.h"
#include "media/framework/ffmpeg_timeline.h"
#include "media/framework/group_render_plan.h"
#include "tests/support/framework_join.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace kestrine {
namespace {

using testing::backToBack;
using testing::buildJoinGraph;
using testing::buildTimeline;
using testing::firstPin;
using testing::JoinGraph;
using testing::SourceSpec;

constexpr MediaTime kSecond = kUnitsPerSecond;

class FfmpegMediaFrameworkTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    QTemporaryDir dir;
    FfmpegMediaFramework framework;
};

// --- timeline ---------------------------------------------------------------

TEST_F(FfmpegMediaFrameworkTest, TracksFollowTheirPriority)
{
    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<TimelineGroup> group;
    ASSERT_EQ(framework.createTimeline(timeline), result::kOk);
    ASSERT_EQ(timeline->createGroup(group), result::kOk);
    EXPECT_EQ(group->nodeType(), NodeType::Group);

    std::vector<std::shared_ptr<TimelineTrack>> made(4);
    for (auto& track : made)
        ASSERT_EQ(timeline->createTrack(track), result::kOk);
    EXPECT_EQ(group->vtrackInsBefore(made[0], -1), result::kOk); // [0]
    EXPECT_EQ(group->vtrackInsBefore(made[1], -1), result::kOk); // [0 1]
    EXPECT_EQ(group->vtrackInsBefore(made[2], 0), result::kOk);  // [2 0 1]
    EXPECT_EQ(group->vtrackInsBefore(made[3], 2), result::kOk);  // [2 0 3 1]
    const std::vector<std::shared_ptr<TimelineTrack>> expected{made[2], made[0], made[3], made[1]};
    EXPECT_EQ(group->tracks(), expected);
}

TEST_F(FfmpegMediaFrameworkTest, NodesRefuseWrongUse)
{
    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<TimelineGroup> group;
    std::shared_ptr<TimelineTrack> track;
    std::shared_ptr<TimelineSource> source;
    ASSERT_EQ(framework.createTimeline(timeline), result::kOk);
    ASSERT_EQ(timeline->createGroup(group), result::kOk);
    ASSERT_EQ(timeline->createTrack(track), result::kOk);
    ASSERT_EQ(timeline->createSource(source), result::kOk);

    EXPECT_EQ(group->setMediaType({MajorType::None, {}}), result::kInvalidArgument);
    EXPECT_EQ(group->vtrackInsBefore(nullptr, -1), result::kInvalidArgument);
    EXPECT_EQ(group->vtrackInsBefore(track, -2), result::kInvalidArgument);
    EXPECT_EQ(track->srcAdd(nullptr), result::kInvalidArgument);
    EXPECT_EQ(timeline->addGroup(nullptr), result::kInvalidArgument);

    // Spans run forwards from zero; a refused span leaves the last good one.
    EXPECT_EQ(source->setStartStop(10, 20), result::kOk);
    EXPECT_EQ(source->setStartStop(20, 10), result::kInvalidArgument);
    EXPECT_EQ(source->setMediaTimes(-1, 10), result::kInvalidArgument);
    MediaTime start = 0;
    MediaTime stop = 0;
    EXPECT_EQ(source->startStop(start, stop), result::kOk);
    EXPECT_EQ(start, 10);
    EXPECT_EQ(stop, 20);
    EXPECT_EQ(source->setMediaName(std::string("a\0b", 3)), result::kInvalidArgument);

    // A node has one parent.
    EXPECT_EQ(group->vtrackInsBefore(track, -1), result::kOk);
    EXPECT_EQ(group->vtrackInsBefore(track, -1), result::kInvalidArgument);
    EXPECT_EQ(track->srcAdd(source), result::kOk);
    EXPECT_EQ(track->srcAdd(source), result::kInvalidArgument);
    EXPECT_EQ(timeline->addGroup(group), result::kOk);
    EXPECT_EQ(timeline->addGroup(group), result::kInvalidArgument);

    int count = 0;
    EXPECT_EQ(timeline->groupCount(count), result::kOk);
    EXPECT_EQ(count, 1);
    std::shared_ptr<TimelineGroup> found;
    EXPECT_EQ(timeline->group(0, found), result::kOk);
    EXPECT_EQ(found, group);
    EXPECT_EQ(timeline->group(1, found), result::kNoGroup);
    EXPECT_EQ(timeline->group(-1, found), result::kNoGroup);
}

// --- render plan ------------------------------------------------------------

RenderPlan planOf(FfmpegMediaFramework& framework, const std::vector<SourceSpec>& specs,
                  MediaResult expected = result::kOk)
{
    auto timeline = std::static_pointer_cast<FfmpegTimeline>(buildTimeline(framework, specs));
    RenderPlan plan;
    EXPECT_EQ(makeRenderPlan(*timeline->groups().at(0), plan), expected);
    return plan;
}

TEST_F(FfmpegMediaFrameworkTest, PlanGivesEverySourceItsFrames)
{
    const auto plan = planOf(framework, backToBack({{"a", 3}, {"b", 5}, {"c", 2}}));
    EXPECT_EQ(plan.format.sampleRate, 44100);
    EXPECT_EQ(plan.format.channels, 2);
    EXPECT_EQ(plan.format.bitsPerSample, 16);
    ASSERT_EQ(plan.sources.size(), 3u);
    const std::vector<std::tuple<std::string, std::int64_t, std::int64_t, MediaTime>> expected{
        {"a", 0, 132300, 3 * kSecond}, {"b", 132300, 352800, 5 * kSecond}, {"c", 352800, 441000, 2 * kSecond}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [path, first, end, mediaStop] = expected[i];
        EXPECT_EQ(plan.sources[i].path, path);
        EXPECT_EQ(plan.sources[i].firstFrame, first);
        EXPECT_EQ(plan.sources[i].endFrame, end);
        EXPECT_EQ(plan.sources[i].mediaStart, 0);
        EXPECT_EQ(plan.sources[i].mediaStop, mediaStop);
    }
    EXPECT_EQ(plan.totalFrames, 441000);
}

TEST_F(FfmpegMediaFrameworkTest, PlanOfThousandOddLengthsHasNoDrift)
{
    // Lengths that fall between frames: every join is rounded from the
    // timeline, not accumulated, so the ranges stay contiguous and the total
    // is that of the whole timeline.
    std::vector<SourceSpec> specs;
    MediaTime position = 0;
    for (int i = 0; i < 1000; ++i) {
        const MediaTime length = 3 * kSecond + 1234 + 77 * i;
        specs.push_back({"f" + std::to_string(i), position, position + length});
        position += length;
    }
    const auto plan = planOf(framework, specs);
    ASSERT_EQ(plan.sources.size(), 1000u);
    EXPECT_EQ(plan.sources.front().firstFrame, 0);
    for (std::size_t i = 1; i < plan.sources.size(); ++i)
        ASSERT_EQ(plan.sources[i].firstFrame, plan.sources[i - 1].endFrame) << i;
    EXPECT_EQ(plan.totalFrames, frameAt(position, 44100));
    EXPECT_EQ(plan.sources.back().endFrame, plan.totalFrames);
}

TEST_F(FfmpegMediaFrameworkTest, PlanLeavesOutSourcesThatFillNoFrame)
{
    struct Case {
        const char* name;
        std::vector<SourceSpec> specs;
        std::vector<std::string> planned;
        std::int64_t totalFrames;
    };
    const std::vector<Case> cases{
        {"all of length zero", {{"a", 0, 0}}, {}, 0},
        {"zero-length tail", {{"a", 0, kSecond}, {"b", kSecond, kSecond}, {"c", kSecond, kSecond}}, {"a"}, 44100},
        {"shorter than half a frame", {{"a", 0, 100}, {"b", 100, kSecond}}, {"b"}, 44100},
        {"empty group", {}, {}, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto plan = planOf(framework, test.specs);
        std::vector<std::string> planned;
        for (const auto& source : plan.sources)
            planned.push_back(source.path);
        EXPECT_EQ(planned, test.planned);
        EXPECT_EQ(plan.totalFrames, test.totalFrames);
    }
}

TEST_F(FfmpegMediaFrameworkTest, PlanRefusesWhatCannotBeWrittenInOrder)
{
    planOf(framework, {{"a", 0, 2 * kSecond}, {"b", kSecond, 3 * kSecond}}, result::kInvalidArgument);

    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<TimelineGroup> group;
    framework.createTimeline(timeline);
    timeline->createGroup(group);
    group->setMediaType({MajorType::Video, {}});
    RenderPlan plan;
    EXPECT_EQ(makeRenderPlan(static_cast<FfmpegTimelineGroup&>(*group), plan), result::kInvalidArgument);
}

// --- source name validation ---------------------------------------------------

TEST_F(FfmpegMediaFrameworkTest, ValidationFindsUnreadableSourcesAndAppliesReplacements)
{
    const auto good = file("good.wav");
    const auto replacement = file("replacement.wav");
    testing::writeSilentWav(good, 441);
    testing::writeSilentWav(replacement, 441);
    const auto missing = file("missing.wav");
    const auto empty = file("empty.wav");
    std::ofstream(empty).close();
    const auto folder = file("folder.wav");
    std::filesystem::create_directory(folder);

    // The missing file is placed twice: asked about once, replaced twice.
    auto timeline = buildTimeline(framework, {{good, 0, 1}, {missing, 1, 2}, {empty, 2, 3},
                                              {missing, 3, 4}, {folder, 4, 5}});
    std::vector<std::string> asked;
    const auto handler = [&](const std::string& path) -> std::optional<std::string> {
        asked.push_back(path);
        if (path == missing)
            return replacement;
        return std::nullopt;
    };
    EXPECT_EQ(timeline->validateSourceNames(kValidateCheck | kValidatePopup | kValidateReplace, handler),
              result::kFalse); // the empty file and the folder stay unreadable
    EXPECT_EQ(asked, (std::vector<std::string>{missing, empty, folder}));

    std::vector<std::string> names;
    std::shared_ptr<TimelineGroup> group;
    timeline->group(0, group);
    for (const auto& track : group->tracks()) {
        std::string name;
        track->sources().at(0)->mediaName(name);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{good, replacement, empty, replacement, folder}));
}

TEST_F(FfmpegMediaFrameworkTest, ValidationFlagsDecideWhatHappens)
{
    const auto missing = file("missing.mp3");
    const auto replacement = file("replacement.wav");
    testing::writeSilentWav(replacement, 10);
    struct Case {
        const char* name;
        int flags;
        MediaResult expected;
        int questions;
        bool replaced;
    };
    const std::vector<Case> cases{
        {"nothing without check", kValidatePopup | kValidateReplace, result::kOk, 0, false},
        {"check alone only finds", kValidateCheck, result::kFalse, 0, false},
        {"popup without replace asks only", kValidateCheck | kValidatePopup, result::kFalse, 1, false},
        {"all three replace", kValidateCheck | kValidatePopup | kValidateReplace, result::kOk, 1, true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        auto timeline = buildTimeline(framework, {{missing, 0, 1}});
        int questions = 0;
        const auto handler = [&](const std::string&) -> std::optional<std::string> {
            ++questions;
            return replacement;
        };
        EXPECT_EQ(timeline->validateSourceNames(test.flags, handler), test.expected);
        EXPECT_EQ(questions, test.questions);
        std::shared_ptr<TimelineGroup> group;
        timeline->group(0, group);
        std::string name;
        group->tracks().at(0)->sources().at(0)->mediaName(name);
        EXPECT_EQ(name, test.replaced ? replacement : missing);
    }
}

TEST_F(FfmpegMediaFrameworkTest, ValidationWithoutHandlerOnlyReports)
{
    auto timeline = buildTimeline(framework, {{file("missing.wav"), 0, 1}});
    EXPECT_EQ(timeline->validateSourceNames(kValidateCheck | kValidatePopup | kValidateReplace, {}),
              result::kFalse);
}

// --- components ---------------------------------------------------------------

TEST_F(FfmpegMediaFrameworkTest, ComponentsHaveTheirPinsAndOptions)
{
    std::shared_ptr<Filter> mux;
    std::shared_ptr<Filter> writer;
    ASSERT_EQ(framework.createFilter(kWaveMuxClassId, mux), result::kOk);
    // Identifiers are GUIDs: their case does not matter.
    ASSERT_EQ(framework.createFilter("{8596e5f0-0da5-11d0-bd21-00a0c911ce86}", writer), result::kOk);

    const auto directions = [](const Filter& filter) {
        std::vector<std::shared_ptr<Pin>> pins;
        EXPECT_EQ(filter.enumPins(pins), result::kOk);
        std::vector<PinDirection> found;
        for (const auto& pin : pins)
            found.push_back(pin->direction());
        return found;
    };
    EXPECT_EQ(directions(*mux), (std::vector{PinDirection::Input, PinDirection::Output}));
    EXPECT_EQ(directions(*writer), (std::vector{PinDirection::Input}));

    EXPECT_EQ(mux->setFullInterleaving(), result::kOk);
    EXPECT_EQ(mux->setFileName("x.wav"), result::kNoInterface);
    EXPECT_EQ(mux->setOverwriteMode(true), result::kNoInterface);
    EXPECT_EQ(writer->setFullInterleaving(), result::kNoInterface);
    EXPECT_EQ(writer->setOverwriteMode(true), result::kOk);
    EXPECT_EQ(writer->setFileName(""), result::kInvalidArgument);
    // A name whose format cannot be written fails as it is named, before any file exists.
    EXPECT_EQ(writer->setFileName(file("out.WMA")), result::kUnwritableFormat);
    EXPECT_FALSE(std::filesystem::exists(file("out.WMA")));
    EXPECT_EQ(writer->setFileName(file("out.wav")), result::kOk);
}

TEST_F(FfmpegMediaFrameworkTest, UnregisteredComponentsFailToCreate)
{
    std::shared_ptr<Filter> filter;
    EXPECT_EQ(framework.createFilter("{00000000-0000-0000-0000-000000000000}", filter),
              result::kNotRegistered);
    framework.unregisterComponent(kWaveMuxClassId);
    EXPECT_EQ(framework.createFilter(kWaveMuxClassId, filter), result::kNotRegistered);
    EXPECT_EQ(filter, nullptr);
    EXPECT_EQ(framework.createFilter(kFileWriterClassId, filter), result::kOk);

    // Each framework object keeps its own registry.
    FfmpegMediaFramework other;
    EXPECT_EQ(other.createFilter(kWaveMuxClassId, filter), result::kOk);
}

// --- render engine and graph building -------------------------------------------

TEST_F(FfmpegMediaFrameworkTest, RenderEngineGivesOnePinPerGroup)
{
    std::shared_ptr<RenderEngine> engine;
    ASSERT_EQ(framework.createRenderEngine(engine), result::kOk);
    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<FilterGraph> graph;
    std::shared_ptr<Pin> pin;
    EXPECT_EQ(engine->connectFrontEnd(), result::kNoTimeline);
    EXPECT_EQ(engine->timelineObject(timeline), result::kNoTimeline);
    EXPECT_EQ(engine->filterGraph(graph), result::kNotConnected);
    EXPECT_EQ(engine->groupOutputPin(0, pin), result::kNotConnected);
    EXPECT_EQ(engine->setTimelineObject(nullptr), result::kInvalidArgument);

    timeline = buildTimeline(framework, {{"a.wav", 0, kSecond}});
    std::shared_ptr<TimelineGroup> second;
    timeline->createGroup(second);
    second->setMediaType({MajorType::Video, {}});
    timeline->addGroup(second);
    ASSERT_EQ(engine->setTimelineObject(timeline), result::kOk);
    ASSERT_EQ(engine->connectFrontEnd(), result::kOk);
    std::shared_ptr<Timeline> held;
    EXPECT_EQ(engine->timelineObject(held), result::kOk);
    EXPECT_EQ(held, timeline);
    EXPECT_EQ(engine->filterGraph(graph), result::kOk);
    ASSERT_NE(graph, nullptr);

    std::shared_ptr<Pin> first;
    std::shared_ptr<Pin> other;
    EXPECT_EQ(engine->groupOutputPin(0, first), result::kOk);
    EXPECT_EQ(engine->groupOutputPin(1, other), result::kOk);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->direction(), PinDirection::Output);
    EXPECT_NE(first, other);
    EXPECT_EQ(engine->groupOutputPin(2, pin), result::kNoGroup);
    EXPECT_EQ(engine->groupOutputPin(-1, pin), result::kNoGroup);

    // Measuring-free stop position of a join graph: the timeline's length.
    std::shared_ptr<MediaSeeking> seeking;
    ASSERT_EQ(graph->mediaSeeking(seeking), result::kOk);
    MediaTime length = 0;
    EXPECT_EQ(seeking->stopPosition(length), result::kOk);
    EXPECT_EQ(length, kSecond);

    // Connecting again rebuilds the group filters in the same graph: the old
    // pins are out of it, and whoever holds the graph still holds the right one.
    ASSERT_EQ(engine->connectFrontEnd(), result::kOk);
    std::shared_ptr<FilterGraph> again;
    EXPECT_EQ(engine->filterGraph(again), result::kOk);
    EXPECT_EQ(again, graph);
    std::shared_ptr<Pin> rebuilt;
    EXPECT_EQ(engine->groupOutputPin(0, rebuilt), result::kOk);
    EXPECT_NE(rebuilt, first);
    std::shared_ptr<Filter> mux;
    framework.createFilter(kWaveMuxClassId, mux);
    ASSERT_EQ(graph->addFilter(mux, "Wave Mux"), result::kOk);
    EXPECT_EQ(graph->connect(first, firstPin(*mux, PinDirection::Input)), result::kWrongState);
    EXPECT_EQ(graph->connect(rebuilt, firstPin(*mux, PinDirection::Input)), result::kOk);

    EXPECT_EQ(engine->scrapIt(), result::kOk);
    EXPECT_EQ(engine->groupOutputPin(0, pin), result::kNotConnected);
    // A scrapped graph has nothing left to run.
    std::shared_ptr<MediaControl> control;
    graph->mediaControl(control);
    EXPECT_EQ(control->run(), result::kNotConnected);
    EXPECT_EQ(engine->scrapIt(), result::kOk);
    // A scrapped engine builds anew.
    EXPECT_EQ(engine->connectFrontEnd(), result::kOk);
    EXPECT_EQ(engine->groupOutputPin(0, pin), result::kOk);
}

TEST_F(FfmpegMediaFrameworkTest, FrontEndOfTimelineWithoutGroupHasNoPin)
{
    std::shared_ptr<Timeline> timeline;
    framework.createTimeline(timeline);
    std::shared_ptr<RenderEngine> engine;
    framework.createRenderEngine(engine);
    engine->setTimelineObject(timeline);
    // The join asks for the group count afterwards and reports it itself.
    EXPECT_EQ(engine->connectFrontEnd(), result::kOk);
    std::shared_ptr<Pin> pin;
    EXPECT_EQ(engine->groupOutputPin(0, pin), result::kNoGroup);

    std::shared_ptr<TimelineGroup> untyped;
    timeline->createGroup(untyped);
    timeline->addGroup(untyped);
    EXPECT_EQ(engine->connectFrontEnd(), result::kInvalidArgument);
}

TEST_F(FfmpegMediaFrameworkTest, JoinGraphBuildsInAJoinsOrder)
{
    JoinGraph join;
    EXPECT_EQ(buildJoinGraph(framework, buildTimeline(framework, {{"a.wav", 0, kSecond}}),
                             file("out.wav"), join),
              result::kOk);
    EXPECT_NE(join.control, nullptr);
    EXPECT_NE(join.events, nullptr);
    // The group pin feeds the multiplexer: a second stream cannot join it.
    std::shared_ptr<CaptureGraphBuilder> builder;
    framework.createCaptureGraphBuilder(builder);
    builder->setFiltergraph(join.graph);
    std::shared_ptr<Pin> pin;
    join.engine->groupOutputPin(0, pin);
    EXPECT_EQ(builder->renderStream(pin, join.mux), result::kWrongState);
}

TEST_F(FfmpegMediaFrameworkTest, ConnectionsAreChecked)
{
    std::shared_ptr<RenderEngine> engine;
    framework.createRenderEngine(engine);
    engine->setTimelineObject(buildTimeline(framework, {{"a.wav", 0, kSecond}}));
    ASSERT_EQ(engine->connectFrontEnd(), result::kOk);
    std::shared_ptr<FilterGraph> graph;
    engine->filterGraph(graph);
    std::shared_ptr<Pin> groupPin;
    engine->groupOutputPin(0, groupPin);

    std::shared_ptr<Filter> mux;
    std::shared_ptr<Filter> writer;
    std::shared_ptr<Filter> outside;
    framework.createFilter(kWaveMuxClassId, mux);
    framework.createFilter(kFileWriterClassId, writer);
    framework.createFilter(kFileWriterClassId, outside);
    const auto muxIn = firstPin(*mux, PinDirection::Input);
    const auto muxOut = firstPin(*mux, PinDirection::Output);
    const auto writerIn = firstPin(*writer, PinDirection::Input);

    std::shared_ptr<CaptureGraphBuilder> builder;
    framework.createCaptureGraphBuilder(builder);
    EXPECT_EQ(builder->renderStream(groupPin, mux), result::kWrongState); // no graph yet
    EXPECT_EQ(builder->setFiltergraph(nullptr), result::kInvalidArgument);
    ASSERT_EQ(builder->setFiltergraph(graph), result::kOk);
    EXPECT_EQ(builder->renderStream(groupPin, mux), result::kWrongState); // mux not in the graph
    EXPECT_EQ(graph->connect(muxOut, writerIn), result::kWrongState);     // neither in the graph

    ASSERT_EQ(graph->addFilter(mux, "Wave Mux"), result::kOk);
    ASSERT_EQ(graph->addFilter(writer, "Writer"), result::kOk);
    EXPECT_EQ(graph->addFilter(mux, "Again"), result::kInvalidArgument);
    EXPECT_EQ(graph->addFilter(nullptr, "Nothing"), result::kInvalidArgument);

    EXPECT_EQ(builder->renderStream(groupPin, writer), result::kInvalidArgument); // no raw sound into a file
    EXPECT_EQ(builder->renderStream(muxIn, writer), result::kInvalidArgument);    // not an output
    EXPECT_EQ(builder->renderStream(groupPin, outside), result::kWrongState);
    EXPECT_EQ(graph->connect(writerIn, muxOut), result::kInvalidArgument);        // reversed
    EXPECT_EQ(graph->connect(groupPin, writerIn), result::kInvalidArgument);      // kinds differ
    EXPECT_EQ(graph->connect(muxOut, firstPin(*outside, PinDirection::Input)), result::kWrongState);
    EXPECT_EQ(graph->connect(nullptr, writerIn), result::kInvalidArgument);

    EXPECT_EQ(builder->renderStream(groupPin, mux), result::kOk);
    EXPECT_EQ(graph->connect(muxOut, writerIn), result::kOk);
    EXPECT_EQ(graph->connect(muxOut, writerIn), result::kWrongState); // already connected
}

// --- running without rendering ----------------------------------------------------

TEST_F(FfmpegMediaFrameworkTest, RunRefusesAnIncompleteChain)
{
    struct Case {
        const char* name;
        bool connectWriter;
        bool nameFile;
        MediaResult expected;
    };
    const std::vector<Case> cases{
        {"writer not connected", false, true, result::kNotConnected},
        {"writer without a file name", true, false, result::kNoFileName},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        std::shared_ptr<RenderEngine> engine;
        framework.createRenderEngine(engine);
        engine->setTimelineObject(buildTimeline(framework, {{"a.wav", 0, kSecond}}));
        engine->connectFrontEnd();
        std::shared_ptr<FilterGraph> graph;
        engine->filterGraph(graph);
        std::shared_ptr<Pin> groupPin;
        engine->groupOutputPin(0, groupPin);
        std::shared_ptr<Filter> mux;
        std::shared_ptr<Filter> writer;
        framework.createFilter(kWaveMuxClassId, mux);
        framework.createFilter(kFileWriterClassId, writer);
        graph->addFilter(mux, "Wave Mux");
        graph->addFilter(writer, "Writer");
        if (test.nameFile)
            writer->setFileName(file("out.wav"));
        ASSERT_EQ(graph->connect(groupPin, firstPin(*mux, PinDirection::Input)), result::kOk);
        if (test.connectWriter) {
            ASSERT_EQ(graph->connect(firstPin(*mux, PinDirection::Output),
                                     firstPin(*writer, PinDirection::Input)),
                      result::kOk);
        }
        std::shared_ptr<MediaControl> control;
        graph->mediaControl(control);
        EXPECT_EQ(control->run(), test.expected);
        std::shared_ptr<MediaEvents> events;
        graph->mediaEvents(events);
        EXPECT_TRUE(testing::drainEvents(*events).empty());
    }

    // A graph with nothing in it, and one made for measuring.
    std::shared_ptr<FilterGraph> graph;
    framework.createFilterGraph(graph);
    std::shared_ptr<MediaControl> control;
    graph->mediaControl(control);
    EXPECT_EQ(control->run(), result::kNotConnected);
}

TEST_F(FfmpegMediaFrameworkTest, RunNeverWritesOverWhatItMustNot)
{
    const auto source = file("source.wav");
    testing::writeSilentWav(source, 44100);
    const auto before = std::filesystem::file_size(source);

    // The output is one of the sources.
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, {{source, 0, kSecond}}), source, join),
              result::kOk);
    EXPECT_EQ(join.control->run(), result::kOutputIsSource);

    // An existing file without overwrite mode.
    const auto existing = file("existing.wav");
    std::ofstream(existing) << "keep me";
    JoinGraph keep;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, {{source, 0, kSecond}}), existing, keep),
              result::kOk);
    keep.writer->setOverwriteMode(false);
    EXPECT_EQ(keep.control->run(), result::kCannotCreateOutput);

    EXPECT_EQ(std::filesystem::file_size(source), before);
    EXPECT_EQ(std::filesystem::file_size(existing), 7u);
}

TEST_F(FfmpegMediaFrameworkTest, StopAndEventsAreSafeWithoutARun)
{
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, {{"a.wav", 0, kSecond}}),
                             file("out.wav"), join),
              result::kOk);
    EXPECT_EQ(join.control->stop(), result::kOk);
    EXPECT_EQ(join.control->stop(), result::kOk);
    GraphEvent event;
    EXPECT_EQ(join.events->getEvent(event, 0), result::kNoEvent);
    EXPECT_EQ(join.events->getEvent(event, 20), result::kNoEvent);
    EXPECT_EQ(join.events->setNotify({}), result::kOk);
    MediaTime position = -1;
    EXPECT_EQ(join.seeking->currentPosition(position), result::kOk);
    EXPECT_EQ(position, 0);
}

TEST_F(FfmpegMediaFrameworkTest, UnreadableSourceEndsTheRunWithAnAbortEvent)
{
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, {{file("missing.mp3"), 0, kSecond}}),
                             file("out.wav"), join),
              result::kOk);
    testing::NotifyCounter notified;
    ASSERT_EQ(join.events->setNotify(notified.function()), result::kOk);
    ASSERT_EQ(join.control->run(), result::kOk);
    ASSERT_TRUE(notified.waitFor(1));

    const auto events = testing::drainEvents(*join.events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kEventErrorAbort);
    EXPECT_TRUE(failed(static_cast<MediaResult>(events[0].param1)));
    EXPECT_EQ(join.control->stop(), result::kOk);
    EXPECT_EQ(notified.count(), 1);
}

TEST_F(FfmpegMediaFrameworkTest, EventsWaitingBeforeTheNotifyIsSetAreAnnounced)
{
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, {{file("missing.mp3"), 0, kSecond}}),
                             file("out.wav"), join),
              result::kOk);
    ASSERT_EQ(join.control->run(), result::kOk);
    GraphEvent event;
    // Waiting with a time-out is how a console caller without a notify works.
    ASSERT_EQ(join.events->getEvent(event, 60'000), result::kOk);
    EXPECT_EQ(event.code, kEventErrorAbort);
    EXPECT_EQ(join.control->stop(), result::kOk);

    // A second run posts again; a holder that registers late still hears of it.
    ASSERT_EQ(join.control->run(), result::kOk);
    const auto& graph = static_cast<const FfmpegFilterGraph&>(*join.graph);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (graph.isRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_FALSE(graph.isRunning());
    testing::NotifyCounter notified;
    join.events->setNotify(notified.function());
    EXPECT_EQ(notified.count(), 1);
    join.events->setNotify({});
    EXPECT_EQ(testing::drainEvents(*join.events).size(), 1u);
}

TEST_F(FfmpegMediaFrameworkTest, MeasuringAnUnreadableFileFails)
{
    std::shared_ptr<FilterGraph> graph;
    framework.createFilterGraph(graph);
    EXPECT_TRUE(failed(graph->renderFile(file("missing.mp3"))));
    EXPECT_EQ(graph->renderFile(""), result::kInvalidArgument);
    std::shared_ptr<MediaSeeking> seeking;
    graph->mediaSeeking(seeking);
    MediaTime length = 0;
    EXPECT_TRUE(failed(seeking->stopPosition(length)));
}

TEST_F(FfmpegMediaFrameworkTest, ErrorTextIsShortAndNeverEmpty)
{
    for (const MediaResult code : {result::kNotRegistered, result::kNoFileName, result::kFail,
                                   result::kCannotOpenSource, AVERROR(ENOENT), AVERROR_INVALIDDATA}) {
        const auto text = framework.errorText(code);
        EXPECT_FALSE(text.empty());
        EXPECT_LE(text.size(), 160u);
    }
}

} // namespace
} // namespace kestrine
