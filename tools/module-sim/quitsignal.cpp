#include "quitsignal.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

int QuitSignal::pipeFds[2] = {-1, -1};

QuitSignal::QuitSignal(QObject *parent) : QObject(parent)
{
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // without the pipe the signals keep their default: ending at once
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignal::drain);
    struct sigaction action = {};
    action.sa_handler = &QuitSignal::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QuitSignal::~QuitSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    for (int &fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignal::handle(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(pipeFds[1], &byte, 1);
}

void QuitSignal::drain()
{
    char bytes[16];
    while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
    emit received();
}
