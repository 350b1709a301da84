// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list_view.h"
#include "app/main_dialog.h"
#include "tests/app/window_waits.h"
#include "output/compressor_lists.h"
#include "output/output_settings_dialog.h"
#include "platform/settings_store.h"
#include "tests/support/fake_media_framework.h"
#include "tests/support/fake_shell.h"
#include "tests/support/recording_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace kestrine::testing {

class FixedEncoderCatalog : public EncoderCatalog {
public:
    MediaResult videoEncoders(std::vector<std::string>& names) const override
    {
        names = {"MPEG-4 part 2"};
        return result::kOk;
    }
    MediaResult audioEncoders(std::vector<std::string>& names) const override
    {
        names = {"PCM signed 16-bit little-endian"};
        return result::kOk;
    }
};

// Every test gets its own services, settings and folder, and a dialog built
// on them on demand.
class MainDialogTest : public ::testing::Test {
protected:
    static constexpr MediaTime kSecond = kUnitsPerSecond;

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QSettings(QStringLiteral("Tallowmere"), application()).clear();
    }

    static QString application()
    {
        return QStringLiteral("kestrine-app-test");
    }

    MainDialog& dialog()
    {
        if (!dialog_) {
            dialog_ = std::make_unique<MainDialog>(framework, dialogs, shell, settings, encoders);
            dialog_->setClock([this] { return now; });
            dialog_->show();
        }
        return *dialog_;
    }

    QPushButton* button(int id)
    {
        return dialog().findChild<QPushButton*>(controlName(id));
    }
    ClipListView* view()
    {
        return dialog().findChild<ClipListView*>(controlName(control::kClipList));
    }
    // A click a second after the last one, as a user clicks; files that it
    // hands to measuring are taken in before this returns.
    void click(int id)
    {
        QPushButton* target = button(id);
        ASSERT_NE(target, nullptr) << id;
        now += 1000;
        QTest::mouseClick(target, Qt::LeftButton);
        waitForMeasuring(dialog());
        waitForJoinStart(dialog());
    }
    // Runs a command as its menu entry or key does, and waits likewise.
    void command(int id)
    {
        ASSERT_TRUE(dialog().runCommand(id)) << id;
        waitForMeasuring(dialog());
        waitForJoinStart(dialog());
    }
    // Selects rows the way a user does: a click, then Ctrl+clicks.
    void selectRows(const QList<int>& rows)
    {
        view()->clearSelection();
        bool first = true;
        for (int row : rows) {
            const QPoint at = view()->visualItemRect(view()->topLevelItem(row)).center();
            QTest::mouseClick(view()->viewport(), Qt::LeftButton, first ? Qt::NoModifier : Qt::ControlModifier, at);
            first = false;
        }
        ASSERT_EQ(view()->selectedRows(), QVector<int>(rows.begin(), rows.end()));
    }
    // Types path into Options and presses OK, as the user would.
    void changeOutputThroughOptions(const QString& path)
    {
        QTimer::singleShot(0, [path] {
            auto* options = qobject_cast<OutputSettingsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(options, nullptr);
            options->findChild<QLineEdit*>(QStringLiteral("control1022"))->setText(path);
            options->accept();
        });
        click(control::kOptions);
        ASSERT_EQ(dialog().outputPath(), path);
    }

    // A real file in the test's folder, so that file tests find it.
    QString makeFile(const QString& name, const QByteArray& bytes = "data")
    {
        const QString path = QDir(folder.path()).filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // Adds files through the Add button, each measuring as long as given.
    void addThroughDialog(const QList<QPair<QString, MediaTime>>& files)
    {
        QStringList paths;
        for (const auto& [path, duration] : files) {
            framework.setDuration(path.toStdString(), duration);
            paths.append(path);
        }
        dialogs.openAnswers.push_back(paths);
        click(control::kAdd);
    }
    // Files named after the letters, one second longer each.
    void addNamed(const QStringList& names)
    {
        QList<QPair<QString, MediaTime>> files;
        for (qsizetype i = 0; i < names.size(); ++i)
            files.append({makeFile(names[i] + QStringLiteral(".mp3")), (i + 1) * kSecond});
        addThroughDialog(files);
    }

    QStringList listedNames()
    {
        QStringList names;
        for (const ClipItem& item : dialog().clipList().items())
            names.append(QFileInfo(item.path).completeBaseName());
        return names;
    }
    QStringList rowNames()
    {
        QStringList names;
        for (int row = 0; row < view()->topLevelItemCount(); ++row)
            names.append(QFileInfo(view()->topLevelItem(row)->text(0)).completeBaseName());
        return names;
    }
    void expectViewAndAudioListMatch()
    {
        const ClipList& list = dialog().clipList();
        EXPECT_EQ(dialog().audioList(), list);
        ASSERT_EQ(view()->topLevelItemCount(), list.count());
        for (int row = 0; row < list.count(); ++row) {
            EXPECT_EQ(view()->topLevelItem(row)->text(0), clipNameText(list.at(row).path));
            EXPECT_EQ(view()->topLevelItem(row)->text(1), clipSecondsText(list.at(row).duration));
        }
    }

    QTemporaryDir folder;
    FakeMediaFramework framework;
    RecordingDialogs dialogs;
    FakeShell shell;
    SettingsStore settings{QStringLiteral("Tallowmere"), application()};
    FixedEncoderCatalog encoders;
    // The dialog's clock, in milliseconds.
    std::int64_t now = 0;
    std::unique_ptr<MainDialog> dialog_;
};

} // namespace kestrine::testing
