#pragma once
// A flag an event loop can wait on: its descriptor polls readable while the flag is up. How a
// worker thread wakes poll() or a QSocketNotifier without the loop ever waiting for the worker.

class CReadyFlag {
  public:
    CReadyFlag(); // throws std::system_error when no descriptor is left
    ~CReadyFlag();
    CReadyFlag(const CReadyFlag&) = delete;
    CReadyFlag& operator=(const CReadyFlag&) = delete;

    int Fd() const { return fd; }
    void Raise();
    void Lower();

  private:
    int fd;
};
