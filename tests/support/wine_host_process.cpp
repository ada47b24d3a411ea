#include "wine_host_process.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "host_command.h"
// Included after winsock2.h, which must come first.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace zamel::testing {
namespace {

constexpr SOCKET kNoSocket = INVALID_SOCKET;
using Steady = std::chrono::steady_clock;

const char* modeName(HostProcess::Mode mode) {
    switch (mode) {
        case HostProcess::Mode::Run:
            return "run";
        case HostProcess::Mode::Serve:
            return "serve";
        case HostProcess::Mode::Relay:
            return "relay";
    }
    return "run";
}

// Quoted so that the command line splits back into exactly these arguments.
std::string quoted(const std::string& argument) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

bool socketsStarted() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// Waits until the socket can be read; false when the time ran out.
bool readable(SOCKET socket, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

void closeSocket(std::uintptr_t& socket) {
    if (static_cast<SOCKET>(socket) != kNoSocket) closesocket(static_cast<SOCKET>(socket));
    socket = kNoSocket;
}

}  // namespace

HostProcess::~HostProcess() {
    closeSocket(connection_);
    closeSocket(listener_);
}

bool HostProcess::connected() const { return static_cast<SOCKET>(connection_) != kNoSocket; }

bool HostProcess::start(Mode mode, const std::vector<std::string>& commandLine,
                        int connectTimeoutMs) {
    if (!socketsStarted() || commandLine.empty()) return false;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == kNoSocket) return false;
    listener_ = listener;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;

    std::string line = quoted("/bin/bash") + " " + quoted(ZT_HOST_BRIDGE) + " " + modeName(mode) +
                       " " + std::to_string(ntohs(address.sin_port));
    for (const std::string& argument : commandLine) line += " " + quoted(argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Wine runs a program of its machine in a process of its own and hands back
    // no handle to it; the connection is the only sign of life.
    if (!CreateProcessA("Z:\\bin\\bash", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    if (!readable(listener, connectTimeoutMs)) return false;
    const SOCKET connection = accept(listener, nullptr, nullptr);
    closeSocket(listener_);
    if (connection == kNoSocket) return false;
    connection_ = connection;
    return true;
}

bool HostProcess::send(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0 && connected()) {
        const int sent = ::send(static_cast<SOCKET>(connection_),
                                reinterpret_cast<const char*>(bytes), static_cast<int>(count), 0);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return count == 0;
}

std::size_t HostProcess::receive(std::uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (!connected() || ended_ || size == 0) return 0;
    if (!readable(static_cast<SOCKET>(connection_), timeoutMs)) return 0;
    const int got = recv(static_cast<SOCKET>(connection_), reinterpret_cast<char*>(buffer),
                         static_cast<int>(size), 0);
    if (got <= 0) {
        ended_ = true;
        return 0;
    }
    return static_cast<std::size_t>(got);
}

bool HostProcess::readLine(std::string& line, int timeoutMs) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const auto end = lineBuffer_.find('\n'); end != std::string::npos) {
            line = lineBuffer_.substr(0, end);
            lineBuffer_.erase(0, end + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
        if (left.count() <= 0 || ended_) return false;
        std::uint8_t chunk[512];
        const std::size_t got = receive(chunk, sizeof chunk, static_cast<int>(left.count()));
        lineBuffer_.append(reinterpret_cast<const char*>(chunk), got);
    }
}

void HostProcess::finishSending() {
    if (connected()) shutdown(static_cast<SOCKET>(connection_), SD_SEND);
}

int runOnHost(const std::vector<std::string>& commandLine, int timeoutMs) {
    HostProcess process;
    if (!process.start(HostProcess::Mode::Run, commandLine)) return -1;
    process.finishSending();
    std::string line;
    while (process.readLine(line, timeoutMs)) {
        if (line.rfind("exit ", 0) == 0) return std::atoi(line.c_str() + 5);
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    return -1;
}

bool runHostCommand(const std::string& shellCommand) {
    return runOnHost({"/bin/sh", "-c", shellCommand}) == 0;
}

std::string winePortsDirectory() {
    const char* prefix = std::getenv("WINEPREFIX");
    return std::string(prefix != nullptr ? prefix : "") + "/ports";
}

}  // namespace zamel::testing
