#pragma once
// A shown player window (offscreen) with fresh player state, real input on its elements, and
// playlist rows that name real files in a temporary folder, written in drive-letter form.

#include "Playlist.h"
#include "PlaylistEntry.h"
#include "WindowDriving.h"
#include "frmMain.h"
#include "mVariables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class BehaviourTest : public zr::test::ShownPlayerTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ShownPlayerTest::SetUp());
        ASSERT_EQ(mVariables::VolumeLevel(), 498) << "the load step has run";
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QFile::exists(Fixture("tone_1s_cbr_44100_stereo.mp3")))
            << "fixtures missing in " << qEnvironmentVariable("ZR_TEST_FIXTURES").toStdString();
    }

    void TearDown() override {
        // Leaves no device open for the next test, whatever this one left behind.
        window->imgControl_Click(3);
        ShownPlayerTest::TearDown();
    }

    // A file of the project's test fixtures (made by the build).
    static QString Fixture(const QString& name) {
        return QDir(qEnvironmentVariable("ZR_TEST_FIXTURES")).filePath(name);
    }

    // The drive-letter form of a folder of this machine: C: is the root.
    static QString DriveFolder(const QString& absolute) {
        QString path = QDir::toNativeSeparators(QDir::cleanPath(absolute));
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        return QStringLiteral("C:") + path + QLatin1Char('\\');
    }

    // Appends a row for a file of the temporary folder, creating an empty file of that name
    // unless `source` names a file to copy.
    void AddRow(const QString& name, const QString& source = {}) {
        const QString path = folder.filePath(name);
        if (!QFile::exists(path)) {
            if (source.isEmpty()) {
                QFile file(path);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            } else {
                ASSERT_TRUE(QFile::copy(source, path)) << source.toStdString();
            }
        }
        zr::AppendEntry(window->lstFiles, DriveFolder(folder.path()), name);
    }

    void Click(int button, Qt::MouseButton mouse = Qt::LeftButton) {
        auto& element = window->imgControl(static_cast<std::int16_t>(button));
        QTest::mouseClick(&element, mouse, {}, element.rect().center());
    }

    void Select(int row) { window->lstFiles.ListItems().Item(row).SetSelected(true); }
    [[nodiscard]] int Selected() { return zr::SelectedRow(window->lstFiles); }
    [[nodiscard]] QString Mark(int row) {
        return window->lstFiles.ListItems().Item(row).SubItems(zr::kPlayMarkSubItem);
    }

    [[nodiscard]] QString Clock() const {
        return window->lblELTimeA.Caption() + window->lblELTimeB.Caption() + ":" +
               window->lblELTimeC.Caption() + window->lblELTimeD.Caption();
    }

    // The open command for a file of the temporary folder (percent-encoded name).
    [[nodiscard]] std::string OpenCommand(const QString& encodedName) const {
        return "open file://" + folder.path().toStdString() + "/" + encodedName.toStdString() +
               " type MPEGVideo alias mp3";
    }
    // What Play sends for a newly opened row at normal speed with sound on.
    [[nodiscard]] std::vector<std::string> PlaySequence(const QString& encodedName,
                                                        int volume = 498) const {
        return {OpenCommand(encodedName), "set mp3 time format tmsf", "play mp3",
                "status mp3 length", "setaudio mp3 volume to " + std::to_string(volume)};
    }

    [[nodiscard]] static bool Playing() { return mVariables::IsPlaying() == mVariables::kTrue; }

    QTemporaryDir folder;
};
