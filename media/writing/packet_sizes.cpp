// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/packet_sizes.h"

#include <algorithm>

namespace kestrine {

PacketSizes::PacketSizes(std::size_t blockSizes) : blockSizes_(std::max<std::size_t>(blockSizes, 1))
{
}

void PacketSizes::add(std::uint16_t size)
{
    if (count_ == 0)
        first_ = size;
    sameSize_ = sameSize_ && size == first_;
    ++count_;
    totalBytes_ += size;
    recent_.push_back(size);
    if (recent_.size() >= blockSizes_ && !spillFailed_)
        spill();
}

void PacketSizes::spill()
{
    if (!spillFile_)
        spillFile_.reset(std::tmpfile());
    const bool written =
        spillFile_ && std::fwrite(recent_.data(), sizeof recent_[0], recent_.size(), spillFile_.get()) ==
                          recent_.size();
    if (!written) {
        // Part of the block may be in the file: it is read back no more.
        spillFailed_ = true;
        if (spillFile_ && spilled_ > 0) {
            std::vector<std::uint16_t> all(spilled_);
            if (std::fseek(spillFile_.get(), 0, SEEK_SET) == 0 &&
                std::fread(all.data(), sizeof all[0], all.size(), spillFile_.get()) == all.size()) {
                all.insert(all.end(), recent_.begin(), recent_.end());
                recent_ = std::move(all);
                spilled_ = 0;
            }
        }
        if (spilled_ == 0)
            spillFile_.reset();
        return;
    }
    spilled_ += recent_.size();
    recent_.clear();
}

bool PacketSizes::forEach(const std::function<bool(std::span<const std::uint16_t>)>& take) const
{
    if (spilled_ > 0) {
        if (spillFailed_ || std::fflush(spillFile_.get()) != 0 || std::fseek(spillFile_.get(), 0, SEEK_SET) != 0)
            return false;
        std::vector<std::uint16_t> run(std::min<std::uint64_t>(spilled_, 64 * 1024));
        for (std::uint64_t left = spilled_; left > 0;) {
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(left, run.size()));
            if (std::fread(run.data(), sizeof run[0], wanted, spillFile_.get()) != wanted)
                return false;
            if (!take({run.data(), wanted}))
                return false;
            left -= wanted;
        }
        // Appending goes on from the end, should anything be added later.
        std::fseek(spillFile_.get(), 0, SEEK_END);
    }
    return recent_.empty() || take(recent_);
}

} // namespace kestrine
