#pragma once
// A demo server and a private home folder for each test of vyr-cli.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/CliProcess.h"
#include "tests/support/DemoServerProcess.h"

class CliTest : public ::testing::Test {
  protected:
    // A still game of three players unless a test starts the server itself.
    void StartServer(const std::vector<std::string>& args = {"--players", "3", "--rate", "0",
                                                             "--seed", "7"}) {
        ASSERT_TRUE(server.Start(args)) << server.Output();
    }
    // The login options for the demo server.
    std::vector<std::string> To(std::vector<std::string> more = {}) const {
        std::vector<std::string> args{"-H", "127.0.0.1", "-p", std::to_string(server.Port()),
                                      "-u", "admin"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // Waits (bounded) for the server's log to hold `text`: it logs a request after answering it.
    bool ServerSaid(const std::string& text) {
        for (int i = 0; i < 250 && server.Output().find(text) == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return server.Output().find(text) != std::string::npos;
    }

    std::string home = MakeTempHome();
    DemoServerProcess server{VYR_DEMO_SERVER_PATH};
};
