#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <filesystem>
#include <vector>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace z900::screengrab {

// A temporary folder holding the pictures folder the program is pointed at.
class ScreengrabFixture : public ::testing::Test {
 protected:
  std::filesystem::path Shots() const { return temp_.path() / "Pictures"; }

  std::vector<std::filesystem::path> SavedFiles() const {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Shots(), error)) {
      files.push_back(entry.path());
    }
    return files;
  }

  // The one picture the program saved, whose path it printed.
  QImage SavedPicture(const test::ProgramResult& result) const {
    const std::vector<std::filesystem::path> files = SavedFiles();
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return {};
    EXPECT_EQ(result.out, files[0].string() + "\n");
    return QImage(QString::fromStdString(files[0].string()));
  }

  test::TempFolder temp_;
};

}  // namespace z900::screengrab
