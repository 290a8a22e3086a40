// The stand-in body's PTP/IP and EOS parsing on arbitrary input: property writes decoded straight, and whole
// byte streams sent to a running body over loopback. The body must neither crash nor hang, whatever arrives,
// and must keep serving afterwards.
#include "tools/standin/EosProperties.h"
#include "tools/standin/StandinBody.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

quor::standin::StandinBody* body = nullptr;

void SendStream(const std::uint8_t* data, std::size_t size) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    timeval tv{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(body->Port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::size_t sent = 0;
        while (sent < size) {
            const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
        std::uint8_t sink[4096];
        for (int i = 0; i < 64 && ::recv(fd, sink, sizeof sink, 0) > 0; ++i) {
        }
    }
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static quor::standin::StandinBody instance;
    if (!instance.Start())
        std::abort();
    body = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1) {
        const auto write = quor::standin::EosProperties::ParseWrite(std::span(data + 1, size - 1));
        if (write) {
            auto props = quor::standin::EosProperties::Defaults();
            props.Set(*write);
        }
        return 0;
    }
    SendStream(data + 1, size - 1);
    if (!body->Running())
        std::abort();
    return 0;
}
