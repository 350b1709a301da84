// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/output_graph.h"

#include "output/timeline_builder.h"
#include "tests/support/fake_media_framework.h"
#include "tests/support/recording_dialogs.h"

#include <QFile>
#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

class RecordingHost : public JoinHost {
public:
    std::function<void()> graphEventNotifier() override
    {
        return [this] { ++notifications; };
    }
    void joinStarted() override { ++started; }

    int notifications = 0;
    int started = 0;
};

struct GraphFixture : ::testing::Test {
    // A timeline of one audio group with one 3 s item; the calls it took are
    // forgotten, so only the graph's own calls are in the log.
    void buildTimeline(std::vector<ClipItem> items = {{"/music/a.mp3", 3 * kUnitsPerSecond}})
    {
        TimelineBuilder builder(fake, dialogs, {});
        builder.build(items, items, references.timeline);
        fake.clearCalls();
    }
    void start() { graph.start(references, outputPath, host); }

    FakeMediaFramework fake;
    RecordingDialogs dialogs;
    RecordingHost host;
    JoinReferences references;
    QString outputPath = QStringLiteral("/tmp/Kl\u00e4nge/out.wav");
    OutputGraph graph{fake, dialogs};
};

using OutputGraphTest = GraphFixture;

TEST_F(OutputGraphTest, BuildsAndRunsTheGraphInOrderThenTellsTheHost)
{
    buildTimeline();
    start();

    const std::string mux(kWaveMuxClassId);
    const std::string writer(kFileWriterClassId);
    const std::string fileName = QFile::encodeName(outputPath).toStdString();
    EXPECT_EQ(fake.callLog(),
              (std::vector<std::string>{"createRenderEngine",
                                        "setTimelineObject",
                                        "setDynamicReconnectLevel 1",
                                        "connectFrontEnd",
                                        "groupCount",
                                        "group 0",
                                        "setPreviewMode false",
                                        "createCaptureGraphBuilder",
                                        "timelineObject",
                                        "filterGraph",
                                        "groupCount",
                                        "setFiltergraph",
                                        "createFilter " + mux,
                                        "addFilter Wave Mux",
                                        "createFilter " + writer,
                                        "setFileName " + fileName,
                                        "addFilter Writer",
                                        "setFullInterleaving",
                                        "setOverwriteMode true",
                                        "setMarkers in-file",
                                        "groupOutputPin 0",
                                        "renderStream group 0 output -> " + mux,
                                        "enumPins " + mux,
                                        "enumPins " + writer,
                                        "connect mux output -> writer input",
                                        "mediaControl",
                                        "mediaEvents",
                                        "setNotify set",
                                        "run"}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(host.started, 1);
    EXPECT_TRUE(references.renderEngine && references.graphControl && references.graphEvents);

    // The registered notification is the host's own.
    EXPECT_TRUE(fake.fireNotify());
    EXPECT_EQ(host.notifications, 1);
}

TEST_F(OutputGraphTest, MissingOptionalFilterSettingsDoNotStopTheJoin)
{
    fake.omitInterleaving();
    fake.omitOverwriteMode();
    buildTimeline();
    start();
    EXPECT_EQ(host.started, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(OutputGraphTest, OnlyGroupZeroIsRenderedWhateverTheGroupCount)
{
    fake.setGroupCount(3);
    buildTimeline();
    start();
    EXPECT_EQ(fake.callsOf(FakeOp::GroupOutputPin),
              (std::vector<FakeCall>{{FakeOp::GroupOutputPin, "0"}}));
    EXPECT_EQ(fake.callsOf(FakeOp::RenderStream).size(), 1u);
    // Preview mode is off in every group, not only in the rendered one.
    EXPECT_EQ(fake.callCount(FakeOp::SetPreviewMode), 3);
    EXPECT_EQ(host.started, 1);
}

TEST_F(OutputGraphTest, TimelineWhoseGroupFailedEndsAtTheGroupCount)
{
    fake.failOn(FakeOp::CreateGroup, result::kOutOfMemory);
    TimelineBuilder builder(fake, dialogs, {});
    const std::vector<ClipItem> items{{"/music/a.mp3", kUnitsPerSecond}};
    builder.build(items, items, references.timeline);
    start();

    EXPECT_EQ(dialogs.texts(), QStringList({"Could not create pAudioGroupObj",
                                            "Could not GetGroupCount( &Groups )"}));
    EXPECT_EQ(dialogs.messages[1].caption, QStringLiteral("kestrine"));
    EXPECT_EQ(host.started, 0);
    EXPECT_EQ(fake.callCount(FakeOp::SetFiltergraph), 0);
}

TEST_F(OutputGraphTest, TimelineThatWasNeverCreatedDoesNotStart)
{
    start();
    EXPECT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(host.started, 0);
    EXPECT_EQ(fake.callCount(FakeOp::Run), 0);
}

struct StartFailureCase {
    const char* name;
    std::function<void(FakeMediaFramework&)> script;
    // Caption, then text; "" for the program's title.
    std::vector<std::pair<QString, QString>> messages;
    friend void PrintTo(const StartFailureCase& tested, std::ostream* out) { *out << tested.name; }
};

class OutputGraphFailureTest : public GraphFixture,
                               public ::testing::WithParamInterface<StartFailureCase> {};

// Each failing step is told once in its own words (or silently stops, where
// the step has no words), the graph never runs, the host never hears of a
// start, and nothing of the half-built graph is kept.
TEST_P(OutputGraphFailureTest, ReportsTheStepAndStaysIdle)
{
    GetParam().script(fake);
    buildTimeline();
    start();

    ASSERT_EQ(dialogs.messages.size(), static_cast<qsizetype>(GetParam().messages.size()))
        << dialogs.texts().join(" | ").toStdString();
    for (std::size_t i = 0; i < GetParam().messages.size(); ++i) {
        const auto& [caption, text] = GetParam().messages[i];
        const MessageRequest& shown = dialogs.messages[static_cast<qsizetype>(i)];
        EXPECT_EQ(shown.text, text);
        EXPECT_EQ(shown.caption, caption.isEmpty() ? QStringLiteral("kestrine") : caption);
        EXPECT_EQ(shown.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(host.started, 0);
    EXPECT_FALSE(references.renderEngine || references.graphControl || references.graphEvents ||
                 references.timeline);
    EXPECT_FALSE(fake.notifyRegistered());
    const std::vector<FakeOp> ops = fake.ops();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), FakeOp::Run) > 0,
              std::string(GetParam().name) == "Run");
}

QString fakeText(MediaResult code)
{
    return QString::fromStdString(FakeMediaFramework::fakeErrorText(code));
}

StartFailureCase failing(const char* name, FakeOp op, QString text, int occurrence = -1)
{
    return {name, [op, occurrence](FakeMediaFramework& fake) {
                fake.failOn(op, result::kFail, occurrence);
            },
            text.isEmpty() ? std::vector<std::pair<QString, QString>>{}
                           : std::vector<std::pair<QString, QString>>{{"", text}}};
}

INSTANTIATE_TEST_SUITE_P(
    Steps, OutputGraphFailureTest,
    ::testing::Values(
        StartFailureCase{"CreateRenderEngine",
                         [](FakeMediaFramework& fake) {
                             fake.failOn(FakeOp::CreateRenderEngine, result::kOutOfMemory);
                         },
                         {{"Error", "Could not create pRenderEngine"}}},
        failing("SetTimelineObject", FakeOp::SetTimelineObject, "Could not SetTimelineObject"),
        failing("ConnectFrontEnd", FakeOp::ConnectFrontEnd, "Could not ConnectFrontEnd"),
        failing("CreateCaptureGraphBuilder", FakeOp::CreateCaptureGraphBuilder,
                "Could not create ICaptureGraphBuilder2"),
        failing("TimelineObject", FakeOp::TimelineObject, ""),
        failing("FilterGraph", FakeOp::FilterGraph, ""),
        failing("GroupCount", FakeOp::GroupCount, "Could not GetGroupCount( &Groups )"),
        StartFailureCase{"NoGroup", [](FakeMediaFramework& fake) { fake.setGroupCount(0); },
                         {{"", "Could not GetGroupCount( &Groups )"}}},
        failing("SetFiltergraph", FakeOp::SetFiltergraph,
                "Error pBuilder->SetFiltergraph( pGraph )"),
        StartFailureCase{
            "MultiplexerNotInstalled",
            [](FakeMediaFramework& fake) {
                fake.failCreateFilter(kWaveMuxClassId, result::kNotRegistered);
            },
            {{"Error",
              "The program does not detect its file writer. Please install the program again!"}}},
        failing("AddMultiplexer", FakeOp::AddFilter, "pGraph->AddFilter( pMux, Wave Mux )", 0),
        StartFailureCase{"CreateWriter",
                         [](FakeMediaFramework& fake) {
                             fake.failCreateFilter(kFileWriterClassId, result::kNotRegistered);
                         },
                         {{"", "failed to create wav writer!"}}},
        failing("SetFileName", FakeOp::SetFileName, "hr = pWriter->SetFileName( Filename, NULL );"),
        failing("AddWriter", FakeOp::AddFilter, "hr = pGraph->AddFilter( pWriterBase, Writer );",
                1),
        failing("GroupOutputPin", FakeOp::GroupOutputPin,
                "Could not GetGroupOutputPin( g, &pPin )"),
        StartFailureCase{"RenderStream",
                         [](FakeMediaFramework& fake) {
                             fake.failOn(FakeOp::RenderStream, result::kNoDecoder);
                         },
                         {{"", "failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )"},
                          {"", fakeText(result::kNoDecoder)}}},
        StartFailureCase{"MultiplexerWithoutOutputPin",
                         [](FakeMediaFramework& fake) { fake.omitMuxOutputPin(); },
                         {}},
        StartFailureCase{"WriterWithoutInputPin",
                         [](FakeMediaFramework& fake) { fake.omitWriterInputPin(); },
                         {}},
        failing("MediaControl", FakeOp::MediaControl, "Could not get pControl"),
        failing("MediaEvents", FakeOp::MediaEvents, "Could not get pEvent"),
        failing("SetNotify", FakeOp::SetNotify, "can not SetNotifyWindow!!!"),
        StartFailureCase{"Run",
                         [](FakeMediaFramework& fake) {
                             fake.failOn(FakeOp::Run, result::kCannotCreateOutput);
                         },
                         {{"", "can not pControl->Run()!!!"},
                          {"", fakeText(result::kCannotCreateOutput)}}}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(OutputGraphTest, MissingMultiplexerNamesNoOutputFile)
{
    fake.failCreateFilter(kWaveMuxClassId, result::kNotRegistered);
    buildTimeline();
    start();
    // No writer was made, so nothing could have created the file.
    EXPECT_EQ(fake.callCount(FakeOp::SetFileName), 0);
    EXPECT_FALSE(QFile::exists(outputPath));
}

TEST_F(OutputGraphTest, ReleaseStopsFirstAndLetsGoOfEachObjectInTurn)
{
    buildTimeline();
    start();
    ASSERT_EQ(host.started, 1);
    fake.clearCalls();

    OutputGraph::release(references);

    EXPECT_EQ(fake.callLog(),
              (std::vector<std::string>{"stop", "setNotify clear", "releaseMediaEvents",
                                        "releaseMediaControl", "scrapIt", "releaseRenderEngine",
                                        "releaseTimeline"}));
    EXPECT_FALSE(references.renderEngine || references.graphControl || references.graphEvents ||
                 references.timeline);
    EXPECT_FALSE(fake.notifyRegistered());
}

TEST_F(OutputGraphTest, ReleaseCopesWithPartlyFilledReferences)
{
    JoinReferences empty;
    OutputGraph::release(empty);
    EXPECT_TRUE(fake.calls().empty());

    buildTimeline();
    ASSERT_EQ(fake.createRenderEngine(references.renderEngine), result::kOk);
    fake.clearCalls();
    OutputGraph::release(references);
    EXPECT_EQ(fake.callLog(), (std::vector<std::string>{"scrapIt", "releaseRenderEngine",
                                                        "releaseTimeline"}));
}

} // namespace
} // namespace kestrine::testing
