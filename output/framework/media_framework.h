// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"
#include "output/framework/media_time.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// The media services a join is made of: an editing timeline, a render engine
// that turns it into a graph of filters up to one output pin per group, the
// components that write that output to a file, and the events the running graph
// reports. Objects are shared (reference-counted) so a holder releases its
// reference whenever its step ends, as the join's own code expects.
//
// Every operation answers a MediaResult; out-parameters are set only on success.
// Paths are UTF-8 (the file system's own encoding on POSIX).

namespace kestrine {

enum class NodeType { Group = 128, Track = 2, Source = 4 };
enum class PinDirection { Input, Output };

enum class MajorType { None, Audio, Video };

// How a join treats its sources' loudness, measured by EBU R128.
enum class LoudnessMode {
    Leave,  // every sample as the sources give it
    Track,  // each source brought to the target on its own
    Album,  // the whole join moved to the target by one gain
    Tags,   // no sample changed: tags tell players the gain
};

inline constexpr double kDefaultLoudnessTarget = -16.0; // LUFS
inline constexpr double kLowestLoudnessTarget = -40.0;
inline constexpr double kHighestLoudnessTarget = -5.0;
inline constexpr double kDefaultTruePeakCeiling = -1.0; // dBTP
inline constexpr double kLowestTruePeakCeiling = -9.0;
inline constexpr double kHighestTruePeakCeiling = 0.0;

struct LoudnessRequest {
    LoudnessMode mode = LoudnessMode::Leave;
    double target = kDefaultLoudnessTarget;         // LUFS
    double truePeakCeiling = kDefaultTruePeakCeiling; // dBTP
    friend bool operator==(const LoudnessRequest&, const LoudnessRequest&) = default;
};

// What an audio group's output is asked to be. Every value left at its
// default follows the sources (rate, channels, bits) or the output format's
// own setting (bit rate, quality).
struct AudioFormatRequest {
    int sampleRate = 0;    // Hz
    int channels = 0;      // 1 or 2
    int bitsPerSample = 0; // 16 or 24; PCM and lossless outputs only
    int bitRateKbps = 0;   // constant for MP3, the target for AAC and Opus
    int vbrQuality = -1;   // MP3's VBR scale, 0 (best) to 9
    // Decode and encode every source, even where their frames could be
    // copied into the output as they are.
    bool reencode = false;
    LoudnessRequest loudness{};
    friend bool operator==(const AudioFormatRequest&, const AudioFormatRequest&) = default;
};

// How a join makes its output's sound: by copying its sources' compressed
// frames (all of them but a few at each join), or by decoding every source
// and encoding the whole. Undecided until the join has looked at its sources.
enum class JoinRoad { Undecided, Copy, Encode };

// What a source brings to the output's format.
struct SourceFormat {
    int sampleRate = 0;
    int channels = 0;
    bool deep = false;   // more than 16 bits of resolution: wide PCM, float, deep lossless
    MediaTime length = 0; // its share of the join
    friend bool operator==(const SourceFormat&, const SourceFormat&) = default;
};

struct MediaType {
    MajorType major = MajorType::None; // no subtype and no format block: the group picks its default
    AudioFormatRequest audio;          // an audio group's output format
};

// Graph event codes.
inline constexpr int kEventComplete = 1;   // the whole timeline is written
inline constexpr int kEventUserAbort = 2;
// param1 is the MediaResult that stopped the run; param2 is 1 + the index,
// among the group's sources in track order, of the source that caused it, or
// 0 when none did.
inline constexpr int kEventErrorAbort = 3;

// Flags of Timeline::validateSourceNames.
inline constexpr int kValidateCheck = 0x1;
inline constexpr int kValidatePopup = 0x2;
inline constexpr int kValidateTellMe = 0x4;
inline constexpr int kValidateReplace = 0x8;

// Components created by class identifier.
inline constexpr std::string_view kWaveMuxClassId = "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B96}";
inline constexpr std::string_view kFileWriterClassId = "{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}";

class TimelineObject {
public:
    virtual ~TimelineObject() = default;
    virtual NodeType nodeType() const = 0;
    // Position on the timeline, [start, stop).
    virtual MediaResult setStartStop(MediaTime start, MediaTime stop) = 0;
    virtual MediaResult startStop(MediaTime& start, MediaTime& stop) const = 0;
};

class TimelineSource : public TimelineObject {
public:
    // The span of the file that plays, [start, stop).
    virtual MediaResult setMediaTimes(MediaTime start, MediaTime stop) = 0;
    virtual MediaResult mediaTimes(MediaTime& start, MediaTime& stop) const = 0;
    virtual MediaResult setMediaName(const std::string& path) = 0;
    virtual MediaResult mediaName(std::string& path) const = 0;
};

class TimelineTrack : public TimelineObject {
public:
    virtual MediaResult srcAdd(std::shared_ptr<TimelineSource> source) = 0;
    virtual std::vector<std::shared_ptr<TimelineSource>> sources() const = 0;
};

class TimelineGroup : public TimelineObject {
public:
    virtual MediaResult setMediaType(const MediaType& type) = 0;
    // Priority -1 appends after every earlier track.
    virtual MediaResult vtrackInsBefore(std::shared_ptr<TimelineTrack> track, int priority) = 0;
    virtual std::vector<std::shared_ptr<TimelineTrack>> tracks() const = 0;
    // Preview mode may drop data to keep up; off means every sample is rendered.
    virtual MediaResult setPreviewMode(bool preview) = 0;
};

// Asked about every source that cannot be read; answers a replacement path, or
// nothing to leave the source as it is.
using MissingSourceHandler = std::function<std::optional<std::string>(const std::string& path)>;

class Timeline {
public:
    virtual ~Timeline() = default;
    virtual MediaResult createGroup(std::shared_ptr<TimelineGroup>& group) = 0;
    virtual MediaResult createTrack(std::shared_ptr<TimelineTrack>& track) = 0;
    virtual MediaResult createSource(std::shared_ptr<TimelineSource>& source) = 0;
    virtual MediaResult addGroup(std::shared_ptr<TimelineGroup> group) = 0;
    virtual MediaResult groupCount(int& count) const = 0;
    virtual MediaResult group(int index, std::shared_ptr<TimelineGroup>& group) const = 0;
    // With kValidateCheck, every source that cannot be read is found; with
    // kValidatePopup the handler is asked; with kValidateReplace its answer is used.
    // A stop request ends the check early, leaving the rest unchecked.
    virtual MediaResult validateSourceNames(int flags, const MissingSourceHandler& handler,
                                            std::stop_token stop = {}) = 0;
};

// What a join says about where each source starts. Paths are the file
// system's bytes, as the output path is.
struct MarkerOptions {
    bool inFile = true;    // markers inside the output file, where its format has them
    std::string cueSheet;  // a cue sheet written once the join is complete; empty for none
    std::string labelList; // a tab-separated label list, likewise
    friend bool operator==(const MarkerOptions&, const MarkerOptions&) = default;
};

// What a join says about itself in its output's tags. Paths and values are
// the system's bytes; values that are not UTF-8 are made so where a format
// needs it.
struct TagOptions {
    bool fromSources = true; // false: the output carries no tags and no cover
    std::string title;       // instead of the album's name; empty: the album's
    std::string artist;      // instead of the sources' artist; empty: theirs
    std::string album;       // likewise
    std::string coverFile;   // a JPEG or PNG image as the cover; empty: the sources'
    friend bool operator==(const TagOptions&, const TagOptions&) = default;
};

class Filter;

class Pin {
public:
    virtual ~Pin() = default;
    virtual PinDirection direction() const = 0;
};

class Filter {
public:
    virtual ~Filter() = default;
    virtual MediaResult enumPins(std::vector<std::shared_ptr<Pin>>& pins) const = 0;
    // File writers take the path of the file they write.
    virtual MediaResult setFileName(const std::string& path) = 0;
    // kNoInterface where the filter does not offer the option.
    virtual MediaResult setOverwriteMode(bool overwrite) = 0;
    virtual MediaResult setFullInterleaving() = 0;
    // Muxes take the markers of the file they lay out.
    virtual MediaResult setMarkers(const MarkerOptions& markers) = 0;
    // And what the file says about the join; kNoInterface elsewhere.
    virtual MediaResult setTags(const TagOptions&) { return result::kNoInterface; }
};

class MediaControl {
public:
    virtual ~MediaControl() = default;
    // Returns at once; the graph works on threads of its own.
    virtual MediaResult run() = 0;
    // Returns once the graph's threads have stopped and the file is closed.
    virtual MediaResult stop() = 0;
};

class MediaSeeking {
public:
    virtual ~MediaSeeking() = default;
    virtual MediaResult stopPosition(MediaTime& position) const = 0;
    // How far a running graph has written, from the beginning.
    virtual MediaResult currentPosition(MediaTime& position) const = 0;
    // The road the running or last join takes.
    virtual JoinRoad road() const { return JoinRoad::Undecided; }
};

struct GraphEvent {
    int code = 0;
    std::intptr_t param1 = 0;
    std::intptr_t param2 = 0;
};

class MediaEvents {
public:
    virtual ~MediaEvents() = default;
    // Called, from any thread, whenever events wait; an empty function stops it.
    virtual MediaResult setNotify(std::function<void()> notify) = 0;
    // kNoEvent when nothing arrives within timeoutMs.
    virtual MediaResult getEvent(GraphEvent& event, int timeoutMs) = 0;
    virtual MediaResult freeEventParams(const GraphEvent& event) = 0;
};

class FilterGraph {
public:
    virtual ~FilterGraph() = default;
    virtual MediaResult addFilter(std::shared_ptr<Filter> filter, const std::string& name) = 0;
    virtual MediaResult connect(std::shared_ptr<Pin> output, std::shared_ptr<Pin> input) = 0;
    // Builds the playback chain for one file; what measuring relies on.
    virtual MediaResult renderFile(const std::string& path) = 0;
    // The rendered file's rate, channels and depth (its length is left
    // alone); kNoInterface where the graph cannot tell.
    virtual MediaResult soundFormat(SourceFormat& format) const
    {
        (void)format;
        return result::kNoInterface;
    }
    virtual MediaResult mediaControl(std::shared_ptr<MediaControl>& control) = 0;
    virtual MediaResult mediaEvents(std::shared_ptr<MediaEvents>& events) = 0;
    virtual MediaResult mediaSeeking(std::shared_ptr<MediaSeeking>& seeking) = 0;
};

class RenderEngine {
public:
    virtual ~RenderEngine() = default;
    virtual MediaResult setTimelineObject(std::shared_ptr<Timeline> timeline) = 0;
    virtual MediaResult timelineObject(std::shared_ptr<Timeline>& timeline) const = 0;
    virtual MediaResult setDynamicReconnectLevel(int level) = 0;
    // Builds the graph up to one output pin per group.
    virtual MediaResult connectFrontEnd() = 0;
    virtual MediaResult filterGraph(std::shared_ptr<FilterGraph>& graph) const = 0;
    virtual MediaResult groupOutputPin(int group, std::shared_ptr<Pin>& pin) const = 0;
    // Drops the graph; the engine can build a new one afterwards.
    virtual MediaResult scrapIt() = 0;
};

class CaptureGraphBuilder {
public:
    virtual ~CaptureGraphBuilder() = default;
    virtual MediaResult setFiltergraph(std::shared_ptr<FilterGraph> graph) = 0;
    // Connects source to sink, with whatever converters are needed between them.
    virtual MediaResult renderStream(std::shared_ptr<Pin> source, std::shared_ptr<Filter> sink) = 0;
};

// The entry point: creates every object above. Thread-safe: separate graphs
// may be built and run on separate threads.
class MediaFramework {
public:
    virtual ~MediaFramework() = default;
    virtual MediaResult createTimeline(std::shared_ptr<Timeline>& timeline) = 0;
    virtual MediaResult createRenderEngine(std::shared_ptr<RenderEngine>& engine) = 0;
    virtual MediaResult createCaptureGraphBuilder(std::shared_ptr<CaptureGraphBuilder>& builder) = 0;
    virtual MediaResult createFilterGraph(std::shared_ptr<FilterGraph>& graph) = 0;
    // kNotRegistered when no component has that identifier.
    virtual MediaResult createFilter(std::string_view classId, std::shared_ptr<Filter>& filter) = 0;
    // A short sentence (at most 160 characters) for any result code.
    virtual std::string errorText(MediaResult result) const = 0;
};

} // namespace kestrine
