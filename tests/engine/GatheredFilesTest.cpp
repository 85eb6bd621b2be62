#include "engine/GatheredFiles.h"
#include "tests/common/QvlTestMain.h"

#include <QtTest/QtTest>

#include <algorithm>
#include <random>
#include <thread>

class GatheredFilesTest : public QObject
{
    Q_OBJECT

private slots:
    // A folder's files need not come one after the other: a walk may give
    // some, then those of a subfolder, then more. Every file keeps its own
    // folder, whichever order the files are asked for in, and on several
    // threads at once (the readers ask while the comparison does).
    void everyFileKeepsItsFolderInAnyOrder()
    {
        TGatheredFiles files;
        files.clear("/src/");
        std::vector<std::string> expected;
        const auto add = [&](std::uint32_t folder, const std::string &name, const std::string &relative) {
            files.Add(folder, name);
            expected.push_back("/src/" + relative);
        };
        add(TGatheredFiles::kRoot, "top", "top");
        const std::uint32_t a = files.AddFolder(TGatheredFiles::kRoot, "a");
        for (int i = 0; i < 50; ++i)
            add(a, "x" + std::to_string(i), "a/x" + std::to_string(i));
        const std::uint32_t b = files.AddFolder(a, "b");
        add(b, "y", "a/b/y");
        add(a, "after-b", "a/after-b"); // back in a
        const std::uint32_t empty = files.AddFolder(TGatheredFiles::kRoot, "empty");
        Q_UNUSED(empty);
        add(TGatheredFiles::kRoot, "last", "last"); // back at the root
        for (int i = 0; i < 300; ++i) {
            const std::uint32_t f = files.AddFolder(b, "f" + std::to_string(i));
            add(f, "z", "a/b/f" + std::to_string(i) + "/z");
        }

        QCOMPARE(files.size(), expected.size());
        QCOMPARE(files.Paths(), expected);
        QCOMPARE(files.Relative(52), std::string("a/after-b"));
        QCOMPARE(files.FolderOf(53), TGatheredFiles::kRoot);
        QCOMPARE(files.FolderRelative(files.FolderOf(51)), std::string("a/b"));

        const auto askAll = [&](unsigned seed) {
            std::vector<std::size_t> order(files.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            if (seed == 0)
                std::reverse(order.begin(), order.end());
            else
                std::shuffle(order.begin(), order.end(), std::mt19937(seed));
            bool right = true;
            for (int pass = 0; pass < 20; ++pass)
                for (std::size_t i : order)
                    right = right && files.Path(i) == expected[i];
            return right;
        };
        QVERIFY(askAll(0));
        bool one = false, two = false;
        std::thread t1([&] { one = askAll(1); });
        std::thread t2([&] { two = askAll(2); });
        t1.join();
        t2.join();
        QVERIFY(one);
        QVERIFY(two);
    }
};

QVL_TEST_CORE_MAIN(GatheredFilesTest)
#include "GatheredFilesTest.moc"
