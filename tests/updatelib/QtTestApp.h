// One QApplication for a test program, with a private temporary folder so that the files the
// library leaves there can be counted.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

namespace vyxtest {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        privateTemp_ = std::make_unique<QTemporaryDir>();
        qputenv("TMPDIR", QFile::encodeName(privateTemp_->path()));
        static int argc = 1;
        static char name[] = "updatelib_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override
    {
        app_.reset();
        privateTemp_.reset();
    }

private:
    std::unique_ptr<QTemporaryDir> privateTemp_;
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace vyxtest
