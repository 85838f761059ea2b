#include "vehicles/Workers.h"

#include <chrono>
#include <condition_variable>
#include <thread>

namespace fd::vehicles {
namespace {

std::mutex g_mutex;
std::condition_variable g_ended;
int g_running = 0;

} // namespace

void startWorker(std::function<void()> work)
{
    {
        std::lock_guard lock(g_mutex);
        ++g_running;
    }
    std::thread([work = std::move(work)] {
        work();
        std::lock_guard lock(g_mutex);
        --g_running;
        g_ended.notify_all();
    }).detach();
}

int runningWorkers()
{
    std::lock_guard lock(g_mutex);
    return g_running;
}

bool waitForWorkers(int milliseconds)
{
    std::unique_lock lock(g_mutex);
    return g_ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [] { return g_running == 0; });
}

} // namespace fd::vehicles
