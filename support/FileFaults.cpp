#include "support/FileFaults.h"

#include <array>
#include <atomic>
#include <mutex>
#include <utility>

namespace {

struct Plan {
    int remaining = 0; // units until the failure; 0 = nothing planned
    int err = 0;
};

struct Action {
    int remaining = 0; // units until it runs; 0 = nothing planned
    std::function<void()> run;
};

// Steps may come from a search's thread that reads ahead: the flag is read on every step, the rest under the mutex.
std::atomic<bool> g_armed = false;
std::mutex g_mutex;
bool g_listing = false;
std::array<Plan, FileFaults::OpCount> g_plans;
std::array<Action, FileFaults::OpCount> g_actions;
std::vector<FileFaults::Step> g_steps;
std::string g_writeTarget;
Action g_writeAction;
int g_stepsToCrash = 0; // 0 = no crash planned
bool g_crashed = false;
bool g_tracking = false;
std::vector<FileFaults::UnsyncedWrite> g_unsynced;

} // namespace

namespace FileFaults {

void failNth(Op op, int nth, int err)
{
    const std::lock_guard lock(g_mutex);
    g_plans[static_cast<std::size_t>(op)] = Plan { nth, err };
    g_armed = true;
}

void atNth(Op op, int nth, std::function<void()> action)
{
    const std::lock_guard lock(g_mutex);
    g_actions[static_cast<std::size_t>(op)] = Action { nth, std::move(action) };
    g_armed = true;
}

void atNthWriteTo(const std::string& path, int nth, std::function<void()> action)
{
    g_writeTarget = path;
    g_writeAction = Action { nth, std::move(action) };
    g_armed = true;
}

void beforeWriteTo(const std::string& path)
{
    if (!g_armed || g_writeAction.remaining == 0 || path != g_writeTarget) [[likely]]
        return;
    if (--g_writeAction.remaining == 0) {
        const std::function<void()> run = std::exchange(g_writeAction, {}).run;
        run();
    }
}

void reset()
{
    const std::lock_guard lock(g_mutex);
    g_plans = {};
    g_actions = {};
    g_steps.clear();
    g_armed = false;
    g_listing = false;
    g_writeAction = {};
    g_stepsToCrash = 0;
    g_crashed = false;
    g_tracking = false;
    g_unsynced.clear();
}

void crashBeforeStep(int nth)
{
    const std::lock_guard lock(g_mutex);
    g_stepsToCrash = nth;
    g_crashed = false;
    g_armed = true;
}

void trackUnsynced()
{
    g_unsynced.clear();
    g_tracking = true;
}

bool tracking()
{
    return g_tracking;
}

std::vector<UnsyncedWrite> unsynced()
{
    return g_unsynced;
}

void wrote(const std::string& path, std::int64_t offset, std::string old, std::int64_t sizeBefore)
{
    if (g_tracking)
        g_unsynced.push_back({ path, offset, std::move(old), sizeBefore });
}

void synced(const std::string& path)
{
    // The file's data, not its entry in the folder.
    if (g_tracking)
        std::erase_if(g_unsynced, [&](const UnsyncedWrite& write) { return write.path == path && !write.made; });
}

void made(const std::string& path)
{
    if (g_tracking)
        g_unsynced.push_back({ path, 0, {}, 0, true });
}

void syncedFolder(const std::string& folder)
{
    const auto withoutSlash = [](std::string_view path) { return path.substr(0, path.find_last_not_of('/') + 1); };
    if (g_tracking)
        std::erase_if(g_unsynced, [&](const UnsyncedWrite& write) {
            return write.made && withoutSlash(write.path.substr(0, write.path.rfind('/') + 1)) == withoutSlash(folder);
        });
}

void startListing()
{
    const std::lock_guard lock(g_mutex);
    g_steps.clear();
    g_listing = true;
    g_armed = true;
}

const std::vector<Step>& steps()
{
    return g_steps;
}

int check(Op op)
{
    std::size_t one = 1;
    return check(op, one);
}

int check(Op op, std::size_t& count)
{
    if (!g_armed.load(std::memory_order_relaxed)) [[likely]]
        return 0;
    std::unique_lock lock(g_mutex);
    // After a crash nothing runs but the handles going; they close without a word.
    if (g_crashed)
        return 0;
    if (g_stepsToCrash > 0 && op != Op::Close && --g_stepsToCrash == 0) {
        g_crashed = true;
        throw Crash {};
    }
    if (g_listing)
        g_steps.push_back({ op, count });
    Action& action = g_actions[static_cast<std::size_t>(op)];
    if (action.remaining > 0) {
        if (static_cast<std::size_t>(action.remaining) > count) {
            action.remaining -= static_cast<int>(count);
        } else {
            // Taken out first: the action may take file steps of its own.
            const std::function<void()> run = std::exchange(action, {}).run;
            lock.unlock();
            run();
            lock.lock();
        }
    }
    Plan& plan = g_plans[static_cast<std::size_t>(op)];
    if (plan.remaining == 0)
        return 0;
    if (static_cast<std::size_t>(plan.remaining) > count) {
        plan.remaining -= static_cast<int>(count);
        return 0;
    }
    count = static_cast<std::size_t>(plan.remaining) - 1;
    plan.remaining = 0;
    return plan.err;
}

} // namespace FileFaults
