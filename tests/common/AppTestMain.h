// The main of a test program that needs the program's windows: the application object and all
// windows exist while the tests run, and are destroyed after them.
#pragma once

#include "Program.h"

#include <QApplication>
#include <functional>
#include <gtest/gtest.h>

namespace sonoverne::test {

// `prepare` runs once the windows exist, before the first test.
inline int RunWithWindows(int argc, char** argv, const std::function<void(QApplication&)>& prepare)
{
    QApplication app(argc, argv);
    CreateForms();
    prepare(app);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    DestroyForms();
    return result;
}

}  // namespace sonoverne::test
