#pragma once
// A demo server and a private home folder for each test of vyr-cli.

#include <gtest/gtest.h>

#include <string>
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

    std::string home = MakeTempHome();
    DemoServerProcess server{VYR_DEMO_SERVER_PATH};
};
