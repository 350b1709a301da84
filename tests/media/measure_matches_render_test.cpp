// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"

#include "media/output_file.h"
#include "media/result_text.h"
#include "media/source_renderer.h"
#include "tests/support/run_tool.h"

#include <fstream>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

struct LengthCase {
    MediaFormat format;
    bool damaged; // bytes in the middle of the file overwritten
};

void PrintTo(const LengthCase& tested, std::ostream* out)
{
    *out << testmedia::nameOf(tested.format) << (tested.damaged ? ", damaged" : "");
}

std::string nameOf(const ::testing::TestParamInfo<LengthCase>& info)
{
    return testmedia::nameOf(info.param.format) + (info.param.damaged ? "Damaged" : "Whole");
}

// Overwrites a run of bytes halfway into the file, where the sound is.
bool damageMiddle(const std::string& path)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 4096)
        return false;
    file.seekp(size / 2);
    const std::string junk(512, '\x5a');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    return static_cast<bool>(file);
}

// Measures the file and renders it at its own rate, so that no resampler
// stands between the two counts: the frames taken from the file before any
// padding are exactly the frames measured. A file that cannot be measured
// must not render either.
void expectMeasureMatchesRender(const std::string& path, int sampleRate)
{
    OutputFormat format;
    format.sampleRate = sampleRate;
    MediaTime length = 0;
    const MediaResult measuredResult = measureDuration(path, length);
    const std::int64_t measured = frameAt(length, format.sampleRate);

    // Placed as a join places it, in a range a second longer than its
    // length: what the file does not fill is padding.
    PlannedSource source;
    source.path = path;
    source.mediaStop = length;
    source.endFrame = measured + format.sampleRate;
    std::unique_ptr<OutputFile> output;
    ASSERT_EQ(OutputFile::create(path + ".out.wav", format, source.endFrame, output), result::kOk);
    RenderBuffers buffers;
    std::int64_t fromFile = -1;
    const MediaResult rendered =
        renderSource(source, format, *output, {}, buffers, [](std::int64_t) {}, &fromFile);
    if (failed(measuredResult)) {
        EXPECT_TRUE(failed(rendered)) << describeResult(measuredResult);
        return;
    }
    ASSERT_EQ(rendered, result::kOk) << describeResult(rendered);
    EXPECT_GT(measured, 0);
    EXPECT_EQ(fromFile, measured);
}

class MeasureMatchesRender : public MediaFixture, public ::testing::WithParamInterface<LengthCase> {};

// The length a file is measured at is exactly the number of frames the render
// takes from it before padding: otherwise a join's timeline and its sound part.
TEST_P(MeasureMatchesRender, MeasuredFramesAreTheFramesRendered)
{
    const LengthCase tested = GetParam();
    testmedia::ToneSpec tone;
    tone.seconds = 1.5;
    if (tested.format == MediaFormat::Opus)
        tone.sampleRate = 48000; // the only rate Opus encodes
    const std::string path = makeTone("tone", tested.format, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_FALSE(path.empty());
    if (tested.damaged) {
        ASSERT_TRUE(damageMiddle(path));
    }

    expectMeasureMatchesRender(path, tone.sampleRate);
}

// A file cut from a longer one without decoding it (ffmpeg -c copy -t ...)
// keeps its frames whole, and its container may say the last one plays
// longer than a frame: the decoder gives a frame, never more. Cut at
// lengths whose rounding to the container's milliseconds goes either way.
TEST_F(MediaFixture, AFileCutWithoutDecodingMeasuresTheSoundItsFramesHold)
{
    testmedia::ToneSpec tone;
    tone.seconds = 12;
    const std::string whole = makeTone("whole", MediaFormat::M4a, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_FALSE(whole.empty());
    for (const char* seconds : {"10", "5", "7.3", "9.5"}) {
        SCOPED_TRACE(seconds);
        const std::string cut = pathOf(std::string("cut-") + seconds + ".m4a");
        ASSERT_EQ(runTool(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", QString::fromStdString(whole), "-c",
                                                     "copy", "-t", seconds, QString::fromStdString(cut)})
                      .exitCode,
                  0);
        expectMeasureMatchesRender(cut, tone.sampleRate);
    }
}

std::vector<LengthCase> everyFormatWholeAndDamaged()
{
    std::vector<LengthCase> cases;
    for (const MediaFormat format :
         {MediaFormat::WavS16, MediaFormat::WavU8, MediaFormat::WavS24, MediaFormat::WavS32,
          MediaFormat::WavFloat, MediaFormat::Mp3, MediaFormat::Ogg, MediaFormat::M4a,
          MediaFormat::Flac, MediaFormat::AiffS16, MediaFormat::Opus, MediaFormat::Mp4WithVideo,
          MediaFormat::MkvWithVideo})
        for (const bool damaged : {false, true})
            cases.push_back({format, damaged});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, MeasureMatchesRender, ::testing::ValuesIn(everyFormatWholeAndDamaged()),
                         nameOf);

} // namespace
} // namespace kestrine::testing
