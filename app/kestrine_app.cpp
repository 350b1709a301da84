// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/kestrine_app.h"

#include "app/main_dialog.h"
#include "media/ffmpeg_encoder_catalog.h"
#include "media/ffmpeg_media_framework.h"
#include "platform/desktop_shell.h"
#include "platform/qt_user_dialogs.h"
#include "platform/settings_store.h"

#include <QFileInfo>

namespace kestrine {

KestrineApp::KestrineApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QString::fromLatin1(kCompanyName));
    setApplicationName(QFileInfo(applicationFilePath()).completeBaseName());
}

int KestrineApp::run()
{
    FfmpegMediaFramework framework;
    FfmpegEncoderCatalog encoders;
    QtUserDialogs dialogs;
    DesktopShell shell;
    SettingsStore settings;
    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialogs.setOwner(&dialog);
    // The dialog's answer does not matter: when it ends, the program ends.
    dialog.exec();
    return 0;
}

} // namespace kestrine
