// The downloader against a real server on the loopback address: what arrives, what is refused,
// and that a failed download never replaces the file that was there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "online/Downloader.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

namespace qv::online {
namespace {

using test::LocalHttpServer;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

DownloadLimits capOf(size_t bytes) {
    DownloadLimits limits;
    limits.maxBytes = bytes;
    limits.connectTimeoutMs = 2000;
    limits.totalTimeoutMs = 5000;
    return limits;
}

TEST(DownloaderTest, FileArrivesWholeAndReplacesTheOldOne) {
    LocalHttpServer server;
    ASSERT_NE(server.port(), 0);
    const std::string body(10000, 'x');
    server.serve("/a/file.bin", body);
    test::TempDir folder;
    const std::string path = folder.file("file.bin");
    std::ofstream(path) << "old";
    EXPECT_EQ(downloadToFile(server.address() + "/a/file.bin", path, capOf(body.size())),
              kDownloadOk);
    EXPECT_EQ(readFile(path), body);
}

TEST(DownloaderTest, FailuresLeaveTheOldFileAndNoTemporaryFile) {
    LocalHttpServer server;
    ASSERT_NE(server.port(), 0);
    server.serve("/big", std::string(2048, 'y'));
    test::TempDir folder;
    const std::string path = folder.file("kept.txt");
    std::ofstream(path) << "old";

    EXPECT_EQ(downloadToFile(server.address() + "/big", path, capOf(2047)), kDownloadTooLarge);
    EXPECT_EQ(downloadToFile(server.address() + "/missing", path, capOf(4096)),
              kDownloadServerRefused);
    EXPECT_EQ(downloadToFile(LocalHttpServer::deadAddress() + "/big", path, capOf(4096)),
              kDownloadNetworkFailed);
    EXPECT_EQ(readFile(path), "old");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(DownloaderTest, OnlyWebAddressesAreFetched) {
    test::TempDir folder;
    std::ofstream(folder.file("secret")) << "local";
    std::string body;
    for (const std::string& url :
         {"file://" + folder.file("secret"), std::string("ftp://127.0.0.1/x"),
          std::string("-o/tmp/x"), folder.file("secret"), std::string()}) {
        EXPECT_EQ(downloadToMemory(url, capOf(100), body), kDownloadBadAddress) << url;
        EXPECT_TRUE(body.empty());
    }
}

TEST(DownloaderTest, AStopRequestEndsTheTransfer) {
    LocalHttpServer server;
    ASSERT_NE(server.port(), 0);
    server.serve("/f", "data");
    DownloadLimits limits = capOf(100);
    limits.stopRequested = [] { return true; };
    std::string body;
    EXPECT_EQ(downloadToMemory(server.address() + "/f", limits, body), kDownloadStopped);
    EXPECT_TRUE(body.empty());
}

}  // namespace
}  // namespace qv::online
