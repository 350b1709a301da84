// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include "output/output_settings_dialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

// The window refuses an output named for a media format Kestrine cannot
// write: Options keeps its dialog open, and Join starts nothing.
namespace kestrine::testing {
namespace {

QString refusalOf(const QString& extension)
{
    return QStringLiteral("Kestrine cannot write .%1 files: it writes WAV (.wav), FLAC (.flac), MP3 (.mp3), "
                          "M4A (.m4a), M4B (.m4b), Opus (.opus, .ogg) and AIFF (.aif, .aiff).")
        .arg(extension);
}

class OutputFormatRefusalTest : public MainDialogTest {
protected:
    QString nameInFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }
};

TEST_F(OutputFormatRefusalTest, OptionsRefusesTheNameAndKeepsTheOldOutput)
{
    const QString before = dialog().outputPath();
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        auto* options = qobject_cast<OutputSettingsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(options, nullptr);
        options->findChild<QLineEdit*>(QStringLiteral("control1022"))->setText(nameInFolder("mix.Wma"));
        options->accept();
        stayedOpen = options->isVisible();
        options->reject();
    });
    click(control::kOptions);

    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialogs.texts(), QStringList{refusalOf(QStringLiteral("wma"))});
    EXPECT_EQ(dialog().outputPath(), before);
}

TEST_F(OutputFormatRefusalTest, JoinRefusesAStoredNameBeforeAnyQuestionAndWritesNothing)
{
    // A name stored before, or by hand, never passed through Options.
    for (const char* name : {"joined.aac", "joined.MP4"}) {
        dialog_.reset();
        dialogs.messages.clear();
        const QString output = nameInFolder(QString::fromLatin1(name));
        settings.writeText("Settings", "OutputName", output);
        addNamed({"A", "B"});
        dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
        click(control::kJoin);

        EXPECT_EQ(dialogs.texts(), QStringList{refusalOf(QFileInfo(output).suffix().toLower()) +
                                               QStringLiteral(" Please choose another output file with Options.")})
            << name;
        EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), 0) << name;
        EXPECT_FALSE(dialog().joining()) << name;
        EXPECT_FALSE(QFileInfo::exists(output)) << name;
        EXPECT_FALSE(QFileInfo::exists(output + QStringLiteral(".part"))) << name;
    }
}

// Formats it writes pass Options in any case, as does a name that is no
// media format: that one is a WAV.
TEST_F(OutputFormatRefusalTest, OptionsTakesTheNamesOfFormatsItWrites)
{
    for (const char* name : {"mix.OGG", "mix.aif", "mix.AIFF", "mix.txt", "mix"}) {
        changeOutputThroughOptions(nameInFolder(QString::fromLatin1(name)));
        EXPECT_TRUE(dialogs.messages.isEmpty()) << name << ": " << dialogs.texts().join(' ').toStdString();
    }
}

} // namespace
} // namespace kestrine::testing
