// Concurrent line writes never interleave.
#include "runtime/output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#else
#include <unistd.h>
#endif

using namespace quorvin;

TEST(Output, ConcurrentLinesStayWhole) {
    const std::string path = testing::TempDir() + "quorvin_output_test.txt";
    std::fflush(stdout);
    int savedStdout = dup(fileno(stdout));
    ASSERT_GE(savedStdout, 0);
    ASSERT_NE(std::freopen(path.c_str(), "w", stdout), nullptr);

    constexpr int threads = 8, linesEach = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < linesEach; ++i) {
                // Long enough that an unlocked write would be split.
                writeLine("thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                          std::string(200, static_cast<char>('a' + t)));
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    std::fflush(stdout);
    dup2(savedStdout, fileno(stdout));
    close(savedStdout);

    std::ifstream in(path, std::ios::binary);
    std::set<std::string> seen;
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        ++count;
        auto space = line.find(' ');
        auto second = line.find(' ', space + 1);
        int t = std::stoi(line.substr(space + 1, second - space - 1));
        std::string tail = line.substr(line.rfind(' ') + 1);
        EXPECT_EQ(tail, std::string(200, static_cast<char>('a' + t))) << line;
        seen.insert(line.substr(0, line.rfind(' ')));
    }
    EXPECT_EQ(count, threads * linesEach);
    EXPECT_EQ(seen.size(), static_cast<size_t>(threads * linesEach));
    std::remove(path.c_str());
}
