// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_components.h"

#include "media/framework/ffmpeg_timeline.h"
#include "output/framework/output_formats.h"

#include <algorithm>
#include <cctype>

namespace kestrine {

namespace {

// Class identifiers are GUIDs, whose hex digits may come in either case.
std::string normalizedClassId(std::string_view classId)
{
    std::string key(classId);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

} // namespace

void FfmpegPin::link(const std::shared_ptr<FfmpegPin>& output, const std::shared_ptr<FfmpegPin>& input)
{
    output->peer_ = input;
    input->peer_ = output;
}

void FfmpegPin::disconnect()
{
    if (auto other = peer_.lock())
        other->peer_.reset();
    peer_.reset();
}

FfmpegFilter::~FfmpegFilter()
{
    for (const auto& pin : pins_) {
        pin->disconnect();
        pin->owner_ = nullptr;
    }
}

MediaResult FfmpegFilter::enumPins(std::vector<std::shared_ptr<Pin>>& pins) const
{
    pins.assign(pins_.begin(), pins_.end());
    return result::kOk;
}

MediaResult FfmpegFilter::setFileName(const std::string&)
{
    return result::kNoInterface;
}

MediaResult FfmpegFilter::setOverwriteMode(bool)
{
    return result::kNoInterface;
}

MediaResult FfmpegFilter::setFullInterleaving()
{
    return result::kNoInterface;
}

MediaResult FfmpegFilter::setMarkers(const MarkerOptions&)
{
    return result::kNoInterface;
}

std::shared_ptr<FfmpegPin> FfmpegFilter::firstPin(PinDirection direction) const
{
    for (const auto& pin : pins_) {
        if (pin->direction() == direction)
            return pin;
    }
    return nullptr;
}

void FfmpegFilter::disconnectAll()
{
    for (const auto& pin : pins_)
        pin->disconnect();
}

void FfmpegFilter::addPin(PinDirection direction, StreamKind kind)
{
    pins_.push_back(std::make_shared<FfmpegPin>(this, direction, kind));
}

FfmpegGroupSource::FfmpegGroupSource(std::shared_ptr<FfmpegTimelineGroup> group)
    : FfmpegFilter(FilterKind::GroupSource), group_(std::move(group))
{
    addPin(PinDirection::Output,
           group_->majorType() == MajorType::Video ? StreamKind::Video : StreamKind::PcmAudio);
}

FfmpegWaveMux::FfmpegWaveMux() : FfmpegFilter(FilterKind::WaveMux)
{
    addPin(PinDirection::Input, StreamKind::PcmAudio);
    addPin(PinDirection::Output, StreamKind::MuxedFile);
}

MediaResult FfmpegWaveMux::setFullInterleaving()
{
    // The output has a single stream, so every layout is fully interleaved;
    // the option is kept so that a caller asking for it hears yes.
    fullInterleaving_ = true;
    return result::kOk;
}

MediaResult FfmpegWaveMux::setMarkers(const MarkerOptions& markers)
{
    for (const std::string* path : {&markers.cueSheet, &markers.labelList}) {
        if (path->find('\0') != std::string::npos)
            return result::kInvalidArgument;
    }
    markers_ = markers;
    return result::kOk;
}

MediaResult FfmpegWaveMux::setTags(const TagOptions& tags)
{
    if (tags.coverFile.find('\0') != std::string::npos)
        return result::kInvalidArgument;
    tags_ = tags;
    return result::kOk;
}

FfmpegFileWriter::FfmpegFileWriter() : FfmpegFilter(FilterKind::FileWriter)
{
    addPin(PinDirection::Input, StreamKind::MuxedFile);
}

MediaResult FfmpegFileWriter::setFileName(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return result::kInvalidArgument;
    // WAV data under a name that says otherwise would mislead every reader.
    if (isUnwritableMediaName(path))
        return result::kUnwritableFormat;
    fileName_ = path;
    // The name chooses the file's format, once, as the file is named.
    format_ = outputFormatFor(path);
    return result::kOk;
}

MediaResult FfmpegFileWriter::setOverwriteMode(bool overwrite)
{
    overwrite_ = overwrite;
    return result::kOk;
}

ComponentRegistry::ComponentRegistry()
{
    add(kWaveMuxClassId, [] { return std::make_shared<FfmpegWaveMux>(); });
    add(kFileWriterClassId, [] { return std::make_shared<FfmpegFileWriter>(); });
}

void ComponentRegistry::add(std::string_view classId, Factory factory)
{
    const std::lock_guard lock(mutex_);
    factories_[normalizedClassId(classId)] = std::move(factory);
}

void ComponentRegistry::remove(std::string_view classId)
{
    const std::lock_guard lock(mutex_);
    factories_.erase(normalizedClassId(classId));
}

MediaResult ComponentRegistry::create(std::string_view classId, std::shared_ptr<Filter>& filter) const
{
    Factory factory;
    {
        const std::lock_guard lock(mutex_);
        const auto found = factories_.find(normalizedClassId(classId));
        if (found == factories_.end())
            return result::kNotRegistered;
        factory = found->second;
    }
    auto made = factory();
    if (!made)
        return result::kOutOfMemory;
    filter = std::move(made);
    return result::kOk;
}

} // namespace kestrine
