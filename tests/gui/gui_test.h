#pragma once
// The views' QTest classes share one program: each class registers itself here instead of
// bringing a main of its own, and gui_test_main.cpp runs the class its first argument names.

#include <QObject>

#include <functional>
#include <memory>

namespace kbcfg::testing {

bool registerGuiTest(const char* className, std::function<std::unique_ptr<QObject>()> make);

}  // namespace kbcfg::testing

#define KBCFG_GUI_TEST(TestClass)                                   \
    [[maybe_unused]] static const bool kbcfgRegistered##TestClass = \
        ::kbcfg::testing::registerGuiTest(                          \
            #TestClass, [] { return std::unique_ptr<QObject>(std::make_unique<TestClass>()); });
