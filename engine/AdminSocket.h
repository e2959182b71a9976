#pragma once
// The one UDP link to the server: a datagram socket connected to the address the user typed.
// It knows nothing of the messages it carries.

#include <string>

class CAdminSocket {
  public:
    bool isOpen = false;
    int socketHandle = -1;
    std::string host;
    int port = 0;

    CAdminSocket() = default;
    ~CAdminSocket(); // releases a socket still held (the process-wide link is never destroyed)
    CAdminSocket(const CAdminSocket&) = delete;
    CAdminSocket& operator=(const CAdminSocket&) = delete;

    // Resolves `host` (a name, or a dotted-decimal IPv4 address) and connects a datagram socket
    // to it. An open link is closed first. False, with the link closed, on any failure,
    // including a port outside 1..65535.
    bool Open(const char* host, int port);
    // Releases the socket; true when that succeeded.
    bool Close();
    // One waiting datagram into `buffer`, never blocking: its length (> 0); 0 when nothing
    // waits or the datagram was empty; negative on an error, and for a datagram longer than
    // `size`, which is discarded.
    int Receive(void* buffer, int size);
    // Sends one datagram of `length` bytes; with `length` 0, `data` is NUL-terminated text sent
    // with its NUL. The number of bytes sent, or negative on error.
    int Send(const void* data, int length);

    // The receive buffer the kernel granted, in bytes (0 when closed).
    int ReceiveBufferBytes() const;
};
