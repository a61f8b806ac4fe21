// File responses over real files: extensions, content types, exact bytes and failures.
#include "server/fileresponse.h"

#include "runtime/errors.h"
#include "server/fs.h"
#include "server/page.h"
#include "tempfolder.h"
#include "testsettings.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace quorvin;
using quorvin::testing::settingsFor;
using quorvin::testing::TempFolder;

namespace {} // namespace

TEST(FileExtension, Table) {
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"a.txt", ".txt"},
        {"archive.tar.gz", ".gz"},
        {".htaccess", ""},
        {"README", ""},
        {"file.", ""},
        {R"(my.site\README)", ""},
        {"my.site/README", ""},
        {R"(C:\Site\.gitignore)", ""},
        {"/srv/a..b", ".b"},
        {"a..", ""},
        {"x.tar..", ".tar.."},
        {"a.b.", ".b."},
        {"..b", ".b"},
        {"/dir/page.HTM", ".HTM"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileExtension(c.path), c.expected) << c.path;
    }
}

TEST(FileResponse, ContentTypeFromTheExtension) {
    TempFolder folder;
    ServerSettings settings = settingsFor(folder.path());
    struct Case {
        const char* name;
        const char* mediaType;
    } cases[] = {
        {"page.HTM", "text/html"},     {"index.html", "text/html"},
        {"LICENSE", "text/plain"},     {"photo.JPG", "image/jpeg"},
        {"data.xyz123", "text/plain"}, {".gitignore", "text/plain"},
        {"style.css", "text/css"},     {"archive.tar.gz", "application/gzip"},
    };
    for (const Case& c : cases) {
        folder.writeFile(c.name, "content");
        StaticResponse response = fileResponse(settings, folder.join(c.name));
        EXPECT_EQ(response.status, 200) << c.name;
        ASSERT_EQ(response.headers->len(), 1u) << c.name;
        EXPECT_EQ(response.headers->get("content-type"), HeaderValues{c.mediaType}) << c.name;
        EXPECT_EQ((*response.headers->begin()).name, "content-type");
    }
}

TEST(FileResponse, BodyIsEveryByteUnchanged) {
    TempFolder folder;
    ServerSettings settings = settingsFor(folder.path());
    std::string binary("line\r\nnext\n\x1A\0\xFF end", 17);
    std::string large;
    for (int i = 0; i < 10007; ++i) {
        large += static_cast<char>(i * 7);
    }
    folder.writeFile("binary.bin", binary);
    folder.writeFile("large.dat", large);
    folder.writeFile("empty.txt", "");
    folder.writeFile("caf\xC3\xA9 \xE6\x96\x87.txt", "unicode");
    EXPECT_EQ(fileResponse(settings, folder.join("binary.bin")).body, binary);
    EXPECT_EQ(fileResponse(settings, folder.join("large.dat")).body, large);
    StaticResponse empty = fileResponse(settings, folder.join("empty.txt"));
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "");
    EXPECT_EQ(fileResponse(settings, folder.join("caf\xC3\xA9 \xE6\x96\x87.txt")).body, "unicode");
}

// The size known at the open is no limit: bytes added since are read too, and the end is where
// the file ends when it is read.
TEST(FileReader, ReadsPiecesToTheEndOfAFileThatGrewSinceItsOpen) {
    TempFolder folder;
    folder.writeFile("log.txt", "0123456789");
    std::unique_ptr<fs::FileReader> reader = fs::FileReader::open(folder.join("log.txt"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), 10u);
    std::ofstream(folder.join("log.txt"), std::ios::binary | std::ios::app)
        << std::string(5000, 'x');
    std::string content(11, '\0');
    ASSERT_EQ(reader->read(content.data(), content.size()), 11u);
    char piece[4000];
    while (std::size_t count = reader->read(piece, 3)) {
        content.append(piece, count);
    }
    EXPECT_EQ(content, "0123456789" + std::string(5000, 'x'));
    EXPECT_EQ(reader->read(piece, sizeof piece), 0u);

    folder.writeFile("short.txt", "abcde");
    reader = fs::FileReader::open(folder.join("short.txt"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->read(piece, 2), 2u);
    EXPECT_EQ(reader->read(piece, sizeof piece), 3u);
    EXPECT_EQ(std::string(piece, 3), "cde");
    EXPECT_EQ(reader->read(piece, sizeof piece), 0u);
}

// A network share or a user-space file system may give fewer bytes than asked anywhere in a
// file; only a read that gives nothing is its end.
class ShortReads : public ::testing::Test {
protected:
    ShortReads() { fs::detail::limitSystemReads(1000); }
    ~ShortReads() override { fs::detail::limitSystemReads(0); }
};

TEST_F(ShortReads, AFileIsReadToItsEnd) {
    TempFolder folder;
    std::string content;
    for (int i = 0; content.size() < 100000; ++i) {
        content += std::to_string(i) + ' ';
    }
    content.resize(100000);
    folder.writeFile("long.txt", content);

    StaticResponse response = fileResponse(settingsFor(folder.path()), folder.join("long.txt"));
    EXPECT_EQ(response.body.size(), content.size());
    EXPECT_TRUE(response.body == content);

    std::unique_ptr<fs::FileReader> reader = fs::FileReader::open(folder.join("long.txt"));
    ASSERT_TRUE(reader);
    std::string piece(4000, '\0');
    EXPECT_EQ(reader->read(piece.data(), piece.size()), 4000u);
    EXPECT_EQ(piece, content.substr(0, 4000));
}

TEST(FileResponse, UnopenableFileRaisesCannotOpen) {
    TempFolder folder;
    ServerSettings settings = settingsFor(folder.path());
    folder.makeFolder("index.html");
    for (std::string path : {folder.join("missing.txt"), folder.join("index.html")}) {
        try {
            fileResponse(settings, path);
            ADD_FAILURE() << path << " was served";
        } catch (const IOError& error) {
            EXPECT_EQ(error.message(), "cannot open: " + path);
        }
    }
}

#ifdef _WIN32
TEST(FileResponse, DeviceIsAnsweredAsMissing) {
    // A device opens like a file under its reserved name in any folder; it is no disk file.
    TempFolder folder;
    ServerSettings settings = settingsFor(folder.path());
    StaticResponse response = fileResponse(settings, folder.join("NUL"));
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, notFoundResponse(settings).body);
}
#else
TEST(FileResponse, PipeIsAnsweredAsMissingWithoutBlocking) {
    TempFolder folder;
    ServerSettings settings = settingsFor(folder.path());
    std::string fifo = folder.join("pipe.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    StaticResponse response = fileResponse(settings, fifo);
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, notFoundResponse(settings).body);
}
#endif
