// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/format_choice.h"

#include <QDialog>
#include <QString>

#include <vector>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrine {

class EncoderCatalog;
class SettingsStore;
class UserDialogs;

// The output values the main dialog keeps and hands to the dialog below.
struct OutputSettings {
    QString outputPath;
    int outputWidth = 352;
    int outputHeight = 240;
    double frameRate = 23.976;
    int frameRateIndex = 0;
    int useVideoCompressor = 0;
    int useAudioCompressor = 0;
    int resizeMode = 2;
    // The format asked for, as stored, and the listed files' own formats,
    // from which "Same as the sources" takes its values.
    AudioFormatRequest format;
    std::vector<SourceFormat> sources;
};

// One entry of a Format choice: its words and the value it stores.
struct FormatOption {
    QString text;
    int value = 0;
    friend bool operator==(const FormatOption&, const FormatOption&) = default;
};

// What one Format choice offers for an output format: its entries, or, when
// the format leaves nothing to choose, none and the reason in their place.
struct FormatOffer {
    std::vector<FormatOption> options;
    QString unusedText;
};

// Lets the user choose the output file and its sound format. OK stores the
// path and the format together with the video values it was given, tidied;
// Cancel stores nothing.
class OutputSettingsDialog : public QDialog {
    Q_OBJECT

public:
    OutputSettingsDialog(const OutputSettings& settings, SettingsStore& store, UserDialogs& dialogs,
                         const EncoderCatalog& catalog, QWidget* parent = nullptr);

    // The path in the edit field.
    QString outputPath() const;
    // The format as the choices show it, fitted to the output's format.
    AudioFormatRequest formatRequest() const;
    // What a join into the path writes from the listed files, in words.
    QString formatSummaryText() const;

    // What each Format choice offers for an encoding, the request's value
    // among them even where it is not one of the usual ones.
    static FormatOffer sampleRateOffer(Encoding encoding, int wanted);
    static FormatOffer channelsOffer(Encoding encoding);
    static FormatOffer bitsOffer(Encoding encoding);
    static FormatOffer bitRateOffer(Encoding encoding, int wanted);
    static FormatOffer qualityOffer(Encoding encoding, const AudioFormatRequest& request);
    // The loudness modes by their LoudnessMode value; tags only where the
    // format holds them. The targets in whole LUFS, for a mode that has one.
    static FormatOffer loudnessOffer(Encoding encoding);
    static FormatOffer loudnessTargetOffer(const LoudnessRequest& request);

    // The folder the save dialog starts in for a path: everything before its
    // last separator ('/' or '\'), "." when it has none.
    static QString browseFolderOf(const QString& path);
    // The file types Browse offers, WAV first, in the save dialog's
    // "Description (patterns)" form, and the extension each gives a name.
    static QStringList outputFileFilters();
    static QString extensionOfFilter(int filter);
    // The path with the extension of its file name replaced by extension
    // (".wav"); a dot in a folder name is left alone.
    static QString withExtension(const QString& path, const QString& extension);
    // A frame side as stored: down to a multiple of 8, at least 16.
    static int storedFrameSide(int side);
    // The rate to three decimals, as the frame-rate check sees it.
    static double roundedFrameRate(double rate);
    // The rate stored for a frame-rate choice; choice 5 is the user's own rate.
    static double frameRateForIndex(int index, double ownRate);

    static constexpr double kSmallestFrameRate = 0.001;

public slots:
    void accept() override;

private:
    void browse();
    // Adds a row to the Format group, above the summary of what is written.
    QComboBox* addFormatChoice(int id, const QString& label);
    // Fills the choices for the output's format as the name now says it.
    void updateFormatChoices();
    void showFormatSummary();
    Encoding encoding() const;

    OutputSettings settings_;
    // Browse always starts where the path pointed when the dialog opened.
    QString openedWithPath_;
    SettingsStore& store_;
    UserDialogs& dialogs_;
    QLineEdit* pathEdit_ = nullptr;
    QComboBox* videoCompressors_ = nullptr;
    QComboBox* audioCompressors_ = nullptr;
    // What the user chose, kept whole while the name passes through formats
    // that cannot hold it, so that coming back restores it.
    AudioFormatRequest wanted_;
    QFormLayout* formatRows_ = nullptr;
    QComboBox* sampleRateBox_ = nullptr;
    QComboBox* channelsBox_ = nullptr;
    QComboBox* bitsBox_ = nullptr;
    QComboBox* bitRateBox_ = nullptr;
    QComboBox* qualityBox_ = nullptr;
    QComboBox* loudnessBox_ = nullptr;
    QComboBox* loudnessTargetBox_ = nullptr;
    QLabel* formatSummary_ = nullptr;
};

} // namespace kestrine
