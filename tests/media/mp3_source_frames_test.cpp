// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_source_frames.h"
#include "tests/media/mp3_sources.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

// Reading an MP3 file's frames and its LAME tag, as the copying join needs
// them, and telling every file whose frames cannot be copied exactly.
namespace kestrine::testing {
namespace {

struct TaggedCase {
    const char* name;
    Mp3SourceSpec spec;
    int samplesPerFrame;
};

void PrintTo(const TaggedCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class Mp3TaggedSource : public ::testing::TestWithParam<TaggedCase> {};

// The tag's counts hold against the frames themselves, and the length it
// gives is the stretch the file was made of.
TEST_P(Mp3TaggedSource, GivesDelayPaddingAndFrames)
{
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/source.mp3";
    const TaggedCase& tested = GetParam();
    constexpr std::int64_t kSamples = 30'000;
    const std::string made = writeMp3Chirp(path, tested.spec, 1000, 1000 + kSamples);
    ASSERT_TRUE(made.empty()) << made;

    Mp3SourceFrames source;
    ASSERT_EQ(readMp3SourceFrames(path, source), result::kOk);
    EXPECT_EQ(source.obstacle, Mp3CopyObstacle::None) << mp3CopyObstacleText(source.obstacle);
    EXPECT_EQ(source.sampleRate, tested.spec.sampleRate);
    EXPECT_EQ(source.channels, tested.spec.channels);
    EXPECT_EQ(source.samplesPerFrame, tested.samplesPerFrame);
    EXPECT_EQ(source.encoderDelay, 576);
    EXPECT_EQ(source.samples(), kSamples);
    ASSERT_FALSE(source.frames.empty());
    EXPECT_EQ(source.frames.front().mainData.begin, 0);
    // Frames follow one another without a gap, up to the file's end.
    const std::string bytes = testmedia::readBytes(path);
    for (std::size_t i = 1; i < source.frames.size(); ++i)
        ASSERT_EQ(source.frames[i].offset,
                  source.frames[i - 1].offset + static_cast<std::uint64_t>(source.frames[i - 1].header.frameBytes));
    EXPECT_EQ(source.frames.back().offset + static_cast<std::uint64_t>(source.frames.back().header.frameBytes),
              bytes.size());
    // LAME's reservoir is in use, and every frame reaches back only into
    // bytes the file holds.
    bool reachesBack = false;
    for (const Mp3Frame& frame : source.frames)
        reachesBack = reachesBack || frame.mainData.begin > 0;
    EXPECT_TRUE(reachesBack);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Mp3TaggedSource,
    ::testing::Values(TaggedCase{"Cbr44100Stereo", {44100, 2, 128, true}, 1152},
                      TaggedCase{"Vbr48000Mono", {48000, 1, 0, true}, 1152},
                      TaggedCase{"Cbr32000Stereo", {32000, 2, 96, true}, 1152},
                      TaggedCase{"Mpeg2At22050Stereo", {22050, 2, 64, true}, 576},
                      TaggedCase{"Mpeg25At11025Mono", {11025, 1, 32, true}, 576}),
    [](const auto& tested) { return std::string(tested.param.name); });

class Mp3SourceObstacles : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = folder_.path().toStdString() + "/source.mp3";
        const std::string made = writeMp3Chirp(path_, {}, 0, 44100);
        ASSERT_TRUE(made.empty()) << made;
        bytes_ = testmedia::readBytes(path_);
        ASSERT_FALSE(bytes_.empty());
        Mp3SourceFrames whole;
        scanned(bytes_, whole);
        ASSERT_EQ(whole.obstacle, Mp3CopyObstacle::None);
        frames_ = whole.frames;
    }

    static void scanned(const std::string& bytes, Mp3SourceFrames& source)
    {
        scanMp3Frames(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), source);
    }
    Mp3CopyObstacle obstacleOf(const std::string& bytes) const
    {
        Mp3SourceFrames source;
        scanned(bytes, source);
        return source.obstacle;
    }

    QTemporaryDir folder_;
    std::string path_;
    std::string bytes_;
    std::vector<Mp3Frame> frames_;
};

TEST_F(Mp3SourceObstacles, FileWithoutInfoFrameHasNoDelayToTrust)
{
    const std::string path = folder_.path().toStdString() + "/untagged.mp3";
    const std::string made = writeMp3Chirp(path, {44100, 2, 128, false}, 0, 44100);
    ASSERT_TRUE(made.empty()) << made;
    Mp3SourceFrames source;
    ASSERT_EQ(readMp3SourceFrames(path, source), result::kOk);
    EXPECT_EQ(source.obstacle, Mp3CopyObstacle::NoGaplessTag);
    EXPECT_FALSE(source.frames.empty()); // the frames themselves are fine
}

TEST_F(Mp3SourceObstacles, TagOfAnotherEncoderIsNotTrusted)
{
    std::string bytes = bytes_;
    const std::size_t name = bytes.find("Lavc");
    ASSERT_NE(name, std::string::npos);
    bytes.replace(name, 4, "Xenc");
    EXPECT_EQ(obstacleOf(bytes), Mp3CopyObstacle::NoGaplessTag);
}

// Every damage that would make a copied frame lie or choke a decoder.
TEST_F(Mp3SourceObstacles, DamagedFramesAreFound)
{
    const Mp3Frame& middle = frames_[frames_.size() / 2];
    struct Damage {
        const char* what;
        std::string bytes;
    };
    std::string lostSync = bytes_;
    lostSync[middle.offset] = 0x12;
    std::string cutShort = bytes_.substr(0, bytes_.size() - 100);
    std::string frameMissing = bytes_;
    frameMissing.erase(middle.offset, static_cast<std::size_t>(middle.header.frameBytes));
    std::string junkBetween = bytes_;
    junkBetween.insert(middle.offset, "junk");
    // main_data_begin pointing past the bytes the earlier frames hold
    std::string outOfReach = bytes_;
    std::size_t reaching = 0;
    for (std::size_t i = 1; i < frames_.size(); ++i)
        if (frames_[i].mainData.begin > 0 && frames_[i].mainData.begin < 300) {
            reaching = i;
            break;
        }
    ASSERT_NE(reaching, 0u);
    setMp3MainDataBegin(frames_[reaching].header,
                        reinterpret_cast<std::uint8_t*>(outOfReach.data()) + frames_[reaching].offset, 511);
    for (const Damage& damage : {Damage{"lost sync", lostSync}, Damage{"cut short", cutShort},
                                 Damage{"a frame missing", frameMissing}, Damage{"junk between frames", junkBetween},
                                 Damage{"main data out of reach", outOfReach}})
        EXPECT_EQ(obstacleOf(damage.bytes), Mp3CopyObstacle::Damaged) << damage.what;
}

TEST_F(Mp3SourceObstacles, TagsAroundTheFramesArePassedOver)
{
    std::string apeFooter = std::string("APETAGEX") + std::string("\xd0\x07\0\0", 4) + std::string("\x20\0\0\0", 4) +
                            std::string(4, '\0') + std::string(4, '\0') + std::string(8, '\0');
    const std::string withTags = bytes_ + apeFooter + "TAG" + std::string(125, ' ');
    Mp3SourceFrames source;
    scanned(withTags, source);
    EXPECT_EQ(source.obstacle, Mp3CopyObstacle::None);
    EXPECT_EQ(source.frames.size(), frames_.size());
}

TEST_F(Mp3SourceObstacles, OtherStreamsAreNotCopied)
{
    std::string freeFormat = "\xff\xfb\x00\x00" + std::string(400, '\0');
    std::string layer2 = "\xff\xfd\x90\x00" + std::string(400, '\0');
    EXPECT_EQ(obstacleOf(freeFormat), Mp3CopyObstacle::FreeFormat);
    EXPECT_EQ(obstacleOf(layer2), Mp3CopyObstacle::NotLayer3);
    EXPECT_EQ(obstacleOf("plain words, not sound"), Mp3CopyObstacle::NotLayer3);
    EXPECT_EQ(obstacleOf(""), Mp3CopyObstacle::NotLayer3);
}

TEST_F(Mp3SourceObstacles, FramesOfAnotherRateMidwayAreMixed)
{
    const std::string path = folder_.path().toStdString() + "/other.mp3";
    const std::string made = writeMp3Chirp(path, {48000, 2, 128, false}, 0, 4800);
    ASSERT_TRUE(made.empty()) << made;
    Mp3SourceFrames other;
    ASSERT_EQ(readMp3SourceFrames(path, other), result::kOk);
    ASSERT_FALSE(other.frames.empty());
    const std::string mixed = bytes_ + testmedia::readBytes(path).substr(other.frames.front().offset);
    EXPECT_EQ(obstacleOf(mixed), Mp3CopyObstacle::Mixed);
}

} // namespace
} // namespace kestrine::testing
