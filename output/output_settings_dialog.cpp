// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/output_settings_dialog.h"

#include "output/compressor_lists.h"
#include "output/framework/output_formats.h"
#include "output/framework/path_bytes.h"
#include "platform/settings_store.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/dialog_units.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

namespace kestrine {

namespace {

const QString kSettingsSection = QStringLiteral("Settings");

constexpr int kPathEditId = 1022;
constexpr int kPathLabelId = 1023;
constexpr int kBrowseButtonId = 1024;
constexpr int kVideoCompressorsId = 1001;
constexpr int kAudioCompressorsId = 1002;
// Format controls that stay hidden: the dialog only carries their values.
constexpr std::array<int, 9> kHiddenFormatControlIds{1025, 1027, 1028, 1051, 1052,
                                                     1053, 1055, 1056, 1057};

// The dialog's size in dialog units.
constexpr int kWidthUnits = 249;
constexpr int kHeightUnits = 63;

// The output's format follows its extension; WAV stays the first choice.
struct OutputFileType {
    const char* filter;
    const char* extension;
};
constexpr std::array<OutputFileType, 8> kOutputFileTypes{{
    {"WAV file (*.wav)", ".wav"},
    {"FLAC file (*.flac)", ".flac"},
    {"MP3 file (*.mp3)", ".mp3"},
    {"Opus file (*.opus)", ".opus"},
    {"M4A file (*.m4a)", ".m4a"},
    {"M4B audiobook (*.m4b)", ".m4b"},
    {"Ogg Opus file (*.ogg)", ".ogg"},
    {"AIFF file (*.aif *.aiff)", ".aiff"},
}};

qsizetype lastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

} // namespace

OutputSettingsDialog::OutputSettingsDialog(const OutputSettings& settings, SettingsStore& store,
                                           UserDialogs& dialogs, const EncoderCatalog& catalog,
                                           QWidget* parent)
    : QDialog(parent), settings_(settings), openedWithPath_(settings.outputPath), store_(store),
      dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("Set output file name"));

    auto* label = new QLabel(QStringLiteral("Output file:"), this);
    label->setObjectName(controlName(kPathLabelId));
    pathEdit_ = new QLineEdit(settings.outputPath, this);
    pathEdit_->setObjectName(controlName(kPathEditId));
    label->setBuddy(pathEdit_);
    auto* browseButton = new QPushButton(QStringLiteral("Browse"), this);
    browseButton->setObjectName(controlName(kBrowseButtonId));
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &OutputSettingsDialog::browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* okButton = buttons->button(QDialogButtonBox::Ok);
    okButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &OutputSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OutputSettingsDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(pathEdit_, 1, 0);
    layout->addWidget(browseButton, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setColumnStretch(0, 1);

    // The compressor lists are rebuilt every time, so that an encoder installed
    // meanwhile shows up; they stay on "no compressor".
    QStringList entries;
    fillVideoCompressors(entries, catalog, dialogs_);
    videoCompressors_ = new QComboBox(this);
    videoCompressors_->setObjectName(controlName(kVideoCompressorsId));
    videoCompressors_->addItems(entries);
    videoCompressors_->setCurrentIndex(0);
    videoCompressors_->hide();
    entries.clear();
    fillAudioCompressors(entries, catalog, dialogs_);
    audioCompressors_ = new QComboBox(this);
    audioCompressors_->setObjectName(controlName(kAudioCompressorsId));
    audioCompressors_->addItems(entries);
    audioCompressors_->setCurrentIndex(0);
    audioCompressors_->hide();
    for (const int id : kHiddenFormatControlIds) {
        auto* placeholder = new QWidget(this);
        placeholder->setObjectName(controlName(id));
        placeholder->hide();
    }

    resize(dialogUnitsToPixels({0, 0, kWidthUnits, kHeightUnits}, font()).size().expandedTo(minimumSizeHint()));
}

QString OutputSettingsDialog::outputPath() const
{
    return pathEdit_->text();
}

QString OutputSettingsDialog::browseFolderOf(const QString& path)
{
    const qsizetype separator = lastSeparator(path);
    if (separator < 0)
        return QStringLiteral(".");
    // A file right under the root lives in the root, not in "".
    if (separator == 0)
        return path.left(1);
    return path.left(separator);
}

QStringList OutputSettingsDialog::outputFileFilters()
{
    QStringList filters;
    for (const OutputFileType& type : kOutputFileTypes)
        filters.append(QString::fromLatin1(type.filter));
    return filters;
}

QString OutputSettingsDialog::extensionOfFilter(int filter)
{
    const bool known = filter >= 0 && filter < static_cast<int>(kOutputFileTypes.size());
    return QString::fromLatin1(kOutputFileTypes[known ? static_cast<std::size_t>(filter) : 0].extension);
}

QString OutputSettingsDialog::withExtension(const QString& path, const QString& extension)
{
    const qsizetype nameStart = lastSeparator(path) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= nameStart ? path.left(dot) : path;
    return stem + extension;
}

int OutputSettingsDialog::storedFrameSide(int side)
{
    return std::max(side / 8 * 8, 16);
}

double OutputSettingsDialog::roundedFrameRate(double rate)
{
    return QString::number(rate, 'f', 3).toDouble();
}

double OutputSettingsDialog::frameRateForIndex(int index, double ownRate)
{
    switch (index) {
    case 1: return 24.0;
    case 2: return 25.0;
    case 3: return 29.97;
    case 4: return 30.0;
    case 5: return ownRate;
    default: return 23.976;
    }
}

void OutputSettingsDialog::accept()
{
    const double rate = roundedFrameRate(settings_.frameRate);
    if (rate < kSmallestFrameRate) {
        dialogs_.inform(QStringLiteral("The frame rate is too small!"));
        return;
    }
    // A name whose format cannot be written would only be refused at Join.
    if (const std::string path = pathToBytes(outputPath()); isUnwritableMediaName(path)) {
        dialogs_.inform(QString::fromStdString(unwritableFormatText(path)));
        return;
    }
    const int index =
        settings_.frameRateIndex >= 0 && settings_.frameRateIndex <= 5 ? settings_.frameRateIndex : -1;
    store_.writeInt(kSettingsSection, QStringLiteral("OutputFrameRateIndex"), index);
    store_.writeText(kSettingsSection, QStringLiteral("OutputFrameRate"),
                     QString::number(frameRateForIndex(index, rate), 'f', 6));
    store_.writeText(kSettingsSection, QStringLiteral("OutputName"), outputPath());
    store_.writeInt(kSettingsSection, QStringLiteral("OutputWidth"),
                    storedFrameSide(settings_.outputWidth));
    store_.writeInt(kSettingsSection, QStringLiteral("OutputHigh"),
                    storedFrameSide(settings_.outputHeight));
    // No compressor: the lists never leave their first entry.
    store_.writeInt(QStringLiteral("DexVideoCompress"), QStringLiteral("CompressorNumber"), -1);
    store_.writeInt(QStringLiteral("DexAudioCompress"), QStringLiteral("CompressorNumber"), -1);
    QDialog::accept();
}

void OutputSettingsDialog::browse()
{
    SaveFileRequest request;
    request.title = QStringLiteral("Select Output File Name");
    request.filters = outputFileFilters();
    request.initialName = QStringLiteral("*.*");
    request.initialFolder = browseFolderOf(openedWithPath_);
    // The name gets the chosen type's ending after the choice, and the join
    // asks before replacing whatever file that names: a question here would
    // be the wrong file's, and a second one.
    request.askToReplace = false;
    const std::optional<SaveFileChoice> chosen = dialogs_.chooseFileToSave(request);
    if (!chosen)
        return;
    pathEdit_->setText(withExtension(chosen->path, extensionOfFilter(chosen->filter)));
}

} // namespace kestrine
