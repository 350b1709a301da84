// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace kestrine {

// The size of every packet of a file being written, in order, for an index
// that can only be written once the last packet is known. The newest sizes
// stay in memory; every full block goes to an unnamed temporary file, so the
// memory a join takes does not grow with its length. Should the temporary
// file fail, the sizes simply stay in memory: the join never fails for it.
class PacketSizes {
public:
    // About an hour and a half of AAC at 44,100 Hz in memory at most.
    static constexpr std::size_t kBlockSizes = 256 * 1024;

    explicit PacketSizes(std::size_t blockSizes = kBlockSizes);

    void add(std::uint16_t size);

    std::uint64_t count() const { return count_; }
    std::uint64_t totalBytes() const { return totalBytes_; }
    // The size every packet has, or 0 when they differ (or there are none).
    std::uint16_t commonSize() const { return sameSize_ ? first_ : 0; }

    // Hands every size to `take`, in order and in runs; false when the
    // temporary file could not be read back or `take` said to stop.
    bool forEach(const std::function<bool(std::span<const std::uint16_t>)>& take) const;

    // The sizes that went to the temporary file, for tests.
    std::uint64_t spilledForTesting() const { return spilled_; }

private:
    void spill();

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::size_t blockSizes_;
    std::vector<std::uint16_t> recent_;
    std::unique_ptr<std::FILE, FileCloser> spillFile_;
    bool spillFailed_ = false;
    std::uint64_t spilled_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t totalBytes_ = 0;
    std::uint16_t first_ = 0;
    bool sameSize_ = true;
};

} // namespace kestrine
