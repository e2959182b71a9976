#pragma once
// vyr-demo-server as a child process: started on a free port, its port read from its
// "listening on" line, stopped with SIGTERM when this object goes.

#include <sys/types.h>

#include <string>
#include <vector>

class DemoServerChild {
  public:
    // Aborts when the server does not start within 5 s: nothing could be measured.
    DemoServerChild(const std::string& executable, const std::vector<std::string>& args);
    ~DemoServerChild();
    DemoServerChild(const DemoServerChild&) = delete;
    DemoServerChild& operator=(const DemoServerChild&) = delete;

    int Port() const { return port; }
    pid_t Pid() const { return pid; }

  private:
    pid_t pid = -1;
    int output = -1;
    int port = 0;
};
