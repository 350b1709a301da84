// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_plan.h"
#include "output/framework/media_framework.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

class FfmpegFilter;
class FfmpegTimelineGroup;

// What travels over a pin; a connection needs the same kind on both ends.
enum class StreamKind { PcmAudio, Video, MuxedFile };

class FfmpegPin final : public Pin {
public:
    FfmpegPin(FfmpegFilter* owner, PinDirection direction, StreamKind kind)
        : owner_(owner), direction_(direction), kind_(kind)
    {
    }

    PinDirection direction() const override { return direction_; }
    StreamKind kind() const { return kind_; }
    // Null once the filter is gone: a pin may outlive the filter it came from.
    FfmpegFilter* owner() const { return owner_; }
    std::shared_ptr<FfmpegPin> peer() const { return peer_.lock(); }
    bool isConnected() const { return !peer_.expired(); }

    static void link(const std::shared_ptr<FfmpegPin>& output, const std::shared_ptr<FfmpegPin>& input);
    void disconnect();

private:
    friend class FfmpegFilter;
    FfmpegFilter* owner_;
    PinDirection direction_;
    StreamKind kind_;
    std::weak_ptr<FfmpegPin> peer_;
};

enum class FilterKind { GroupSource, WaveMux, FileWriter };

// The filters a graph is made of. Options a filter does not have answer
// kNoInterface, as a caller probing for them expects.
class FfmpegFilter : public Filter {
public:
    explicit FfmpegFilter(FilterKind kind) : kind_(kind) {}
    ~FfmpegFilter() override;
    FfmpegFilter(const FfmpegFilter&) = delete;
    FfmpegFilter& operator=(const FfmpegFilter&) = delete;

    MediaResult enumPins(std::vector<std::shared_ptr<Pin>>& pins) const override;
    MediaResult setFileName(const std::string& path) override;
    MediaResult setOverwriteMode(bool overwrite) override;
    MediaResult setFullInterleaving() override;
    MediaResult setMarkers(const MarkerOptions& markers) override;

    FilterKind kind() const { return kind_; }
    const std::vector<std::shared_ptr<FfmpegPin>>& pins() const { return pins_; }
    std::shared_ptr<FfmpegPin> firstPin(PinDirection direction) const;
    void disconnectAll();

    // The graph this filter was added to; a filter belongs to one graph at most.
    const void* graph = nullptr;

protected:
    void addPin(PinDirection direction, StreamKind kind);

private:
    FilterKind kind_;
    std::vector<std::shared_ptr<FfmpegPin>> pins_;
};

// The render engine's filter for one timeline group: its output pin carries
// the group's rendered stream.
class FfmpegGroupSource final : public FfmpegFilter {
public:
    explicit FfmpegGroupSource(std::shared_ptr<FfmpegTimelineGroup> group);
    const std::shared_ptr<FfmpegTimelineGroup>& group() const { return group_; }

private:
    std::shared_ptr<FfmpegTimelineGroup> group_;
};

// Takes a group's PCM and lays it out in the output file's container, the
// one the file writer's name chooses.
class FfmpegWaveMux final : public FfmpegFilter {
public:
    FfmpegWaveMux();
    MediaResult setFullInterleaving() override;
    bool fullInterleaving() const { return fullInterleaving_; }
    MediaResult setMarkers(const MarkerOptions& markers) override;
    const MarkerOptions& markers() const { return markers_; }
    MediaResult setTags(const TagOptions& tags) override;
    const TagOptions& tags() const { return tags_; }

private:
    bool fullInterleaving_ = false;
    MarkerOptions markers_;
    TagOptions tags_;
};

class FfmpegFileWriter final : public FfmpegFilter {
public:
    FfmpegFileWriter();
    MediaResult setFileName(const std::string& path) override;
    MediaResult setOverwriteMode(bool overwrite) override;
    const std::string& fileName() const { return fileName_; }
    // The format the file's name asks for.
    const OutputFormat& format() const { return format_; }
    bool overwriteMode() const { return overwrite_; }

private:
    std::string fileName_;
    OutputFormat format_;
    bool overwrite_ = false;
};

// Components that can be created by class identifier. Each framework object
// has its own registry, so taking a component away affects nothing else.
class ComponentRegistry {
public:
    using Factory = std::function<std::shared_ptr<Filter>()>;

    // With the Wave Mux and the file writer in it.
    ComponentRegistry();

    void add(std::string_view classId, Factory factory);
    void remove(std::string_view classId);
    // kNotRegistered when nothing has that identifier.
    MediaResult create(std::string_view classId, std::shared_ptr<Filter>& filter) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Factory> factories_;
};

} // namespace kestrine
