// Runs one registered QTest class per process, as QTEST_MAIN would (so no class sees another's
// state): kbcfg_gui_tests CLASS [--skip FUNCTION]... [QTest arguments].
// --skip leaves a test function out, for the timing functions that ctest runs on their own.

#include <QApplication>
#include <QMetaMethod>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gui/gui_test.h"

namespace kbcfg::testing {
namespace {

std::map<std::string, std::function<std::unique_ptr<QObject>()>>& registry() {
    static std::map<std::string, std::function<std::unique_ptr<QObject>()>> classes;
    return classes;
}

// The test functions QTest would run: the class's own private slots without arguments, less
// the set-up and clean-up slots and the data functions.
std::vector<std::string> testFunctions(const QMetaObject& meta) {
    static const std::set<std::string> kFrame = {"initTestCase", "cleanupTestCase", "init",
                                                 "cleanup"};
    std::vector<std::string> names;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod m = meta.method(i);
        const std::string name = m.name().toStdString();
        if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Private ||
            m.parameterCount() != 0 || kFrame.count(name) ||
            (name.size() > 5 && name.ends_with("_data")))
            continue;
        names.push_back(name);
    }
    return names;
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s CLASS [--skip FUNCTION]... [QTest arguments]\nclasses:", program);
    for (const auto& [name, make] : registry()) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

}  // namespace

bool registerGuiTest(const char* className, std::function<std::unique_ptr<QObject>()> make) {
    return registry().emplace(className, std::move(make)).second;
}

}  // namespace kbcfg::testing

int main(int argc, char** argv) {
    using kbcfg::testing::registry;
    if (argc < 2 || !registry().count(argv[1])) return kbcfg::testing::usage(argv[0]);
    const auto& make = registry().at(argv[1]);

    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    std::unique_ptr<QObject> test = make();

    // QTest's arguments: the program, then what follows the class, less the skips.
    std::vector<std::string> args = {argv[0]};
    std::set<std::string> skipped;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--skip") == 0 && i + 1 < argc)
            skipped.insert(argv[++i]);
        else
            args.emplace_back(argv[i]);
    }
    if (!skipped.empty()) {
        const std::vector<std::string> all = kbcfg::testing::testFunctions(*test->metaObject());
        for (const std::string& name : skipped)
            if (std::find(all.begin(), all.end(), name) == all.end()) {
                std::fprintf(stderr, "%s has no test function %s\n", argv[1], name.c_str());
                return 2;
            }
        for (const std::string& name : all)
            if (!skipped.count(name)) args.push_back(name);
        if (args.size() == 1) return 0;  // every function skipped
    }
    QStringList arguments;
    for (const std::string& a : args) arguments << QString::fromStdString(a);
    return QTest::qExec(test.get(), arguments);
}
