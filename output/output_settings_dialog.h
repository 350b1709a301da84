// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
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
};

// Lets the user choose the output file. OK stores the path together with
// the output format values it was given, tidied; Cancel stores nothing.
class OutputSettingsDialog : public QDialog {
    Q_OBJECT

public:
    OutputSettingsDialog(const OutputSettings& settings, SettingsStore& store, UserDialogs& dialogs,
                         const EncoderCatalog& catalog, QWidget* parent = nullptr);

    // The path in the edit field.
    QString outputPath() const;

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

    OutputSettings settings_;
    // Browse always starts where the path pointed when the dialog opened.
    QString openedWithPath_;
    SettingsStore& store_;
    UserDialogs& dialogs_;
    QLineEdit* pathEdit_ = nullptr;
    QComboBox* videoCompressors_ = nullptr;
    QComboBox* audioCompressors_ = nullptr;
};

} // namespace kestrine
