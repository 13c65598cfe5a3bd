// The news: the file's fields and sizes, the fetch with its two servers into the data folder, and
// when the news window opens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "online/NewsFetch.h"
#include "online/NewsFile.h"
#include "online/NewsSchedule.h"
#include "platform/QueuePoster.h"
#include "platform/Utf16.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

namespace qv::online {
namespace {

using test::LocalHttpServer;

constexpr uint32_t kUiThread = 3;
constexpr uint32_t kWaitMs = 10000;

std::string newsXml(const std::string& title1, const std::string& url1 = "https://n.test/1") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<News><News1><Title>" + title1 +
           "</Title><Content>Text one</Content><URL>" + url1 +
           "</URL><Time>2026-12-01</Time></News1><News2><Title>Two</Title></News2></News>";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

DownloadLimits quickLimits() {
    DownloadLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.totalTimeoutMs = 5000;
    return limits;
}

TEST(NewsFileTest, ItemsAreReadByTheirPathsAndCutToTheirFields) {
    NewsRecord record;
    ASSERT_EQ(parseNewsFile(newsXml(std::string(150, 'T')), record), kNewsFileOk);
    EXPECT_EQ(record.items[0].title, std::string(99, 'T'));
    EXPECT_EQ(record.items[0].content, "Text one");
    EXPECT_EQ(record.items[0].url, "https://n.test/1");
    EXPECT_EQ(record.items[0].time, "2026-12-01");
    EXPECT_EQ(record.items[1].title, "Two");
    EXPECT_TRUE(record.items[1].url.empty());
    EXPECT_EQ(record.items[2], NewsItem{});
}

TEST(NewsFileTest, Utf16FileAndCharactersNeverCutInHalf) {
    // 98 ASCII units, then a character of two UTF-16 units: it does not fit in 99.
    const std::string title = std::string(98, 'a') + "\xF0\x9F\x98\x80" + "z";
    NewsRecord record;
    ASSERT_EQ(parseNewsFile("\xFF\xFE" + platform::utf8ToUtf16Le("<News><News1><Title>" + title +
                                                                 "</Title></News1></News>"),
                            record),
              kNewsFileOk);
    EXPECT_EQ(record.items[0].title, std::string(98, 'a'));
    EXPECT_EQ(cutToField("\xC3\xA4\xC3\xA4", 2), "\xC3\xA4");
    EXPECT_EQ(cutToField("abc", 0), "");
}

TEST(NewsFileTest, MalformedOrOversizedFileChangesNothing) {
    NewsRecord record;
    ASSERT_EQ(parseNewsFile(newsXml("Kept"), record), kNewsFileOk);
    const NewsRecord before = record;
    EXPECT_EQ(parseNewsFile("<News><News1><Title>broken", record), kNewsFileMalformed);
    EXPECT_EQ(parseNewsFile(std::string(kMaxNewsFileBytes + 1, ' '), record), kNewsFileTooLarge);
    EXPECT_EQ(record, before);
}

TEST(NewsFetchTest, SecondServerStandsInAndAMissingPictureIsSkipped) {
    LocalHttpServer web;
    ASSERT_NE(web.port(), 0);
    web.serve(kNewsServerFile, newsXml("Hello"));
    web.serve("/qvxml/News1.bmp", "BM-one");
    web.serve("/qvxml/News3.bmp", "BM-three");
    OnlineHosts hosts;
    hosts.downloadServer = LocalHttpServer::deadAddress();
    hosts.webServer = web.address();
    test::TempDir data;
    NewsRecord record;
    ASSERT_EQ(fetchNews(hosts, data.path(), quickLimits(), record), kDownloadOk);
    EXPECT_EQ(record.items[0].title, "Hello");
    EXPECT_EQ(readFile(data.file(kNewsLocalFile)), newsXml("Hello"));
    EXPECT_EQ(readFile(newsPicturePath(data.path(), 1)), "BM-one");
    EXPECT_FALSE(std::filesystem::exists(newsPicturePath(data.path(), 2)));
    EXPECT_EQ(readFile(newsPicturePath(data.path(), 3)), "BM-three");
}

TEST(NewsFetchTest, FirstServerIsAskedFirstAndNothingIsFetchedWithoutTheNewsFile) {
    LocalHttpServer first;
    LocalHttpServer second;
    first.serve(kNewsServerFile, newsXml("First"));
    second.serve(kNewsServerFile, newsXml("Second"));
    OnlineHosts hosts;
    hosts.downloadServer = first.address();
    hosts.webServer = second.address();
    test::TempDir data;
    NewsRecord record;
    ASSERT_EQ(fetchNews(hosts, data.path(), quickLimits(), record), kDownloadOk);
    EXPECT_EQ(record.items[0].title, "First");
    EXPECT_EQ(second.requests(kNewsServerFile), 0);
    // Each picture was asked of both servers.
    EXPECT_EQ(second.requests("/qvxml/News2.bmp"), 1);

    first.remove(kNewsServerFile);
    second.serve(kNewsServerFile, "<News><broken");
    EXPECT_EQ(fetchNews(hosts, data.path(), quickLimits(), record), kNewsFileMalformed);
    EXPECT_EQ(record.items[0].title, "First");
    EXPECT_EQ(second.requests("/qvxml/News1.bmp"), 1);

    second.remove(kNewsServerFile);
    EXPECT_NE(fetchNews(hosts, data.path(), quickLimits(), record), kDownloadOk);
    EXPECT_EQ(record.items[0].title, "First");
}

TEST(NewsFetchTest, ServiceFetchesOnItsWorkerAndPosts) {
    LocalHttpServer server;
    server.serve(kNewsServerFile, newsXml("Posted"));
    OnlineHosts hosts;
    hosts.downloadServer = server.address();
    hosts.webServer = server.address();
    test::TempDir data;
    platform::QueuePoster poster;
    NewsService service(poster, kUiThread, data.path());
    ASSERT_TRUE(service.startFetch(hosts, quickLimits()));
    const auto message = poster.take(kWaitMs);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->message, kMessageNewsFetched);
    EXPECT_EQ(message->wParam, 1u);
    EXPECT_FALSE(service.fetching());
    EXPECT_EQ(service.record().items[0].title, "Posted");
}

TEST(NewsScheduleTest, AutomaticFetchFollowsTheOption) {
    NewsSchedule off;
    off.setUp(false);
    EXPECT_EQ(off.timers(), NewsTimers{});
    EXPECT_FALSE(off.startDelayEnded());

    NewsSchedule on;
    on.setUp(true);
    EXPECT_TRUE(on.timers().startDelay);
    on.switchTick(true);
    EXPECT_TRUE(on.startDelayEnded());
    EXPECT_EQ(on.timers(), (NewsTimers{false, true}));
    // The option switched off stops the check.
    on.switchTick(false);
    EXPECT_EQ(on.timers(), NewsTimers{});
}

TEST(NewsScheduleTest, WindowOpensOnlyForATitleOfItemOne) {
    NewsSchedule schedule;
    schedule.setUp(true);
    ASSERT_TRUE(schedule.startDelayEnded());
    NewsRecord record;
    record.items[1].title = "Only item two";
    EXPECT_EQ(schedule.readinessTick(record, true), 0);
    EXPECT_TRUE(schedule.timers().readinessCheck);
    // The fetch ended without a title for item 1: the check gives up, nothing opens.
    EXPECT_EQ(schedule.readinessTick(record, false), 0);
    EXPECT_FALSE(schedule.timers().readinessCheck);
    EXPECT_EQ(chooseNewsItem(schedule.itemToShow(), record), 0);

    schedule.requestedByUser();
    schedule.switchTick(false);  // the menu's request outlives the option's timer
    record.items[0].title = "One";
    EXPECT_EQ(schedule.readinessTick(record, true), 1);
    EXPECT_FALSE(schedule.timers().readinessCheck);
    EXPECT_EQ(chooseNewsItem(schedule.itemToShow(), record), 1);
    EXPECT_EQ(chooseNewsItem(3, record), 3);
}

TEST(NewsScheduleTest, WindowRisesFromTheCornerAndFades) {
    const NewsArea screen{0, 0, 1920, 1040};
    EXPECT_EQ(newsWindowPlace(screen, 0), (NewsArea{1620, 1040, 300, 150}));
    EXPECT_EQ(newsWindowPlace(screen, 151), (NewsArea{1620, 889, 300, 150}));
    EXPECT_EQ(newsWindowPlace(screen, 500), newsWindowPlace(screen, 151));
    EXPECT_EQ(newsWindowPlace({100, 20, 800, 600}, 151), (NewsArea{600, 469, 300, 150}));
    EXPECT_DOUBLE_EQ(newsFadeIn(0), 0.0);
    EXPECT_DOUBLE_EQ(newsFadeIn(500), 0.5);
    EXPECT_DOUBLE_EQ(newsFadeIn(5000), 1.0);
}

}  // namespace
}  // namespace qv::online
