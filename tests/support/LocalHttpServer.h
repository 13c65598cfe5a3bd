// A small web server on 127.0.0.1 for the tests of the online services: it answers the files it
// was given and 404 for anything else, and counts the requests per path. Its header keeps the
// HTTP library out of the tests that use it.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qv::test {

class LocalHttpServer {
public:
    // Starts listening on a free loopback port; port() is 0 when it could not.
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    void serve(const std::string& path, std::string body);
    void remove(const std::string& path);
    int requests(const std::string& path) const;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT"
    std::string address() const;

    // An address on which nothing listens.
    static std::string deadAddress();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

}  // namespace qv::test
