// A child process for the process-runner tests. Understands, anywhere among
// its arguments:
//   --argv-to=FILE   write every argument (argv[0] too) to FILE, each ended by a NUL
//   --sleep-ms=N     sleep N milliseconds
//   --signal=N       then kill itself with signal N
//   --exit=N         then exit with status N (default 0)
//   --tell=NAME      first write the value of the environment variable NAME to
//                    descriptor 3 and the process group's id to descriptor 4
//   --sleeper        first start a child that sleeps a minute, holding them
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

const char* valueOf(const char* argument, const char* option) {
    const std::size_t length = std::strlen(option);
    return std::strncmp(argument, option, length) == 0 ? argument + length : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const char* argvFile = nullptr;
    long sleepMs = 0;
    int signalNumber = 0;
    int exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        if (const char* v = valueOf(argv[i], "--argv-to=")) argvFile = v;
        if (const char* v = valueOf(argv[i], "--sleep-ms=")) sleepMs = std::atol(v);
        if (const char* v = valueOf(argv[i], "--signal=")) signalNumber = std::atoi(v);
        if (const char* v = valueOf(argv[i], "--exit=")) exitCode = std::atoi(v);
        if (const char* v = valueOf(argv[i], "--tell=")) {
            const std::string value = std::getenv(v) ? std::getenv(v) : "", group = std::to_string(::getpgrp());
            if (::write(3, value.data(), value.size()) < 0 || ::write(4, group.data(), group.size()) < 0) return 98;
        }
        if (std::strcmp(argv[i], "--sleeper") == 0 && ::fork() == 0) {
            ::sleep(60);
            return 0;
        }
    }
    if (argvFile) {
        std::FILE* file = std::fopen(argvFile, "wb");
        if (!file) return 99;
        for (int i = 0; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, file);
        if (std::fclose(file) != 0) return 99;
    }
    if (sleepMs > 0) {
        timespec pause{sleepMs / 1000, (sleepMs % 1000) * 1000000L};
        while (nanosleep(&pause, &pause) != 0) {
        }
    }
    if (signalNumber > 0) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
    return exitCode;
}
