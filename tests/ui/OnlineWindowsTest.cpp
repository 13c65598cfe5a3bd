// The update dialog and the news pop-up on the offscreen platform, against a web server of the
// test's own on the loopback address: the pages the update check leads to, that the check never
// holds up the window, the links that are opened or refused, and when and how the news window
// shows an item.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "UiTestSupport.h"
#include "online/NewsFetch.h"
#include "online/UpdateCheck.h"
#include "platform/SingleInstance.h"
#include "settings/RegistryValues.h"
#include "support/LocalHttpServer.h"
#include "tuning/TrayMenu.h"
#include "ui/CNews.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/CUpdateDlg.h"
#include "ui/NewsPresenter.h"
#include "ui/QuorvelTray.h"
#include "ui/WebLinkOpener.h"

namespace qv::test {
namespace {

constexpr qint64 kWaitMs = 20000;

// Where QV_SCREENSHOTS names a folder, the pictures for the documentation go there as well.
void keepPicture(QWidget& window, const char* name) {
    if (const char* folder = std::getenv("QV_SCREENSHOTS"); folder != nullptr && *folder != 0) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(folder) + "/" + name)) << name;
    }
}

template <typename Done>
bool pumpUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kWaitMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

std::string versionFile(const std::string& version, const std::string& url,
                        const std::string& info) {
    return "[Version]\r\nVersion=" + version + "\r\n[URL]\r\nURL=" + url +
           "\r\n[INFO]\r\nINFO=" + info + "\r\n";
}

std::string bitmap(QColor colour) {
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

class UpdateDialogTest : public ::testing::Test {
protected:
    std::unique_ptr<ui::CUpdateDlg> dialog(const std::string& host) {
        auto made = std::make_unique<ui::CUpdateDlg>(host + online::kVersionFilePath,
                                                     "https://www.example.test/products", nullptr,
                                                     [this](const std::string& link) {
                                                         opened.push_back(link);
                                                         return true;
                                                     });
        made->show();
        return made;
    }
    // Presses Next and waits for the answer; the press itself must come back at once.
    void check(ui::CUpdateDlg& window) {
        QTest::mouseClick(window.findChild<QPushButton*>("updateNext"), Qt::LeftButton);
        EXPECT_TRUE(window.model().view().checking);
        EXPECT_FALSE(window.findChild<QPushButton*>("updateNext")->isEnabled());
        ASSERT_TRUE(pumpUntil([&] { return !window.model().view().checking; }));
    }
    bool visible(ui::CUpdateDlg& window, const char* name) {
        QWidget* widget = window.findChild<QWidget*>(name);
        return widget != nullptr && widget->isVisible();
    }

    LocalHttpServer server;
    std::vector<std::string> opened;
};

TEST_F(UpdateDialogTest, SameVersionShowsTheThankYouPage) {
    ASSERT_NE(server.port(), 0);
    server.serve(online::kVersionFilePath, versionFile("33030", "https://x.test/d", "|a"));
    auto window = dialog(server.address());
    EXPECT_EQ(window->windowTitle().toStdString(), "Online Update");
    EXPECT_TRUE(visible(*window, "updateWelcomeTitle"));
    keepPicture(*window, "update-welcome.png");
    check(*window);
    keepPicture(*window, "update-none.png");
    EXPECT_FALSE(visible(*window, "updateWelcomeTitle"));
    EXPECT_FALSE(visible(*window, "updateNext"));
    EXPECT_TRUE(visible(*window, "updateThanksTitle"));
    EXPECT_EQ(window->findChild<QLabel*>("updateVersionText")->text().toStdString(),
              "Hope you'll continue to focus on our product updates.");
    EXPECT_TRUE(window->findChild<QPushButton*>("updateOk")->isEnabled());
    EXPECT_FALSE(window->findChild<QPushButton*>("updateCancel")->isEnabled());
}

TEST_F(UpdateDialogTest, NewerVersionListsTheItemsAndDownloadOpensTheAddress) {
    server.serve(online::kVersionFilePath, versionFile("33031", "https://x.test/get", "a|b|c"));
    auto window = dialog(server.address());
    check(*window);
    auto* items = window->findChild<QListWidget*>("updateItems");
    ASSERT_TRUE(items->isVisible());
    ASSERT_EQ(items->count(), 2);
    EXPECT_EQ(items->item(0)->text().toStdString(), "b");
    EXPECT_EQ(items->item(1)->text().toStdString(), "c");
    keepPicture(*window, "update-found.png");
    QTest::mouseClick(window->findChild<QPushButton*>("updateDownload"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://x.test/get"}));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(UpdateDialogTest, InfoWithoutBarStillOffersDownload) {
    server.serve(online::kVersionFilePath, versionFile("33100", "https://x.test/get", "nothing"));
    auto window = dialog(server.address());
    check(*window);
    EXPECT_EQ(window->findChild<QListWidget*>("updateItems")->count(), 0);
    EXPECT_TRUE(window->findChild<QPushButton*>("updateDownload")->isEnabled());
}

TEST_F(UpdateDialogTest, ServerDownShowsTheNetworkFailure) {
    auto window = dialog(LocalHttpServer::deadAddress());
    check(*window);
    EXPECT_TRUE(visible(*window, "updateFailureText"));
    keepPicture(*window, "update-failure.png");
    EXPECT_EQ(window->findChild<QLabel*>("updateFailureText")->text().toStdString(),
              "Network connection failed. Please check the network");
    EXPECT_TRUE(window->findChild<QPushButton*>("updateOk")->isEnabled());
    EXPECT_FALSE(visible(*window, "updateNext"));
}

TEST(WebLinkOpenerTest, OnlyWebAddressesReachTheDesktop) {
    for (const char* link : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm",
                             "--help", "", "http://", "https://x.test/a b"}) {
        EXPECT_FALSE(ui::openWebLink(link)) << link;
    }
}

class NewsWindowTest : public ::testing::Test {
protected:
    void startApp() {
        machine.store.writeText(settings::kValueDownloadServer, LocalHttpServer::deadAddress());
        machine.store.writeText(settings::kValueWebServer, server.address());
        instance = std::make_unique<platform::PosixSingleInstance>(machine.lock.path());
        app::AppServices services = machine.services();
        services.instance = instance.get();
        app = std::make_unique<app::CQuorvelHDApp>(services);
        app->InitInstance({});
        ASSERT_TRUE(app->hardwareReady());
        app->gpuLayer().waitForProbe();
        window = std::make_unique<ui::CQuorvelHDDlg>(*app);
    }
    ui::CNews* waitForNews() {
        ui::NewsPresenter* news = window->news();
        pumpUntil([&] {
            const online::NewsTimers& timers = news->schedule().timers();
            return news->window() != nullptr ||
                   (!news->service().fetching() && !timers.startDelay && !timers.readinessCheck);
        });
        return news->window();
    }

    LocalHttpServer server;
    AppMachine machine;
    std::unique_ptr<platform::PosixSingleInstance> instance;
    std::unique_ptr<app::CQuorvelHDApp> app;
    std::unique_ptr<ui::CQuorvelHDDlg> window;
};

TEST_F(NewsWindowTest, TrayNewsShowsItemOneWithItsTitleCutAndOurDefaultPicture) {
    const std::string title(150, 'N');
    server.serve(
        online::kNewsServerFile,
        "<News><News1><Title>" + title + "</Title><URL>https://n.test/one</URL></News1></News>");
    startApp();
    window->tray()->action(tuning::kTrayCommandNews)->trigger();
    ui::CNews* news = waitForNews();
    ASSERT_NE(news, nullptr);
    EXPECT_EQ(news->windowTitle().toStdString(), std::string(99, 'N'));
    EXPECT_TRUE(news->showsDefaultPicture());
    EXPECT_EQ(news->size(), QSize(300, 150));
    EXPECT_TRUE(news->isVisible());
    // The files landed in the data folder.
    EXPECT_TRUE(std::filesystem::exists(machine.data.file(online::kNewsLocalFile)));
}

TEST_F(NewsWindowTest, ItemPictureIsShownAndTheLinkIsOpenedOnlyWhenItIsAWebAddress) {
    server.serve(
        online::kNewsServerFile,
        "<News><News1><Title>Pictured</Title><URL>file:///etc/passwd</URL></News1></News>");
    server.serve("/qvxml/News1.bmp", bitmap(Qt::red));
    startApp();
    window->tray()->action(tuning::kTrayCommandNews)->trigger();
    ui::CNews* news = waitForNews();
    ASSERT_NE(news, nullptr);
    EXPECT_FALSE(news->showsDefaultPicture());
    EXPECT_EQ(news->picture().pixelColor(0, 0), QColor(Qt::red));
    // The window's own opener is the desktop's, which refuses this link; nothing is started.
    auto* link = news->findChild<QLabel*>("newsLink");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->text().contains("Pictured"));
}

TEST_F(NewsWindowTest, ItemOneWithoutTitleNeverOpensTheWindow) {
    server.serve(online::kNewsServerFile,
                 "<News><News1><Content>no title</Content></News1>"
                 "<News2><Title>Two</Title></News2></News>");
    startApp();
    window->tray()->action(tuning::kTrayCommandNews)->trigger();
    EXPECT_EQ(waitForNews(), nullptr);
    EXPECT_EQ(window->news()->service().record().items[1].title, "Two");
    EXPECT_FALSE(window->news()->schedule().timers().readinessCheck);
}

TEST_F(NewsWindowTest, StartUpFetchFollowsTheNewsOption) {
    server.serve(online::kNewsServerFile,
                 "<News><News1><Title>Quorvel K 0.2: the fan curve editor</Title>"
                 "<URL>https://www.quorvel.org/news/1</URL><Time>2026-12-01</Time></News1></News>");
    startApp();
    app->settings().newsSwitch = false;
    window->news()->setStartDelay(1);
    window->applyStartMode();
    EXPECT_TRUE(window->news()->switchTimerActive());
    EXPECT_FALSE(window->news()->schedule().timers().startDelay);
    QTest::qWait(50);
    EXPECT_EQ(server.requests(online::kNewsServerFile), 0);

    app->settings().newsSwitch = true;
    window->news()->start();
    ui::CNews* news = waitForNews();
    ASSERT_NE(news, nullptr);
    EXPECT_EQ(news->windowTitle().toStdString(), "Quorvel K 0.2: the fan curve editor");
    keepPicture(*news, "news.png");
}

TEST_F(NewsWindowTest, TrayCheckForUpdateAsksTheUpdateServerOfTheSettings) {
    server.serve(online::kVersionFilePath, versionFile("33031", "https://x.test/get", "|one"));
    machine.store.writeText(settings::kValueUpdateServer, server.address());
    startApp();
    online::UpdatePage page = online::UpdatePage::kWelcome;
    window->openUpdate([&page](ui::CUpdateDlg& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.pressNext(); });
        auto* poll = new QTimer(&dialog);
        QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, &page] {
            if (dialog.model().view().page != online::UpdatePage::kWelcome) {
                page = dialog.model().view().page;
                dialog.reject();
            }
        });
        poll->start(10);
        // Never left waiting on a modal dialog.
        QTimer::singleShot(static_cast<int>(kWaitMs), &dialog, &QDialog::reject);
    });
    EXPECT_EQ(page, online::UpdatePage::kUpdateFound);
    EXPECT_EQ(server.requests(online::kVersionFilePath), 1);
}

TEST(NewsPopUpTest, RisesFromTheCornerAndFadesOutWhenClosed) {
    online::NewsItem item;
    item.title = "Rising";
    item.url = "https://n.test/r";
    std::vector<std::string> opened;
    QPointer<ui::CNews> news =
        new ui::CNews(item, "/nonexistent/QVNews1.bmp", [&](const std::string& link) {
            opened.push_back(link);
            return true;
        });
    EXPECT_TRUE(news->showsDefaultPicture());
    news->popUp();
    ASSERT_TRUE(pumpUntil([&] { return news->risen() >= online::kNewsRisePixels; }));
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(news->pos(), QPoint(area.right() + 1 - 300, area.bottom() + 1 - 151));
    Q_EMIT news->findChild<QLabel*>("newsLink")->linkActivated("#");
    EXPECT_EQ(opened, (std::vector<std::string>{"https://n.test/r"}));
    QTest::mouseClick(news->findChild<QPushButton*>("newsClose"), Qt::LeftButton);
    EXPECT_TRUE(pumpUntil([&] { return news.isNull(); }));
}

}  // namespace
}  // namespace qv::test
