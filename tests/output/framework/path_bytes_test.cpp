// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/path_bytes.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

struct BytesCase {
    const char* name;
    std::string bytes;
    QString text;
};

void PrintTo(const BytesCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class PathBytesTest : public ::testing::TestWithParam<BytesCase> {};

TEST_P(PathBytesTest, NamesSurviveTheRoundTrip)
{
    EXPECT_EQ(pathFromBytes(GetParam().bytes), GetParam().text);
    EXPECT_EQ(pathToBytes(pathFromBytes(GetParam().bytes)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PathBytesTest,
    ::testing::Values(
        BytesCase{"Ascii", "/music/a.mp3", QStringLiteral("/music/a.mp3")},
        BytesCase{"Utf8", "/m\xc3\xbcsik/\xe5\xa3\xb0.mp3", QStringLiteral(u"/m\u00fcsik/\u58f0.mp3")},
        BytesCase{"FourByteUtf8", "\xf0\x9f\x8e\xb5.wav", QStringLiteral(u"\U0001F3B5.wav")},
        BytesCase{"Latin1Byte", "caf\xe9.wav", QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral(".wav")},
        BytesCase{"TruncatedSequence", "a\xc3", QStringLiteral("a") + QChar(0xDCC3)},
        BytesCase{"OverlongSlash", "\xc0\xaf", QString(QChar(0xDCC0)) + QChar(0xDCAF)},
        BytesCase{"EncodedSurrogate", "\xed\xb3\xa9",
                  QString(QChar(0xDCED)) + QChar(0xDCB3) + QChar(0xDCA9)},
        BytesCase{"Empty", "", QString()}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(PathBytes, OrdinaryTextBecomesUtf8)
{
    EXPECT_EQ(pathToBytes(QStringLiteral(u"\u00e9t\u00e9.ogg")), "\xc3\xa9t\xc3\xa9.ogg");
}

} // namespace
} // namespace kestrine::testing
