// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/output_settings_dialog.h"

#include "media/render_plan.h"
#include "output/compressor_lists.h"
#include "output/format_settings.h"
#include "output/framework/output_formats.h"
#include "output/framework/path_bytes.h"
#include "platform/settings_store.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/dialog_units.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QPushButton>

#include <algorithm>
#include <cmath>
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

// The Format group and its rows; a row added later takes the next id.
constexpr int kFormatGroupId = 1060;
constexpr int kSampleRateId = 1061;
constexpr int kChannelsId = 1062;
constexpr int kBitsId = 1063;
constexpr int kBitRateId = 1064;
constexpr int kQualityId = 1065;
constexpr int kFormatSummaryId = 1066;
constexpr int kLoudnessId = 1067;
constexpr int kLoudnessTargetId = 1068;
// Common targets: streaming services, podcasts, ReplayGain's reference,
// broadcast (EBU R128) and its US cousin (ATSC A/85).
constexpr int kOfferedTargets[] = {-14, -16, -18, -20, -23, -24};

// The values the choices offer, where the output's format can hold them:
// the rates recorders and players use, and the usual bit rates.
constexpr int kOfferedRates[] = {8000,  11025, 16000, 22050, 24000,  32000,
                                 44100, 48000, 88200, 96000, 176400, 192000};
constexpr int kOfferedBitRates[] = {32, 48, 64, 96, 128, 160, 192, 224, 256, 320};
constexpr int kOfferedBits[] = {16, 24};
constexpr int kBestQuality = 0;
constexpr int kSmallestQuality = 9;

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

QString sameAsTheSources()
{
    return QStringLiteral("Same as the sources");
}

QString rateText(int rate)
{
    return QLocale(QLocale::English).toString(rate) + QStringLiteral(" Hz");
}

QString notUsedBy(Encoding encoding)
{
    return QStringLiteral("Not used by %1").arg(QString::fromStdString(encodingName(encoding)));
}

// The engine is asked whether the format holds a value, so that the dialog
// offers exactly what a join accepts.
bool holds(Encoding encoding, const AudioFormatRequest& request)
{
    return formatRequestProblem(request, encoding).empty();
}

// What the format writes when the user leaves a choice to it.
OutputFormat formatDefaults(Encoding encoding)
{
    return chooseOutputFormat(encoding, {}, {});
}

// Puts value among the options in ascending order, unless one has it.
void insertOption(std::vector<FormatOption>& options, std::size_t firstValue, FormatOption option)
{
    const auto values = options.begin() + static_cast<std::ptrdiff_t>(firstValue);
    if (std::any_of(values, options.end(), [&](const FormatOption& o) { return o.value == option.value; }))
        return;
    const auto at = std::find_if(values, options.end(), [&](const FormatOption& o) { return o.value > option.value; });
    options.insert(at, std::move(option));
}

// Shows the option that stores value, or the first when none does.
void selectValue(QComboBox* box, int value)
{
    const int index = box->findData(value);
    box->setCurrentIndex(index >= 0 ? index : 0);
}

void fill(QComboBox* box, const FormatOffer& offer, int value)
{
    const QSignalBlocker quiet(box);
    box->clear();
    for (const FormatOption& option : offer.options)
        box->addItem(option.text, option.value);
    box->setEnabled(!offer.options.empty());
    box->setPlaceholderText(offer.unusedText);
    box->setToolTip(offer.unusedText);
    if (offer.options.empty())
        box->setCurrentIndex(-1);
    else
        selectValue(box, value);
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

    auto* formatGroup = new QGroupBox(QStringLiteral("Format"), this);
    formatGroup->setObjectName(controlName(kFormatGroupId));
    formatRows_ = new QFormLayout(formatGroup);
    formatRows_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    sampleRateBox_ = addFormatChoice(kSampleRateId, QStringLiteral("Sample &rate:"));
    channelsBox_ = addFormatChoice(kChannelsId, QStringLiteral("C&hannels:"));
    bitsBox_ = addFormatChoice(kBitsId, QStringLiteral("Bi&ts:"));
    bitRateBox_ = addFormatChoice(kBitRateId, QStringLiteral("Bit r&ate:"));
    qualityBox_ = addFormatChoice(kQualityId, QStringLiteral("MP3 &quality:"));
    loudnessBox_ = addFormatChoice(kLoudnessId, QStringLiteral("&Loudness:"));
    loudnessTargetBox_ = addFormatChoice(kLoudnessTargetId, QStringLiteral("Tar&get:"));
    formatSummary_ = new QLabel(formatGroup);
    formatSummary_->setObjectName(controlName(kFormatSummaryId));
    formatSummary_->setWordWrap(true);
    formatSummary_->setTextFormat(Qt::PlainText);
    formatRows_->addRow(formatSummary_);
    wanted_ = settings.format;

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* okButton = buttons->button(QDialogButtonBox::Ok);
    okButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &OutputSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OutputSettingsDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(pathEdit_, 1, 0);
    layout->addWidget(browseButton, 1, 1);
    layout->addWidget(formatGroup, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setColumnStretch(0, 1);

    updateFormatChoices();
    // The name chooses the format, whether typed or given by Browse.
    connect(pathEdit_, &QLineEdit::textChanged, this, &OutputSettingsDialog::updateFormatChoices);

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

QComboBox* OutputSettingsDialog::addFormatChoice(int id, const QString& label)
{
    auto* box = new QComboBox(formatRows_->parentWidget());
    box->setObjectName(controlName(id));
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* caption = new QLabel(label, formatRows_->parentWidget());
    caption->setBuddy(box);
    // Above the summary, which is always the group's last row.
    formatRows_->insertRow(formatSummary_ ? formatRows_->rowCount() - 1 : formatRows_->rowCount(), caption, box);
    // A choice the user makes is kept whole; the boxes then show it as the
    // output's format can hold it.
    connect(box, &QComboBox::activated, this, [this, box] {
        const int value = box->currentData().toInt();
        if (box == sampleRateBox_)
            wanted_.sampleRate = value;
        else if (box == channelsBox_)
            wanted_.channels = value;
        else if (box == bitsBox_)
            wanted_.bitsPerSample = value;
        else if (box == bitRateBox_)
            wanted_.bitRateKbps = value;
        else if (box == qualityBox_)
            wanted_.vbrQuality = value;
        else if (box == loudnessBox_)
            wanted_.loudness.mode = static_cast<LoudnessMode>(value);
        else if (box == loudnessTargetBox_)
            wanted_.loudness.target = value;
        updateFormatChoices();
    });
    return box;
}

Encoding OutputSettingsDialog::encoding() const
{
    return outputFormatFor(pathToBytes(outputPath())).encoding;
}

AudioFormatRequest OutputSettingsDialog::formatRequest() const
{
    return fitFormatRequest(wanted_, encoding());
}

void OutputSettingsDialog::updateFormatChoices()
{
    const Encoding current = encoding();
    const AudioFormatRequest shown = formatRequest();
    fill(sampleRateBox_, sampleRateOffer(current, shown.sampleRate), shown.sampleRate);
    fill(channelsBox_, channelsOffer(current), shown.channels);
    fill(bitsBox_, bitsOffer(current), shown.bitsPerSample);
    fill(bitRateBox_, bitRateOffer(current, shown.bitRateKbps), shown.bitRateKbps);
    fill(qualityBox_, qualityOffer(current, shown), shown.vbrQuality);
    fill(loudnessBox_, loudnessOffer(current), static_cast<int>(shown.loudness.mode));
    fill(loudnessTargetBox_, loudnessTargetOffer(shown.loudness), static_cast<int>(std::lround(shown.loudness.target)));
    showFormatSummary();
}

QString OutputSettingsDialog::formatSummaryText() const
{
    const std::string path = pathToBytes(outputPath());
    if (isUnwritableMediaName(path))
        return QString::fromStdString(unwritableFormatText(path));
    if (settings_.sources.empty())
        return QStringLiteral("Add files to see what a join writes.");
    return QStringLiteral("Writes %1.").arg(
        QString::fromStdString(formatSummary(chooseOutputFormat(encoding(), formatRequest(), settings_.sources))));
}

void OutputSettingsDialog::showFormatSummary()
{
    formatSummary_->setText(formatSummaryText());
}

FormatOffer OutputSettingsDialog::sampleRateOffer(Encoding encoding, int wanted)
{
    FormatOffer offer;
    offer.options.push_back({sameAsTheSources(), 0});
    for (const int rate : kOfferedRates)
        if (holds(encoding, {.sampleRate = rate}))
            offer.options.push_back({rateText(rate), rate});
    if (wanted > 0 && holds(encoding, {.sampleRate = wanted}))
        insertOption(offer.options, 1, {rateText(wanted), wanted});
    // A format of one rate leaves nothing to choose.
    if (offer.options.size() == 2) {
        offer.unusedText = QStringLiteral("Always %1 in %2")
                               .arg(offer.options[1].text, QString::fromStdString(encodingName(encoding)));
        offer.options.clear();
    }
    return offer;
}

FormatOffer OutputSettingsDialog::channelsOffer(Encoding)
{
    return {{{sameAsTheSources(), 0}, {QStringLiteral("Mono"), 1}, {QStringLiteral("Stereo"), 2}}, {}};
}

FormatOffer OutputSettingsDialog::bitsOffer(Encoding encoding)
{
    FormatOffer offer;
    for (const int bits : kOfferedBits)
        if (holds(encoding, {.bitsPerSample = bits}))
            offer.options.push_back({QStringLiteral("%1-bit").arg(bits), bits});
    if (offer.options.empty()) {
        offer.unusedText = notUsedBy(encoding);
        return offer;
    }
    offer.options.insert(offer.options.begin(), {sameAsTheSources(), 0});
    return offer;
}

FormatOffer OutputSettingsDialog::bitRateOffer(Encoding encoding, int wanted)
{
    FormatOffer offer;
    const auto kbps = [](int value) { return QStringLiteral("%1 kbit/s").arg(value); };
    for (const int rate : kOfferedBitRates)
        if (holds(encoding, {.bitRateKbps = rate}))
            offer.options.push_back({kbps(rate), rate});
    if (offer.options.empty()) {
        offer.unusedText = notUsedBy(encoding);
        return offer;
    }
    if (wanted > 0 && holds(encoding, {.bitRateKbps = wanted}))
        insertOption(offer.options, 0, {kbps(wanted), wanted});
    // Without a bit rate of the user's, the format's own applies: a target
    // it names, or, for MP3, a variable rate that the quality sets.
    const int own = formatDefaults(encoding).bitRateKbps;
    offer.options.insert(offer.options.begin(),
                         {own > 0 ? QStringLiteral("Default: %1").arg(kbps(own))
                                  : QStringLiteral("Default: variable, set by the quality"),
                          0});
    return offer;
}

FormatOffer OutputSettingsDialog::loudnessOffer(Encoding encoding)
{
    FormatOffer offer;
    offer.options = {{QStringLiteral("Leave as it is"), static_cast<int>(LoudnessMode::Leave)},
                     {QStringLiteral("Match each file"), static_cast<int>(LoudnessMode::Track)},
                     {QStringLiteral("Match the whole join"), static_cast<int>(LoudnessMode::Album)}};
    LoudnessRequest tags;
    tags.mode = LoudnessMode::Tags;
    if (loudnessRequestProblem(tags, encoding).empty())
        offer.options.push_back({QStringLiteral("Tags only"), static_cast<int>(LoudnessMode::Tags)});
    return offer;
}

FormatOffer OutputSettingsDialog::loudnessTargetOffer(const LoudnessRequest& request)
{
    FormatOffer offer;
    if (request.mode == LoudnessMode::Leave) {
        offer.unusedText = QStringLiteral("Not used while the loudness is left as it is");
        return offer;
    }
    const int wanted = static_cast<int>(std::lround(request.target));
    bool listed = false;
    for (const int target : kOfferedTargets) {
        offer.options.push_back({QStringLiteral("%1 LUFS").arg(target), target});
        listed = listed || target == wanted;
    }
    if (!listed)
        offer.options.push_back({QStringLiteral("%1 LUFS").arg(wanted), wanted});
    return offer;
}

FormatOffer OutputSettingsDialog::qualityOffer(Encoding encoding, const AudioFormatRequest& request)
{
    FormatOffer offer;
    if (!holds(encoding, {.vbrQuality = kBestQuality})) {
        offer.unusedText = notUsedBy(encoding);
        return offer;
    }
    if (request.bitRateKbps > 0) {
        offer.unusedText = QStringLiteral("Not used at a constant bit rate");
        return offer;
    }
    const auto words = [](int quality) {
        if (quality == kBestQuality)
            return QStringLiteral("%1 (best, largest)").arg(quality);
        if (quality == kSmallestQuality)
            return QStringLiteral("%1 (smallest)").arg(quality);
        return QString::number(quality);
    };
    offer.options.push_back({QStringLiteral("Default: %1").arg(words(formatDefaults(encoding).vbrQuality)), -1});
    for (int quality = kBestQuality; quality <= kSmallestQuality; ++quality)
        offer.options.push_back({words(quality), quality});
    return offer;
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
    writeFormatRequest(store_, formatRequest());
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
