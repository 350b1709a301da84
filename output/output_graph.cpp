// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/output_graph.h"

#include "output/framework/path_bytes.h"
#include "platform/user_dialogs.h"

namespace kestrine {

namespace {

// The framework's texts are short sentences; a longer one is cut, as every
// box of the program shows at most this much of it.
constexpr qsizetype kErrorTextLimit = 160;

std::shared_ptr<Pin> firstPin(const Filter& filter, PinDirection direction)
{
    std::vector<std::shared_ptr<Pin>> pins;
    if (failed(filter.enumPins(pins)))
        return nullptr;
    for (const auto& pin : pins)
        if (pin && pin->direction() == direction)
            return pin;
    return nullptr;
}

} // namespace

OutputGraph::OutputGraph(MediaFramework& framework, UserDialogs& dialogs)
    : framework_(framework), dialogs_(dialogs)
{
}

void OutputGraph::start(JoinReferences& references, const QString& outputPath, JoinHost& host,
                        const MarkerOptions& markers, const TagOptions& tags)
{
    if (!build(references, outputPath, host, markers, tags)) {
        // Nothing of a join that never ran is kept: no notification can reach
        // an idle program, and the next join starts from a clean slate.
        release(references);
        return;
    }
    host.joinStarted();
}

void OutputGraph::showFrameworkText(MediaResult code)
{
    dialogs_.inform(QString::fromStdString(framework_.errorText(code)).left(kErrorTextLimit));
}

bool OutputGraph::build(JoinReferences& references, const QString& outputPath, JoinHost& host,
                        const MarkerOptions& markers, const TagOptions& tags)
{
    if (failed(framework_.createRenderEngine(references.renderEngine)) ||
        !references.renderEngine) {
        dialogs_.showError(QStringLiteral("Could not create pRenderEngine"));
        return false;
    }
    RenderEngine& engine = *references.renderEngine;
    if (failed(engine.setTimelineObject(references.timeline))) {
        dialogs_.inform(QStringLiteral("Could not SetTimelineObject"));
        return false;
    }
    engine.setDynamicReconnectLevel(1);
    if (failed(engine.connectFrontEnd())) {
        dialogs_.inform(QStringLiteral("Could not ConnectFrontEnd"));
        return false;
    }

    const std::string fileName = pathToBytes(outputPath);

    // Preview mode may drop samples to keep up; a written file must have them all.
    if (references.timeline) {
        int groupCount = 0;
        if (succeeded(references.timeline->groupCount(groupCount))) {
            for (int index = 0; index < groupCount; ++index) {
                std::shared_ptr<TimelineGroup> group;
                if (succeeded(references.timeline->group(index, group)) && group)
                    group->setPreviewMode(false);
            }
        }
    }

    std::shared_ptr<CaptureGraphBuilder> builder;
    if (failed(framework_.createCaptureGraphBuilder(builder)) || !builder) {
        dialogs_.inform(QStringLiteral("Could not create ICaptureGraphBuilder2"));
        return false;
    }

    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<FilterGraph> graph;
    if (failed(engine.timelineObject(timeline)) || !timeline)
        return false;
    if (failed(engine.filterGraph(graph)) || !graph)
        return false;

    int groups = 0;
    if (failed(timeline->groupCount(groups)) || groups <= 0) {
        dialogs_.inform(QStringLiteral("Could not GetGroupCount( &Groups )"));
        return false;
    }
    if (failed(builder->setFiltergraph(graph))) {
        dialogs_.inform(QStringLiteral("Error pBuilder->SetFiltergraph( pGraph )"));
        return false;
    }

    std::shared_ptr<Filter> mux;
    if (failed(framework_.createFilter(kWaveMuxClassId, mux)) || !mux) {
        dialogs_.showError(QStringLiteral(
            "The program does not detect its file writer. Please install the program again!"));
        return false;
    }
    if (failed(graph->addFilter(mux, "Wave Mux"))) {
        dialogs_.inform(QStringLiteral("pGraph->AddFilter( pMux, Wave Mux )"));
        return false;
    }
    std::shared_ptr<Filter> writer;
    if (failed(framework_.createFilter(kFileWriterClassId, writer)) || !writer) {
        dialogs_.inform(QStringLiteral("failed to create wav writer!"));
        return false;
    }
    if (failed(writer->setFileName(fileName))) {
        dialogs_.inform(QStringLiteral("hr = pWriter->SetFileName( Filename, NULL );"));
        return false;
    }
    if (failed(graph->addFilter(writer, "Writer"))) {
        dialogs_.inform(QStringLiteral("hr = pGraph->AddFilter( pWriterBase, Writer );"));
        return false;
    }
    // Both are options some filters lack; the join works without them.
    mux->setFullInterleaving();
    writer->setOverwriteMode(true);
    // A mux without markers still writes the join; one that cannot do what
    // was asked of it would not.
    if (const MediaResult set = mux->setMarkers(markers);
        failed(set) && !(set == result::kNoInterface && markers == MarkerOptions{})) {
        showFrameworkText(set);
        return false;
    }
    if (const MediaResult set = mux->setTags(tags);
        failed(set) && !(set == result::kNoInterface && tags == TagOptions{})) {
        showFrameworkText(set);
        return false;
    }

    // The timeline holds one audio group; any other group is not written.
    std::shared_ptr<Pin> groupPin;
    if (failed(engine.groupOutputPin(0, groupPin)) || !groupPin) {
        dialogs_.inform(QStringLiteral("Could not GetGroupOutputPin( g, &pPin )"));
        return false;
    }
    if (const MediaResult rendered = builder->renderStream(groupPin, mux); failed(rendered)) {
        dialogs_.inform(
            QStringLiteral("failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )"));
        showFrameworkText(rendered);
        return false;
    }

    const std::shared_ptr<Pin> muxOutput = firstPin(*mux, PinDirection::Output);
    const std::shared_ptr<Pin> writerInput = firstPin(*writer, PinDirection::Input);
    if (!muxOutput || !writerInput)
        return false;
    graph->connect(muxOutput, writerInput);

    if (failed(graph->mediaControl(references.graphControl)) || !references.graphControl) {
        dialogs_.inform(QStringLiteral("Could not get pControl"));
        return false;
    }
    if (failed(graph->mediaEvents(references.graphEvents)) || !references.graphEvents) {
        dialogs_.inform(QStringLiteral("Could not get pEvent"));
        return false;
    }
    if (failed(references.graphEvents->setNotify(host.graphEventNotifier()))) {
        dialogs_.inform(QStringLiteral("can not SetNotifyWindow!!!"));
        return false;
    }
    if (const MediaResult ran = references.graphControl->run(); failed(ran)) {
        dialogs_.inform(QStringLiteral("can not pControl->Run()!!!"));
        showFrameworkText(ran);
        return false;
    }
    return true;
}

void OutputGraph::release(JoinReferences& references)
{
    // Stopped first, so the graph's threads are gone before anything they use.
    if (references.graphControl)
        references.graphControl->stop();
    if (references.graphEvents) {
        references.graphEvents->setNotify({});
        references.graphEvents.reset();
    }
    references.graphControl.reset();
    if (references.renderEngine) {
        references.renderEngine->scrapIt();
        references.renderEngine.reset();
    }
    references.timeline.reset();
}

} // namespace kestrine
