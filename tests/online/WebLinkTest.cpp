#include <gtest/gtest.h>

#include <string>

#include "online/OnlineHosts.h"
#include "online/WebLink.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"
#include "support/SimHarness.h"

namespace qv::online {
namespace {

TEST(WebLink, OnlyPlainWebAddressesAreOpened) {
    for (const char* good : {"http://a.example", "HTTPS://a.example/x?y=1#z",
                             "https://user@a.example:8443/p", "http://127.0.0.1:9/rain"}) {
        EXPECT_TRUE(isWebLink(good)) << good;
    }
    for (const char* bad :
         {"", "file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "-e", "--help",
          "ftp://a.example", "https://", "http:///path", "https://@", "https://:80/",
          "https://a.example/ with blank", "https://a.example/\nline", "mailto:a@b.example",
          "httpx://a.example", " https://a.example"}) {
        EXPECT_FALSE(isWebLink(bad)) << bad;
    }
    EXPECT_FALSE(isWebLink("https://a.example/" + std::string(kMaxWebLinkBytes, 'x')));
}

TEST(WebLink, PercentEncodingLeavesOnlyUnreservedBytes) {
    EXPECT_EQ(percentEncode("80.04.4B.00.01"), "80.04.4B.00.01");
    EXPECT_EQ(percentEncode("a b&c=d/é"), "a%20b%26c%3Dd%2F%C3%A9");
}

TEST(OnlineHosts, StoredServersReplaceTheDefaultsOnlyWhenTheyAreWebAddresses) {
    test::TempDir dir;
    settings::FileRegistryStore store(
        {dir.file("settings.conf"), dir.file("autostart/quorvel.desktop")});
    OnlineHosts hosts = readOnlineHosts(store);
    EXPECT_EQ(hosts.updateServer, kDefaultUpdateServer);
    EXPECT_EQ(hosts.supportServer, kDefaultSupportServer);

    ASSERT_TRUE(store.writeText(settings::kValueUpdateServer, "http://127.0.0.1:8080/"));
    ASSERT_TRUE(store.writeText(settings::kValueWebServer, "file:///tmp"));
    hosts = readOnlineHosts(store);
    EXPECT_EQ(hosts.updateServer, "http://127.0.0.1:8080/");
    EXPECT_EQ(hosts.webServer, kDefaultWebServer);
    EXPECT_EQ(joinServerPath(hosts.updateServer, "/rain/serve/Version.ini"),
              "http://127.0.0.1:8080/rain/serve/Version.ini");
    EXPECT_EQ(joinServerPath("https://a.example", "qvxml/News.xml"),
              "https://a.example/qvxml/News.xml");
}

}  // namespace
}  // namespace qv::online
