// Entry points for the test executables. Every test process gets a home of
// its own in a fresh temporary folder, so nothing a test does (trash, icon
// caches, settings of Qt itself) can reach the real home or trash.
#pragma once

#include "tests/common/RemoveTree.h"

#include <QCoreApplication>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif
#include <QDir>
#include <QtTest/QtTest>

#include <cstdlib>
#include <string>

#include <sched.h>
#include <sys/mount.h>

namespace QvlTest {

// Points HOME and the XDG folders at a temporary folder; returns its path.
// XDG_DATA_HOME is named but not created: code that needs it must create it,
// which is what a fresh account looks like.
inline std::string IsolateHome()
{
    char tmpl[] = "/tmp/quorvel-test-home-XXXXXX";
    const char *dir = ::mkdtemp(tmpl);
    if (!dir)
        std::abort();
    const std::string home = dir;
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    if (!::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return home;
}

// Gives the test process a mount table of its own, so that a tmpfs one test
// mounts is neither seen by the trees and mount monitors of tests running
// beside it, nor left on the machine. Must run before any thread starts.
// Where the machine does not allow it, tests that mount skip anyway.
inline void IsolateMounts()
{
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
}

inline void RemoveHome(const std::string &home)
{
    RemoveTree(home);
}

} // namespace QvlTest

// A test may define QVL_TEST_PREPARE(argc, argv) before including this
// header: it runs first thing in main, before any isolation.
#ifndef QVL_TEST_PREPARE
#define QVL_TEST_PREPARE(argc, argv) ((void)0)
#endif

#define QVL_TEST_MAIN_IMPL(AppClass, TestObject)                  \
    int main(int argc, char **argv)                               \
    {                                                             \
        QVL_TEST_PREPARE(argc, argv);                             \
        QvlTest::IsolateMounts();                                 \
        const std::string qvlHome = QvlTest::IsolateHome();       \
        int rc;                                                   \
        {                                                         \
            AppClass app(argc, argv);                             \
            TestObject tc;                                        \
            QTEST_SET_MAIN_SOURCE_PATH                            \
            rc = QTest::qExec(&tc, argc, argv);                   \
        }                                                         \
        QvlTest::RemoveHome(qvlHome);                             \
        return rc;                                                \
    }

#ifdef QT_WIDGETS_LIB
// Tests of widgets.
#define QVL_TEST_MAIN(TestObject) QVL_TEST_MAIN_IMPL(QApplication, TestObject)
#endif
// Tests of code below the widgets (platform, engine, cli).
#define QVL_TEST_CORE_MAIN(TestObject) QVL_TEST_MAIN_IMPL(QCoreApplication, TestObject)
