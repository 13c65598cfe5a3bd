// `qvctl exporter` as a process: its command line, its announcement, a scrape, and its end on
// SIGTERM without a word per request.
#include <httplib.h>
#include <signal.h>

#include "cli/CliFixture.h"

namespace qv::test {
namespace {

class QvctlExporterTest : public CliTest {};

TEST_F(QvctlExporterTest, ServesUntilTerminatedAndLogsNothingPerRequest) {
    auto environment = simEnvironment();
    ChildProcess exporter(kQvctl, {"--simulate", "exporter", "--listen=127.0.0.1:0", "--period", "100"},
                          environment, options());
    ASSERT_TRUE(exporter.start());
    ASSERT_TRUE(exporter.waitForOutput("/metrics, reading 3 GPUs every 100 ms\n",
                                       std::chrono::seconds(30)))
        << exporter.soFar().out << exporter.soFar().err;
    const std::string& out = exporter.soFar().out;
    const std::string prefix = "listening on http://127.0.0.1:";
    ASSERT_EQ(out.rfind(prefix, 0), 0u) << out;
    const int port = std::atoi(out.c_str() + prefix.size());
    ASSERT_GT(port, 0) << out;

    httplib::Client http("127.0.0.1", port);
    for (int i = 0; i < 3; ++i) {
        const httplib::Result result = http.Get("/metrics");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_NE(result->body.find("quorvel_up 1\n"), std::string::npos) << result->body;
        EXPECT_EQ(http.Get("/nothing")->status, 404);
    }
    exporter.sendSignal(SIGTERM);
    const ProcessResult result = exporter.finish(std::chrono::seconds(30));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
}

TEST_F(QvctlExporterTest, RefusesABadCommandLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--simulate", "exporter", "--period", "99"},
          {"--simulate", "exporter", "--period"},
          {"--simulate", "exporter", "--listen", "9437"},
          {"--simulate", "exporter", "--listen", "[::1]"},
          {"--simulate", "exporter", "--json"},
          {"--simulate", "exporter", "extra"}}) {
        const ProcessResult result = run(args);
        EXPECT_EQ(result.exitCode, 1) << args.back() << ": " << result.err;
        EXPECT_NE(result.err, "") << args.back();
    }
    // An address that is not this machine's: the exporter cannot listen and says so.
    const ProcessResult result = run({"--simulate", "exporter", "--listen", "192.0.2.1:9437"});
    EXPECT_EQ(result.exitCode, 4) << result.err;
    EXPECT_NE(result.err.find("cannot listen on http://192.0.2.1:9437"), std::string::npos)
        << result.err;
}

}  // namespace
}  // namespace qv::test
