// relay_standin: the relay stand-in as a program, for tests and the sample's
// demonstration that need a relay in another process. Prints its port on the
// first line, one line per request after that, and ends when its standard
// input closes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "RelayServer.h"

int main(int argc, char** argv) {
    relay::RelayServer server;
    if (!server.Running()) {
        std::fprintf(stderr, "relay_standin: cannot listen on 127.0.0.1\n");
        return 1;
    }
    // --login-userid N: the user id the /login page hands out.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--login-userid") {
            server.SetLoginUserId(std::strtoll(argv[i + 1], nullptr, 10));
        }
    }
    server.SetRequestObserver([](const relay::RecordedRequest& request) {
        std::string line = request.method + " " + request.target;
        for (const auto& [name, value] : request.fields) {
            line += " " + name + "=" + value;
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    });
    std::printf("%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    char buffer[256];
    while (read(STDIN_FILENO, buffer, sizeof(buffer)) > 0) {
    }
    return 0;
}
