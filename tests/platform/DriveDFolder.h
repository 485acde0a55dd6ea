#pragma once
// A temporary folder that is drive D: while the test runs.

#include "DriveTable.h"
#include "TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>

class DriveDFolder : public ::testing::Test {
protected:
    // canonical: D: maps to the folder's link-free path (for tests that compare resolved paths).
    explicit DriveDFolder(bool canonical = false) : canonical_(canonical) {}

    void SetUp() override {
        root = canonical_ ? QDir(dir.Path()).canonicalPath().toStdString() : dir.path().string();
        drives = std::make_unique<mWinAPI::ScopedDriveFolders>(mWinAPI::DriveFolders{{'D', root}});
    }

    zr::test::TempDir dir;
    std::string root;
    std::unique_ptr<mWinAPI::ScopedDriveFolders> drives;

private:
    bool canonical_;
};
