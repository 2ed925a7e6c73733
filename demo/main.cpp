// velnor-demo: a local stand-in for the Velnor VPN service, so the client can
// sign in, list servers and try a connection with nothing else installed.

#include "data.h"
#include "options.h"
#include "service.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "velnor-demo: %s\n", message.c_str());
    return code;
}

// SO_REUSEADDR only: the library's default also sets SO_REUSEPORT, which would
// let a second copy share a port that is already served.
void socketOptions(socket_t socket)
{
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

} // namespace

int main(int argc, char** argv)
{
    demo::Options options;
    options.dataDir = VELNOR_DEMO_DATA;
    std::string error = demo::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty())
        return fail(2, error + "\n\n" + demo::usage());
    if (options.help) {
        std::fputs(demo::usage().c_str(), stdout);
        return 0;
    }

    demo::Data data;
    error = demo::loadData(options.dataDir, data);
    if (error.empty() && !options.openvpnCa.empty())
        demo::readFile(options.openvpnCa, error);
    if (error.empty() && !options.openvpnKeys.empty())
        demo::readOpenvpnKeys(options.openvpnKeys, error);
    // A test world replaces every address with its own remote; the plain demo
    // must send nothing off the machine.
    if (error.empty() && !options.openvpnRemote)
        error = demo::checkLocalOnly(data, options.listen.host);
    if (!error.empty())
        return fail(2, error);

    // SIGINT and SIGTERM are blocked in every thread (the server's threads
    // inherit the mask) and taken by the main thread with sigwait. A shell
    // starts background jobs with SIGINT ignored, which would discard it.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    server.set_socket_options(socketOptions);
    // An idle connection holds up the stop until these run out.
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(2);
    demo::Endpoint served = options.listen;
    if (served.port == 0)
        served.port = server.bind_to_any_port(served.host);
    else if (!server.bind_to_port(served.host, served.port))
        served.port = -1;
    if (served.port < 0)
        return fail(1,
            "cannot listen on " + options.listen.urlAuthority()
                + ": the address is not on this machine or the port is taken");

    demo::Service service(std::move(data), options, served);
    demo::addRoutes(server, service);

    std::atomic<bool> stopping { false };
    std::atomic<bool> failed { false };
    std::thread listener([&] {
        if (!server.listen_after_bind() && !stopping) {
            failed = true;
            kill(getpid(), SIGTERM);
        }
    });
    std::printf("listening on %s\n", service.base.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    stopping = true;
    server.stop();
    listener.join();
    if (failed)
        return fail(1, "the server stopped unexpectedly");
    std::fprintf(stderr, "velnor-demo: stopped (%s)\n", signal == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}
